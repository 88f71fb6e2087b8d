// The time columns of `export --time` for a recording without an index: seconds at the line's
// nominal frame rate, and the local wall-clock time counted from the start time a recording's
// file name carries.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>

#include "recording/start_time.h"

namespace ninetrace {

class TTimeColumns {
 public:
  static constexpr std::size_t MaxLength = 64;  // longest text Write produces

  explicit TTimeColumns(std::optional<std::time_t> start);

  bool HasWallClock() const { return start_.has_value(); }
  // The column names say these times are estimates: from the name, at the nominal rate.
  const char* Header() const { return start_ ? ",estimated_seconds,estimated_time" : ",estimated_seconds"; }

  // Writes ",seconds[,time]" for record `record` of the file; returns the end of the text.
  char* Write(char* out, std::int64_t record);

 private:
  // A text formatted once and copied for every row until its value changes.
  struct TCachedText {
    std::int64_t Value = -1;
    char Text[32] = {};
    std::size_t Length = 0;
  };

  static std::int64_t Millis(std::int64_t record);
  static char* Copy(char* out, const TCachedText& text);

  std::optional<std::time_t> start_;
  // The parts after the point repeat every 640 records (exactly 3 s): formatted once, as
  // ".0046875" and ".005" for record 1 of each cycle.
  std::array<std::array<char, 8>, NominalSecondsDenominator> fraction_{};
  std::array<std::array<char, 4>, NominalSecondsDenominator> millis_{};
  TCachedText seconds_, wallClock_;
};

}  // namespace ninetrace
