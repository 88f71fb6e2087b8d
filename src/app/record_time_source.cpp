#include "app/record_time_source.h"

#include <charconv>
#include <ctime>
#include <string>

namespace ninetrace {

namespace {

constexpr std::int64_t NanosPerSecond = 1'000'000'000;
// 19200 baud, 10 bits a byte, 9 bytes a frame: 3/640 s per record.
constexpr std::int64_t NominalNumerator = 3;
constexpr std::int64_t NominalDenominator = 640;

bool Digits(const std::string& s, std::size_t at, int& value) {
  if (at + 2 > s.size()) return false;
  const auto [end, error] = std::from_chars(s.data() + at, s.data() + at + 2, value);
  return error == std::errc{} && end == s.data() + at + 2;
}

std::optional<std::int64_t> StartFromName(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  if (name.size() < 17 || name.compare(name.size() - 4, 4, ".bin") != 0 || name[6] != ' ') return std::nullopt;
  if (name.size() > 17 && name[13] != '_') return std::nullopt;
  int f[6];
  constexpr std::size_t At[6] = {0, 2, 4, 7, 9, 11};
  for (int i = 0; i < 6; ++i)
    if (!Digits(name, At[i], f[i])) return std::nullopt;
  std::tm time{};
  time.tm_year = 100 + f[0];
  time.tm_mon = f[1] - 1;
  time.tm_mday = f[2];
  time.tm_hour = f[3];
  time.tm_min = f[4];
  time.tm_sec = f[5];
  time.tm_isdst = -1;
  std::tm normalised = time;
  const std::time_t start = std::mktime(&normalised);
  if (start == -1 || normalised.tm_mday != time.tm_mday || normalised.tm_hour != time.tm_hour) return std::nullopt;
  return static_cast<std::int64_t>(start);
}

}  // namespace

TRecordTimes TRecordTimes::Load(const std::filesystem::path& recording) {
  TRecordTimes times;
  times.startSeconds_ = StartFromName(recording);
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
