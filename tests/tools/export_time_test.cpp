// export --time: the nominal seconds and the wall-clock column counted from the file name, and
// the progress line that appears only where a person watches.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <thread>

#include "../platform/test_files.h"
#include "cli_run.h"
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
