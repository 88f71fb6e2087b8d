// Monotonic time for the companions' pacing loops: now, differences, and steps forward.
#pragma once

#include <time.h>

namespace ninetrace::cli_time {

inline timespec Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t;
}

inline double SecondsBetween(const timespec& from, const timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) + static_cast<double>(to.tv_nsec - from.tv_nsec) * 1e-9;
}

inline void AddNanoseconds(timespec& t, long ns) {
  t.tv_nsec += ns;
  while (t.tv_nsec >= 1'000'000'000) {
    t.tv_nsec -= 1'000'000'000;
    ++t.tv_sec;
  }
}

}  // namespace ninetrace::cli_time
