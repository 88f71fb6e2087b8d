// The index beside a recording ("<recording>.idx"): what the page file cannot say about itself.
// An append-only file: a 16-byte header, then 80-byte entries, each with its own checksum so a
// torn last entry (a crash in the middle of a write) is known and ignored. Pages get one entry
// each, in order, once the page is on the disk; events (run, stop, wall-clock jumps) an entry
// each where they happened. Little-endian throughout; see the README for the byte layout.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ninetrace {

inline constexpr std::array<char, 8> IndexMagic = {'N', 'T', 'R', 'C', 'I', 'D', 'X', '\n'};
inline constexpr std::uint32_t IndexVersion = 1;
inline constexpr std::size_t IndexHeaderSize = 16;
inline constexpr std::size_t IndexEntrySize = 80;
using TIndexBlock = std::array<std::uint8_t, IndexEntrySize>;

// "160302 090507.bin" -> "160302 090507.bin.idx": the recording's name stays exactly as it is.
std::filesystem::path IndexPathFor(const std::filesystem::path& recording);

enum class TIndexEntryKind : std::uint16_t { Page = 1, Run = 2, Stop = 3, ClockJump = 4 };

// Why a recording ended. Numbers are stored in the index: add new reasons at the end.
enum class TStopReason : std::uint32_t {
  Button = 1,
  Signal = 2,
  DeviceLost = 3,
  DiskFull = 4,
  SizeLimit = 5,
  WindowClosed = 6,
  DisplayLost = 7,
  WriteFailed = 8,   // a page write failed for another reason
  LimitReached = 9,  // `record --seconds` or `--pages` ran out
};
// "the Stop button", "a signal", ...; "reason N" for a number this version does not know.
std::string StopReasonText(TStopReason reason);

// One instant on both of the host's clocks.
struct TStamp {
  std::int64_t UnixNanoseconds = 0;      // wall clock, UTC
  std::int64_t MonotonicNanoseconds = 0;  // never jumps; arbitrary origin
  std::int32_t UtcOffsetSeconds = 0;     // local = UTC + offset
};

// A page of the recording: when its first and last real record arrived, how many of its 1000
// records are real (the rest is the padding written on stopping), and what the line lost.
struct TPageEntry {
  std::int64_t Page = 0;
  TStamp First, Last;
  std::int32_t RealRecords = 0;
  std::int64_t BytesSkipped = 0;  // dropped while resynchronising, since the page before
  bool HasLineErrors = false;     // the driver reported the counts below (a real UART does)
  std::uint32_t Overruns = 0;
  std::uint32_t FramingErrors = 0;
};

// Run, Stop and wall-clock jumps.
struct TIndexEvent {
  TIndexEntryKind Kind = TIndexEntryKind::Run;
  TStamp At;
  std::string Port;           // Run: the device path as opened
  std::uint32_t Baud = 0;     // Run
  std::string Settings;       // Run: "8N1"
  TStopReason Reason{};       // Stop
  std::int64_t Pages = 0;     // Stop: pages written
  std::int64_t JumpNanoseconds = 0;  // ClockJump: how far the wall clock moved beyond the monotonic one
};

std::array<std::uint8_t, IndexHeaderSize> EncodeIndexHeader();
// True for a header this version reads.
bool IsIndexHeader(std::span<const std::uint8_t> bytes);

TIndexBlock EncodeEntry(const TPageEntry& page);
TIndexBlock EncodeEntry(const TIndexEvent& event);

// One decoded block: a page, an event, or a block to skip (a kind this version does not know).
struct TDecodedEntry {
  std::optional<TPageEntry> Page;
  std::optional<TIndexEvent> Event;
};
// Nothing when the checksum does not match: a torn or damaged entry, where reading ends.
std::optional<TDecodedEntry> DecodeEntry(std::span<const std::uint8_t, IndexEntrySize> block);

}  // namespace ninetrace
