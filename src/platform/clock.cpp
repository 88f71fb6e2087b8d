#include "platform/clock.h"

#include <time.h>

#include <cstdio>

namespace ninetrace {

std::tm TSystemClock::LocalNow() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

TWallTime TClock::WallNow() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return {static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec, UtcOffsetAt(now.tv_sec)};
}

std::int64_t TClock::MonotonicNanoseconds() const {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int32_t UtcOffsetAt(std::int64_t unixSeconds) {
  const auto when = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return 0;
  return static_cast<std::int32_t>(local.tm_gmtoff);
}

const TClock& SystemClock() {
  static const TSystemClock clock;
  return clock;
}

std::string RecordingFileName(const std::tm& time, int copy) {
  // One formatting call: string concatenation here trips a false -Wrestrict in GCC 12.
  char name[64];
  const int year = (time.tm_year + 1900) % 100;
  const int length =
      copy > 1 ? std::snprintf(name, sizeof name, "%02d%02d%02d %02d%02d%02d_%d.bin", year, time.tm_mon + 1, time.tm_mday,
                               time.tm_hour, time.tm_min, time.tm_sec, copy)
               : std::snprintf(name, sizeof name, "%02d%02d%02d %02d%02d%02d.bin", year, time.tm_mon + 1, time.tm_mday,
                               time.tm_hour, time.tm_min, time.tm_sec);
  return std::string(name, static_cast<std::size_t>(length));
}

}  // namespace ninetrace
