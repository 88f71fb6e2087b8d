#include "app/record_time_source.h"

#include <ctime>

#include "recording/start_time.h"

namespace ninetrace {

namespace {

constexpr std::int64_t NanosPerSecond = 1'000'000'000;
constexpr std::int64_t NominalNumerator = NominalSecondsNumerator;
constexpr std::int64_t NominalDenominator = NominalSecondsDenominator;

}  // namespace

TRecordTimes TRecordTimes::Load(const std::filesystem::path& recording) {
  TRecordTimes times;
  if (const std::optional<std::time_t> start = StartTimeFromName(recording)) times.startSeconds_ = *start;
  return times;
}

std::optional<TRecordTime> TRecordTimes::At(std::int64_t record) const {
  if (!startSeconds_ || record < 0) return std::nullopt;
  TRecordTime t;
  t.UnixNanoseconds = *startSeconds_ * NanosPerSecond + record * NominalNumerator * NanosPerSecond / NominalDenominator;
  const std::time_t whole = static_cast<std::time_t>(t.UnixNanoseconds / NanosPerSecond);
  std::tm local{};
  localtime_r(&whole, &local);
  t.UtcOffsetSeconds = static_cast<std::int32_t>(local.tm_gmtoff);
  t.Estimated = true;
  return t;
}

std::optional<double> TRecordTimes::SecondsSinceStart(std::int64_t record) const {
  if (!startSeconds_ || record < 0) return std::nullopt;
  return static_cast<double>(record) * NominalNumerator / NominalDenominator;
}

}  // namespace ninetrace
