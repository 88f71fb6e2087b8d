// The recording file's layout: 7-byte sample records in 7000-byte pages of 1000, and how a
// record packs five 10-bit channels and four digital inputs. The wire, the page buffer and the
// file all share it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ninetrace {

inline constexpr std::size_t RecordSize = 7;
inline constexpr std::size_t RecordsPerPage = 1000;
inline constexpr std::size_t PageSize = RecordSize * RecordsPerPage;  // 7000 bytes
inline constexpr std::uint8_t SyncByte = 0xFF;                        // sent twice before each record
inline constexpr std::size_t TraceCount = 9;                          // five channels, four inputs

using TSampleRecord = std::span<const std::uint8_t, RecordSize>;
using TPageBuffer = std::array<std::uint8_t, PageSize>;

// Channel c (0..4) as its 10-bit code: the high byte and two low bits packed into bytes 5 and 6.
constexpr int ChannelCode(TSampleRecord r, int channel) {
  const int low = channel < 4 ? (r[5] >> (2 * channel)) & 3 : (r[6] >> 4) & 3;
  return (r[static_cast<std::size_t>(channel)] << 2) | low;
}

// Digital input d (0..3), from the low four bits of byte 6.
constexpr int DigitalBit(TSampleRecord r, int input) { return (r[6] >> input) & 1; }

// A trace's level in a record as a whole number: the channel's 10-bit code for traces 0..4,
// the input's bit for traces 5..8. The plotted value rises with the level.
constexpr int TraceLevel(TSampleRecord r, std::size_t trace) {
  const int t = static_cast<int>(trace);
  return t < 5 ? ChannelCode(r, t) : DigitalBit(r, t - 5);
}

inline TSampleRecord RecordAt(const TPageBuffer& page, std::size_t index) {
  return TSampleRecord(page.data() + index * RecordSize, RecordSize);
}

inline bool IsZeroRecord(const std::uint8_t* record) {
  for (std::size_t i = 0; i < RecordSize; ++i)
    if (record[i] != 0) return false;
  return true;
}

}  // namespace ninetrace
