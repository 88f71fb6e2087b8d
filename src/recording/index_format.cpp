#include "recording/index_format.h"

#include <algorithm>
#include <cstring>

namespace ninetrace {

namespace {

constexpr std::array<std::uint32_t, 256> CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

// CRC-32 (the common polynomial) of an entry with its checksum field taken as zero.
std::uint32_t EntryChecksum(std::span<const std::uint8_t, IndexEntrySize> block) {
  static constexpr auto table = CrcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < block.size(); ++i) {
    const std::uint8_t byte = i >= 4 && i < 8 ? 0 : block[i];
    c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

template <class T>
void Put(std::uint8_t* at, T value) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i, bits = static_cast<decltype(bits)>(bits >> 8))
    at[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

template <class T>
T Get(const std::uint8_t* at) {
  std::make_unsigned_t<T> bits = 0;
  for (std::size_t i = sizeof(T); i > 0; --i) bits = static_cast<decltype(bits)>((bits << 8) | at[i - 1]);
  return static_cast<T>(bits);
}

// Wall, monotonic, offset: 20 bytes at `at`.
void PutStamp(std::uint8_t* at, const TStamp& s) {
  Put(at, s.UnixNanoseconds);
  Put(at + 8, s.MonotonicNanoseconds);
  Put(at + 16, s.UtcOffsetSeconds);
}

TStamp GetStamp(const std::uint8_t* at) {
  return {Get<std::int64_t>(at), Get<std::int64_t>(at + 8), Get<std::int32_t>(at + 16)};
}

TIndexBlock Sealed(TIndexBlock block, TIndexEntryKind kind, std::uint16_t flags = 0) {
  Put(block.data(), static_cast<std::uint16_t>(kind));
  Put(block.data() + 2, flags);
  Put(block.data() + 4, EntryChecksum(block));
  return block;
}

constexpr std::size_t PortBytes = IndexEntrySize - 36;
constexpr std::uint16_t HasLineErrorsFlag = 1;

}  // namespace

std::filesystem::path IndexPathFor(const std::filesystem::path& recording) {
  std::filesystem::path index = recording;
  index += ".idx";
  return index;
}

std::string StopReasonText(TStopReason reason) {
  switch (reason) {
    case TStopReason::Button: return "the Stop button";
    case TStopReason::Signal: return "a signal (logout, shutdown, a closed terminal or Ctrl-C)";
    case TStopReason::DeviceLost: return "the device went away";
    case TStopReason::DiskFull: return "the disk is full";
    case TStopReason::SizeLimit: return "the file-size limit";
    case TStopReason::WindowClosed: return "the window was closed";
    case TStopReason::DisplayLost: return "the display went away";
    case TStopReason::WriteFailed: return "a page could not be written";
    case TStopReason::LimitReached: return "the seconds or pages asked for were reached";
  }
  return "reason " + std::to_string(static_cast<std::uint32_t>(reason));
}

std::array<std::uint8_t, IndexHeaderSize> EncodeIndexHeader() {
  std::array<std::uint8_t, IndexHeaderSize> header{};
  std::memcpy(header.data(), IndexMagic.data(), IndexMagic.size());
  Put(header.data() + 8, IndexVersion);
  Put(header.data() + 12, static_cast<std::uint32_t>(IndexEntrySize));
  return header;
}

bool IsIndexHeader(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= IndexHeaderSize && std::equal(IndexMagic.begin(), IndexMagic.end(), bytes.begin()) &&
         Get<std::uint32_t>(bytes.data() + 8) == IndexVersion && Get<std::uint32_t>(bytes.data() + 12) == IndexEntrySize;
}

TIndexBlock EncodeEntry(const TPageEntry& page) {
  TIndexBlock b{};
  Put(b.data() + 8, page.Page);
  PutStamp(b.data() + 16, page.First);
  PutStamp(b.data() + 36, page.Last);
  Put(b.data() + 56, page.BytesSkipped);
  Put(b.data() + 64, page.Overruns);
  Put(b.data() + 68, page.FramingErrors);
  Put(b.data() + 72, page.RealRecords);
  return Sealed(b, TIndexEntryKind::Page, page.HasLineErrors ? HasLineErrorsFlag : 0);
}

TIndexBlock EncodeEntry(const TIndexEvent& event) {
  TIndexBlock b{};
  PutStamp(b.data() + 8, event.At);
  switch (event.Kind) {
    case TIndexEntryKind::Run:
      Put(b.data() + 28, event.Baud);
      std::memcpy(b.data() + 32, event.Settings.data(), std::min<std::size_t>(event.Settings.size(), 4));
      std::memcpy(b.data() + 36, event.Port.data(), std::min(event.Port.size(), PortBytes));
      break;
    case TIndexEntryKind::Stop:
      Put(b.data() + 28, static_cast<std::uint32_t>(event.Reason));
      Put(b.data() + 32, event.Pages);
      break;
    case TIndexEntryKind::ClockJump:
      Put(b.data() + 32, event.JumpNanoseconds);
      break;
    case TIndexEntryKind::Page:
      break;
  }
  return Sealed(b, event.Kind);
}

std::optional<TDecodedEntry> DecodeEntry(std::span<const std::uint8_t, IndexEntrySize> block) {
  if (Get<std::uint32_t>(block.data() + 4) != EntryChecksum(block)) return std::nullopt;
  const auto kind = static_cast<TIndexEntryKind>(Get<std::uint16_t>(block.data()));
  const std::uint8_t* b = block.data();
  TDecodedEntry decoded;
  if (kind == TIndexEntryKind::Page) {
    TPageEntry page;
    page.Page = Get<std::int64_t>(b + 8);
    page.First = GetStamp(b + 16);
    page.Last = GetStamp(b + 36);
    page.BytesSkipped = Get<std::int64_t>(b + 56);
    page.Overruns = Get<std::uint32_t>(b + 64);
    page.FramingErrors = Get<std::uint32_t>(b + 68);
    page.RealRecords = Get<std::int32_t>(b + 72);
    page.HasLineErrors = (Get<std::uint16_t>(b + 2) & HasLineErrorsFlag) != 0;
    decoded.Page = page;
    return decoded;
  }
  if (kind != TIndexEntryKind::Run && kind != TIndexEntryKind::Stop && kind != TIndexEntryKind::ClockJump)
    return decoded;  // a later version's entry: skipped
  TIndexEvent event;
  event.Kind = kind;
  event.At = GetStamp(b + 8);
  if (kind == TIndexEntryKind::Run) {
    event.Baud = Get<std::uint32_t>(b + 28);
    event.Settings.assign(reinterpret_cast<const char*>(b + 32), strnlen(reinterpret_cast<const char*>(b + 32), 4));
    event.Port.assign(reinterpret_cast<const char*>(b + 36), strnlen(reinterpret_cast<const char*>(b + 36), PortBytes));
  } else if (kind == TIndexEntryKind::Stop) {
    event.Reason = static_cast<TStopReason>(Get<std::uint32_t>(b + 28));
    event.Pages = Get<std::int64_t>(b + 32);
  } else {
    event.JumpNanoseconds = Get<std::int64_t>(b + 32);
  }
  decoded.Event = event;
  return decoded;
}

}  // namespace ninetrace
