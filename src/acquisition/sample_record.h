// The 7-byte sample record: the one layout shared by the wire, the page buffer and the file.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "chart/colors.h"

namespace ninetrace {

inline constexpr std::size_t RecordSize = 7;
inline constexpr std::size_t RecordsPerPage = 1000;
inline constexpr std::size_t PageSize = RecordSize * RecordsPerPage;  // 7000 bytes
inline constexpr std::uint8_t SyncByte = 0xFF;                        // sent twice before each record
inline constexpr std::size_t TraceCount = 9;

using TSampleRecord = std::span<const std::uint8_t, RecordSize>;
using TPageBuffer = std::array<std::uint8_t, PageSize>;
using TTraceValues = std::array<double, TraceCount>;

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

// The plotted value of a level: channels as code / 4 (0..255.75), the four digital inputs as
// 8-unit steps resting on grid lines 170, 153, 136 and 119.
constexpr double TraceValue(std::size_t trace, int level) {
  const int t = static_cast<int>(trace);
  return t < 5 ? level / 4.0 : 170 - 17 * (t - 5) + 8 * level;
}

// The nine plotted values in trace order.
constexpr TTraceValues DecodeTraceValues(TSampleRecord r) {
  TTraceValues v{};
  for (std::size_t t = 0; t < TraceCount; ++t) v[t] = TraceValue(t, TraceLevel(r, t));
  return v;
}

inline TSampleRecord RecordAt(const TPageBuffer& page, std::size_t index) {
  return TSampleRecord(page.data() + index * RecordSize, RecordSize);
}

struct TTraceInfo {
  const char* Name;
  const char* Title;
  TColor Color;
};

inline constexpr std::array<TTraceInfo, TraceCount> Traces = {{
    {"Series1", "1", clRed},
    {"Series2", "2", clYellow},
    {"Series3", "3", clLime},
    {"Series4", "4", 16750080},   // RGB 0, 150, 255
    {"Series5", "5", 13158600},   // RGB 200, 200, 200
    {"SeriesD1", "d1", 9869035},  // RGB 235, 150, 150
    {"SeriesD2", "d2", 6610140},  // RGB 220, 220, 100
    {"SeriesD3", "d3", 9889430},  // RGB 150, 230, 150
    {"SeriesD4", "d4", 16425120}, // RGB 160, 160, 250
}};

}  // namespace ninetrace
