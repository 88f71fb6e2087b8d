// When a recording started, as far as its name tells, and the line's nominal record rate: the
// times a recording without an index gets.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>

namespace ninetrace {

// 19200 baud, 10 bits a byte on the line, 9 bytes a frame: 3/640 s per frame, 213.33 frames/s.
inline constexpr std::int64_t NominalSecondsNumerator = 3;
inline constexpr std::int64_t NominalSecondsDenominator = 640;

// The start time in a name "yymmdd hhnnss.bin" (or "yymmdd hhnnss_N.bin", the numbered copy
// made when two recordings start in the same second), read as local time; nothing for any other
// name or an impossible date.
std::optional<std::time_t> StartTimeFromName(const std::filesystem::path& file);

}  // namespace ninetrace
