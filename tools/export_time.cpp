#include "export_time.h"

#include <charconv>
#include <cstring>
#include <string>

namespace ninetrace::cli {

namespace {

bool TwoDigits(const std::string& text, std::size_t at, int& value) {
  if (at + 2 > text.size()) return false;
  const char a = text[at], b = text[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
}

// Zero-padded digits of `value` in exactly `width` places.
char* Padded(char* out, std::int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

}  // namespace

std::optional<std::time_t> StartTimeFromName(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  if (name.size() < 17 || name.compare(name.size() - 4, 4, ".bin") != 0 || name[6] != ' ') return std::nullopt;
  // After "yymmdd hhnnss" comes ".bin", or "_N.bin" with N a whole number.
  if (name.size() > 17) {
    const char* digits = name.data() + 14;
    const char* end = name.data() + name.size() - 4;
    unsigned copy = 0;
    const auto parsed = std::from_chars(digits, end, copy);
    if (name[13] != '_' || digits == end || parsed.ec != std::errc{} || parsed.ptr != end) return std::nullopt;
  }
  std::tm time{};
  int fields[6];
  constexpr std::size_t At[6] = {0, 2, 4, 7, 9, 11};
  for (int i = 0; i < 6; ++i)
    if (!TwoDigits(name, At[i], fields[i])) return std::nullopt;
  time.tm_year = 100 + fields[0];
  time.tm_mon = fields[1] - 1;
  time.tm_mday = fields[2];
  time.tm_hour = fields[3];
  time.tm_min = fields[4];
  time.tm_sec = fields[5];
  time.tm_isdst = -1;
  std::tm normalised = time;
  const std::time_t start = std::mktime(&normalised);
  // mktime quietly moves 31 February to March; such a name was not written by a recorder.
  if (start == -1 || normalised.tm_mon != time.tm_mon || normalised.tm_mday != time.tm_mday ||
      normalised.tm_hour != time.tm_hour || normalised.tm_min != time.tm_min || normalised.tm_sec != time.tm_sec)
    return std::nullopt;
  return start;
}

char* TTimeColumns::Write(char* out, std::int64_t record) {
  // Exact: every multiple of 3/640 s has at most 7 decimals.
  const std::int64_t scaled = record * NominalSecondsNumerator;
  *out++ = ',';
  out = std::to_chars(out, out + 20, scaled / NominalSecondsDenominator).ptr;
  *out++ = '.';
  out = Padded(out, scaled % NominalSecondsDenominator * (10'000'000 / NominalSecondsDenominator), 7);
  if (!start_) return out;

  // Milliseconds rounded half up; the date and time of the second are formatted once per second.
  const std::int64_t millis = (scaled * 1000 + NominalSecondsDenominator / 2) / NominalSecondsDenominator;
  const std::int64_t second = millis / 1000;
  if (second != shownSecond_) {
    const std::time_t when = *start_ + static_cast<std::time_t>(second);
    std::tm local{};
    localtime_r(&when, &local);
    secondLength_ = std::strftime(secondText_, sizeof secondText_, "%Y-%m-%dT%H:%M:%S", &local);
    shownSecond_ = second;
  }
  *out++ = ',';
  std::memcpy(out, secondText_, secondLength_);
  out += secondLength_;
  *out++ = '.';
  return Padded(out, millis % 1000, 3);
}

}  // namespace ninetrace::cli
