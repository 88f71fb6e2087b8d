// The time columns of `export --time` for a recording with an index: seconds since record 0
// arrived (microseconds, on the clock that never jumps) and the local wall-clock time of the
// record's arrival with the zone's offset (ISO 8601, milliseconds), so the text says which
// instant it means in any zone and across a change to or from daylight saving time.
#pragma once

#include <cstdint>
#include <string>

#include "recording/record_times.h"

namespace ninetrace {

// "2016-12-31T23:59:59.005+01:00" for a time: local = UTC + offset.
std::string IsoTimeText(const TRecordTime& time, int fractionDigits = 3);

class TIndexedTimeColumns {
 public:
  static constexpr std::size_t MaxLength = 64;  // longest text Write produces
  // The column names say where the times come from: the arrival stamps in the index.
  static constexpr const char* Header = ",arrival_seconds,arrival_time";

  explicit TIndexedTimeColumns(const TRecordTimes& times) : times_(times) {}

  // Writes ",seconds,time" for record `record`, or ",," for padding; returns the end.
  char* Write(char* out, std::int64_t record);

 private:
  const TRecordTimes& times_;
  // The text up to the second and the offset, formatted once per second.
  std::int64_t second_ = -1;
  std::int32_t offset_ = 0;
  char secondText_[24] = {};
  char offsetText_[8] = {};
};

}  // namespace ninetrace
