#include "recording/export_time.h"

#include <charconv>
#include <cstring>
#include <string>

namespace ninetrace {

namespace {

// Zero-padded digits of `value` in exactly `width` places.
char* Padded(char* out, std::int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

}  // namespace

TTimeColumns::TTimeColumns(std::optional<std::time_t> start) : start_(start) {
  for (std::int64_t r = 0; r < NominalSecondsDenominator; ++r) {
    const std::int64_t scaled = r * NominalSecondsNumerator;
    // Exact: every multiple of 3/640 s has at most 7 decimals.
    fraction_[static_cast<std::size_t>(r)][0] = '.';
    Padded(fraction_[static_cast<std::size_t>(r)].data() + 1,
           scaled % NominalSecondsDenominator * (10'000'000 / NominalSecondsDenominator), 7);
    millis_[static_cast<std::size_t>(r)][0] = '.';
    Padded(millis_[static_cast<std::size_t>(r)].data() + 1, Millis(r) % 1000, 3);
  }
}

std::int64_t TTimeColumns::Millis(std::int64_t record) {
  // Rounded half up.
  return (record * NominalSecondsNumerator * 1000 + NominalSecondsDenominator / 2) / NominalSecondsDenominator;
}

char* TTimeColumns::Write(char* out, std::int64_t record) {
  const auto cycle = static_cast<std::size_t>(record % NominalSecondsDenominator);
  const std::int64_t second = record * NominalSecondsNumerator / NominalSecondsDenominator;
  if (second != seconds_.Value) {
    seconds_.Value = second;
    const char* end = std::to_chars(seconds_.Text, seconds_.Text + sizeof seconds_.Text, second).ptr;
    seconds_.Length = static_cast<std::size_t>(end - seconds_.Text);
  }
  *out++ = ',';
  out = Copy(out, seconds_);
  std::memcpy(out, fraction_[cycle].data(), 8);
  out += 8;
  if (!start_) return out;

  const std::int64_t wallSecond = Millis(record) / 1000;
  if (wallSecond != wallClock_.Value) {
    const std::time_t when = *start_ + static_cast<std::time_t>(wallSecond);
    std::tm local{};
    localtime_r(&when, &local);
    wallClock_.Value = wallSecond;
    wallClock_.Length = std::strftime(wallClock_.Text, sizeof wallClock_.Text, "%Y-%m-%dT%H:%M:%S", &local);
  }
  *out++ = ',';
  out = Copy(out, wallClock_);
  std::memcpy(out, millis_[cycle].data(), 4);
  return out + 4;
}

char* TTimeColumns::Copy(char* out, const TCachedText& text) {
  std::memcpy(out, text.Text, text.Length);
  return out + text.Length;
}

}  // namespace ninetrace
