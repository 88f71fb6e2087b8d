#include "platform/clock.h"

#include <cstdio>

namespace ninetrace {

std::tm TSystemClock::LocalNow() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
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
