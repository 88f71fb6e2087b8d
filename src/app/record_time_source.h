// The times of a recording's records, for the readout and the time axis, until the recording's
// index gives them: the start time in the file name plus the line's nominal 3/640 s per record,
// so every time from here is an estimate. Same shape as the index's record times, so the two
// can replace each other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace ninetrace {

struct TRecordTime {
  std::int64_t UnixNanoseconds = 0;   // wall clock, UTC
  std::int32_t UtcOffsetSeconds = 0;  // the local zone's offset then: local = UTC + offset
  bool Estimated = false;             // from the file name at the nominal 3/640 s per record
};

class TRecordTimes {
 public:
  // Times from the start time in the name "yymmdd hhnnss[_N].bin" of `recording`; none for other names.
  static TRecordTimes Load(const std::filesystem::path& recording);
  bool FromIndex() const { return false; }
  std::optional<TRecordTime> At(std::int64_t record) const;
  std::optional<double> SecondsSinceStart(std::int64_t record) const;
  // Records before the padding: unknown without the index.
  std::optional<std::int64_t> RealRecords() const { return std::nullopt; }
  void Reload() {}

 private:
  std::optional<std::int64_t> startSeconds_;  // Unix seconds of record 0
};

}  // namespace ninetrace
