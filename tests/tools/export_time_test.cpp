// export --time: the nominal seconds and the wall-clock column counted from the file name, and
// the progress line that appears only where a person watches.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <thread>

#include "../platform/test_files.h"
#include "cli_run.h"
#include "platform/clock.h"
#include "recording/start_time.h"
#include "progress_line.h"
#include "recordings.h"

using namespace ninetrace;
using namespace ninetrace::testing;
using namespace std::chrono_literals;

namespace {

// The CSV's row for record `record` (the header is line 0), as its first fields.
std::string Row(const std::string& csv, std::int64_t line, int fields) {
  std::istringstream in(csv);
  std::string text;
  for (std::int64_t i = 0; i <= line; ++i) std::getline(in, text);
  std::size_t end = 0;
  for (int f = 0; f < fields && end != std::string::npos; ++f) end = text.find(',', end + 1);
  return text.substr(0, end);
}

class ExportTime : public ::testing::Test {
 protected:
  // The children read the time zone from TZ; UTC has no daylight saving to blur the rows.
  void SetUp() override { ::setenv("TZ", "UTC", 1); }
  void TearDown() override { ::unsetenv("TZ"); }
  TTempDirectory dir_;
};

TEST_F(ExportTime, SecondsAndWallClockFromTheRecordingName) {
  const auto file = dir_ / "161231 235959.bin";
  WriteRecording(file, 1500, 500);
  const TCliResult r = RunCli({"export", file.string(), "--time"}, dir_.Path());
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");  // no progress line when standard error is not a terminal
  // Without an index the column names say the times are estimates.
  EXPECT_EQ(Row(r.Out, 0, 4), "record,estimated_seconds,estimated_time,ch1");
  struct TRowCase {
    const char* Name;
    std::int64_t Record;
    const char* Expected;
  };
  const TRowCase rows[] = {
      {"the first record is the start time", 0, "0,0.0000000,2016-12-31T23:59:59.000"},
      {"one frame is 3/640 s", 1, "1,0.0046875,2016-12-31T23:59:59.005"},
      {"the last record of the old year", 213, "213,0.9984375,2016-12-31T23:59:59.998"},
      {"the next one is in the new year", 214, "214,1.0031250,2017-01-01T00:00:00.003"},
      {"a page is 4.6875 s; half a millisecond rounds up", 1000, "1000,4.6875000,2017-01-01T00:00:03.688"},
      {"the zero tail is timed too", 1999, "1999,9.3703125,2017-01-01T00:00:08.370"},
  };
  for (const TRowCase& row : rows) EXPECT_EQ(Row(r.Out, row.Record + 1, 3), row.Expected) << row.Name;
  // The channels follow unchanged, so scripts reading them by name keep working.
  const TCliResult plain = RunCli({"export", file.string()}, dir_.Path());
  EXPECT_EQ(Row(r.Out, 1001, 18).substr(Row(r.Out, 1001, 3).size()), Row(plain.Out, 1001, 15).substr(4));
}

TEST_F(ExportTime, PagesLaterInTheFileKeepTheirTimeSinceTheStart) {
  const auto file = dir_ / "160302 090507_2.bin";  // the copy made when two runs start in one second
  WriteRecording(file, 3000, 0);
  const TCliResult r = RunCli({"export", file.string(), "--time", "--from-page", "3"}, dir_.Path());
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Row(r.Out, 1, 3), "2000,9.3750000,2016-03-02T09:05:16.375");
}

TEST_F(ExportTime, WithoutAStartTimeInTheNameOnlySeconds) {
  struct TNameCase {
    const char* Name;
    const char* File;
  };
  const TNameCase names[] = {
      {"any other name", "bench-run.bin"},
      {"a date that does not exist", "160230 120000.bin"},
      {"an hour past 23", "160302 240000.bin"},
      {"not a numbered copy", "160302 090507_x.bin"},
      {"another extension", "160302 090507.dat"},
  };
  for (const TNameCase& name : names) {
    const auto file = dir_ / name.File;
    WriteRecording(file, 10, 0);
    const TCliResult r = RunCli({"export", file.string(), "--time"}, dir_.Path());
    EXPECT_EQ(r.Status, 0) << name.Name << ": " << r.Err;
    EXPECT_EQ(Row(r.Out, 0, 3), "record,estimated_seconds,ch1") << name.Name;
    EXPECT_EQ(Row(r.Out, 3, 2), "2,0.0093750") << name.Name;
    EXPECT_NE(r.Err.find("only the seconds column"), std::string::npos) << name.Name << ": " << r.Err;
  }
}

// The same columns where the clocks change: Berlin goes from 02:00 to 03:00 on 29 March 2026 and
// from 03:00 back to 02:00 on 25 October 2026.
class ExportTimeInBerlin : public ExportTime {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
  void TearDown() override {
    ::unsetenv("TZ");
    ::tzset();
  }
  static std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
  }
};

TEST_F(ExportTimeInBerlin, TheStartTimeOfANameIsTheLocalTimeOfThatDay) {
  struct TStartCase {
    const char* Name;
    const char* File;
    std::time_t Utc;
  };
  const TStartCase starts[] = {
      {"winter: an hour ahead of UTC", "260115 120000.bin", Utc(2026, 1, 15, 11, 0, 0)},
      {"summer: two hours ahead", "260715 120000_3.bin", Utc(2026, 7, 15, 10, 0, 0)},
      {"the last second before the spring jump", "260329 015959.bin", Utc(2026, 3, 29, 0, 59, 59)},
      {"the first second after it", "260329 030000.bin", Utc(2026, 3, 29, 1, 0, 0)},
      {"the last second before the autumn repeat", "261025 015959.bin", Utc(2026, 10, 24, 23, 59, 59)},
      {"the first second after it", "261025 030000.bin", Utc(2026, 10, 25, 2, 0, 0)},
  };
  for (const TStartCase& c : starts) EXPECT_EQ(StartTimeFromName(c.File), c.Utc) << c.Name;
  // A name in the repeated hour stands for two instants an hour apart; it can only be read as one.
  const std::optional<std::time_t> repeated = StartTimeFromName("261025 023000.bin");
  ASSERT_TRUE(repeated.has_value());
  EXPECT_TRUE(*repeated == Utc(2026, 10, 25, 0, 30, 0) || *repeated == Utc(2026, 10, 25, 1, 30, 0)) << *repeated;
}

// Every instant a recorder names, read back from the name. The second pass of the repeated hour
// comes back an hour off: the name has no offset, so it is read as the first (or the file is
// timed an hour off the other way round); only a record of the offset beside the file can tell.
TEST_F(ExportTimeInBerlin, ANameFromTheClockGivesBackItsInstant) {
  struct TInstantCase {
    const char* Name;
    std::time_t Instant;
    bool Ambiguous;
  };
  const TInstantCase instants[] = {
      {"winter", Utc(2026, 1, 15, 11, 0, 0), false},
      {"summer", Utc(2026, 7, 15, 10, 0, 0), false},
      {"a second before the spring jump", Utc(2026, 3, 29, 0, 59, 59), false},
      {"the jump itself", Utc(2026, 3, 29, 1, 0, 0), false},
      {"the repeated hour, first pass", Utc(2026, 10, 25, 0, 30, 0), true},
      {"the repeated hour, second pass", Utc(2026, 10, 25, 1, 30, 0), true},
      {"after the repeat", Utc(2026, 10, 25, 2, 0, 0), false},
  };
  int ambiguousRight = 0;
  for (const TInstantCase& c : instants) {
    std::tm local{};
    ASSERT_NE(::localtime_r(&c.Instant, &local), nullptr);
    const std::string name = RecordingFileName(local);
    const std::optional<std::time_t> back = StartTimeFromName(name);
    ASSERT_TRUE(back.has_value()) << c.Name << ": " << name;
    if (c.Ambiguous) {
      EXPECT_EQ(std::abs(*back - c.Instant) % 3600, 0) << c.Name;
      ambiguousRight += *back == c.Instant;
    } else {
      EXPECT_EQ(*back, c.Instant) << c.Name << ": " << name;
    }
  }
  EXPECT_EQ(ambiguousRight, 1) << "both passes of the repeated hour read as one instant";
}

// The hour the spring jump skips is never a clock's reading, but a recording made under another
// zone or renamed by hand may carry it; it is still a recording name.
TEST_F(ExportTimeInBerlin, ANameInTheSkippedHourKeepsItsWallClock) {
  EXPECT_EQ(StartTimeFromName("260329 023000.bin"), Utc(2026, 3, 29, 1, 30, 0));
}

// The wall-clock column follows the zone's clock across both changes, counted from the start.
TEST_F(ExportTimeInBerlin, TheWallClockFollowsTheZoneAcrossItsChanges) {
  const auto spring = dir_ / "260329 015959.bin";
  WriteRecording(spring, 1000, 0);
  const TCliResult r = RunCli({"export", spring.string(), "--time"}, dir_.Path());
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Row(r.Out, 214, 3), "213,0.9984375,2026-03-29T01:59:59.998");
  EXPECT_EQ(Row(r.Out, 215, 3), "214,1.0031250,2026-03-29T03:00:00.003") << "the skipped hour is skipped";

  // 01:59 summer time, then 02:00 twice: an hour of recording later the clock reads 02:00 again.
  const auto autumn = dir_ / "261025 015900.bin";
  WriteRecording(autumn, 1000, 0);
  std::filesystem::resize_file(autumn, 781 * PageSize);
  const TCliResult first = RunCli({"export", autumn.string(), "--time", "--to-page", "13"}, dir_.Path());
  const TCliResult again = RunCli({"export", autumn.string(), "--time", "--from-page", "781"}, dir_.Path());
  ASSERT_EQ(first.Status, 0) << first.Err;
  ASSERT_EQ(again.Status, 0) << again.Err;
  EXPECT_EQ(Row(first.Out, 12'801, 3), "12800,60.0000000,2026-10-25T02:00:00.000");
  EXPECT_EQ(Row(again.Out, 801, 3), "780800,3660.0000000,2026-10-25T02:00:00.000");
}

// 29 March 2026, 02:30 never happened in Berlin: the clocks went from 02:00 to 03:00. The name is
// still a recording's, read as the moment 02:30 names in the winter offset, and said so plainly.
TEST_F(ExportTimeInBerlin, ALocalTimeSkippedByTheClocksIsStillAStartTime) {
  const auto file = dir_ / "260329 023000.bin";
  WriteRecording(file, 10, 0);
  const TCliResult r = RunCli({"export", file.string(), "--time"}, dir_.Path());
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Row(r.Out, 1, 3), "0,0.0000000,2026-03-29T03:30:00.000");
  EXPECT_NE(r.Err.find("the start time in the name 260329 023000.bin does not exist in the local time zone (the clocks "
                       "went forward then); it is read as 2026-03-29T03:30:00"),
            std::string::npos)
      << r.Err;
}

// A slow export (its reader stalls) keeps a log of its standard error free of progress lines.
TEST_F(ExportTime, NoProgressLineInALog) {
  const auto file = dir_ / "161231 235959.bin";
  WriteRecording(file, 100'000, 0);
  const auto fifo = dir_ / "csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TCliRun run({"export", file.string(), "--time", "-o", fifo.string()}, dir_.Path(), "slow");
  TFileDescriptor reader(::open(fifo.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(reader.IsOpen());
  std::this_thread::sleep_for(2 * cli::TProgressLine::FirstAfter);
  std::vector<char> buffer(1 << 16);
  std::int64_t csvBytes = 0;
  for (ssize_t n; (n = ::read(reader.Get(), buffer.data(), buffer.size())) > 0;) csvBytes += n;
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.Status(), 0) << run.Err();
  EXPECT_GT(csvBytes, 100'000 * 80);
  EXPECT_EQ(run.Err(), "");
}

// The same slow export with standard error on a terminal shows its progress there.
TEST_F(ExportTime, ProgressLineOnATerminal) {
  const auto file = dir_ / "161231 235959.bin";
  WriteRecording(file, 100'000, 0);
  const auto fifo = dir_ / "csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TFileDescriptor terminal(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(terminal.IsOpen());
  ASSERT_EQ(::grantpt(terminal.Get()), 0);
  ASSERT_EQ(::unlockpt(terminal.Get()), 0);
  const std::string screen = ::ptsname(terminal.Get());

  std::vector<std::string> args{NINETRACE_CLI, "export", file.string(), "-o", fifo.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, screen.c_str(), O_WRONLY | O_NOCTTY, 0);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  TFileDescriptor reader(::open(fifo.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(reader.IsOpen());
  std::this_thread::sleep_for(2 * cli::TProgressLine::FirstAfter);
  std::vector<char> buffer(1 << 16);
  while (::read(reader.Get(), buffer.data(), buffer.size()) > 0) {
  }
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_EQ(status, 0);
  std::string shown;
  for (ssize_t n; (n = ::read(terminal.Get(), buffer.data(), buffer.size())) > 0;) shown.append(buffer.data(), n);
  EXPECT_NE(shown.find("\rexport: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("100% of 0.7 MB"), std::string::npos) << shown;
}

// A progress line with a clock the test moves.
class ProgressLine : public ::testing::Test {
 protected:
  ~ProgressLine() override {
    std::fclose(out_);
    std::free(text_);
  }
  std::string Text() {
    std::fflush(out_);
    return std::string(text_, size_);
  }
  char* text_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* out_ = open_memstream(&text_, &size_);
  const cli::TProgressLine::TClock::time_point start_{};
};

TEST_F(ProgressLine, ShowsPercentAndRateOnlyOnceTheJobIsSlow) {
  cli::TProgressLine line(out_, true, "export", 100'000'000, start_);
  line.Update(10'000'000, start_ + 400ms);
  EXPECT_EQ(Text(), "");  // a quick job stays quiet
  line.Update(25'000'000, start_ + 500ms);
  EXPECT_EQ(Text(), "\rexport:  25% of 100.0 MB, 50 MB/s   ");
  line.Update(30'000'000, start_ + 600ms);  // redrawn a few times a second, not on every call
  line.Update(50'000'000, start_ + 1000ms);
  line.Finish(start_ + 2000ms);
  EXPECT_EQ(Text(), "\rexport:  25% of 100.0 MB, 50 MB/s   \rexport:  50% of 100.0 MB, 50 MB/s   "
                    "\rexport: 100% of 100.0 MB, 50 MB/s   \n");
}

TEST_F(ProgressLine, SilentWhenNotATerminalOrNeverShown) {
  cli::TProgressLine off(out_, false, "export", 100, start_);
  off.Update(50, start_ + 5s);
  off.Finish(start_ + 10s);
  cli::TProgressLine quick(out_, true, "export", 100, start_);
  quick.Update(50, start_ + 100ms);
  quick.Finish(start_ + 200ms);
  EXPECT_EQ(Text(), "");
}

}  // namespace
