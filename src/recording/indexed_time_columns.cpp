#include "recording/indexed_time_columns.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace ninetrace {

namespace {

constexpr std::int64_t Billion = 1'000'000'000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

char* Padded(char* out, std::int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

// "2016-12-31T23:59:59" for the local second.
std::size_t SecondText(char* out, std::size_t room, std::int64_t localSecond) {
  const auto when = static_cast<std::time_t>(localSecond);
  std::tm civil{};
  gmtime_r(&when, &civil);
  return std::strftime(out, room, "%Y-%m-%dT%H:%M:%S", &civil);
}

// "+01:00", "-03:30".
void OffsetText(char* out, std::int32_t offset) {
  const std::int32_t minutes = (offset < 0 ? -offset : offset) / 60;
  out[0] = offset < 0 ? '-' : '+';
  Padded(out + 1, minutes / 60, 2);
  out[3] = ':';
  Padded(out + 4, minutes % 60, 2);
  out[6] = '\0';
}

}  // namespace

std::string IsoTimeText(const TRecordTime& time, int fractionDigits) {
  const std::int64_t local = time.UnixNanoseconds + static_cast<std::int64_t>(time.UtcOffsetSeconds) * Billion;
  const std::int64_t second = FloorDiv(local, Billion);
  char text[64];
  std::size_t length = SecondText(text, sizeof text, second);
  if (fractionDigits > 0) {
    std::int64_t fraction = local - second * Billion;
    for (int d = 9; d > fractionDigits; --d) fraction /= 10;
    text[length++] = '.';
    length = static_cast<std::size_t>(Padded(text + length, fraction, fractionDigits) - text);
  }
  OffsetText(text + length, time.UtcOffsetSeconds);
  return std::string(text, length + 6);
}

char* TIndexedTimeColumns::Write(char* out, std::int64_t record) {
  const std::optional<TRecordTime> time = times_.At(record);
  const std::optional<double> seconds = times_.SecondsSinceStart(record);
  *out++ = ',';
  if (!time || !seconds) {
    *out++ = ',';
    return out;
  }
  // Microseconds, rounded, as whole digits: no floating-point text per row.
  const auto micros = static_cast<std::int64_t>(*seconds * 1e6 + (*seconds < 0 ? -0.5 : 0.5));
  const std::int64_t whole = micros / 1'000'000, part = (micros < 0 ? -micros : micros) % 1'000'000;
  if (micros < 0 && whole == 0) *out++ = '-';
  out = std::to_chars(out, out + 24, whole).ptr;
  *out++ = '.';
  out = Padded(out, part, 6);
  *out++ = ',';

  const std::int64_t local = time->UnixNanoseconds + static_cast<std::int64_t>(time->UtcOffsetSeconds) * Billion;
  const std::int64_t second = FloorDiv(local, Billion);
  if (second != second_ || time->UtcOffsetSeconds != offset_) {
    second_ = second;
    offset_ = time->UtcOffsetSeconds;
    SecondText(secondText_, sizeof secondText_, second);
    OffsetText(offsetText_, offset_);
  }
  const std::size_t length = std::strlen(secondText_);
  std::memcpy(out, secondText_, length);
  out += length;
  *out++ = '.';
  out = Padded(out, (local - second * Billion) / 1'000'000, 3);
  std::memcpy(out, offsetText_, 6);
  return out + 6;
}

}  // namespace ninetrace
