#include "recording/start_time.h"

#include <charconv>
#include <string>

namespace ninetrace {

namespace {

bool TwoDigits(const std::string& text, std::size_t at, int& value) {
  if (at + 2 > text.size()) return false;
  const char a = text[at], b = text[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
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

}  // namespace ninetrace
