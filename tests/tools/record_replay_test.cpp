// record and simulate --replay against each other over pseudo-terminals, run as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <regex>

#include "../platform/test_files.h"
#include "cli_run.h"
#include "platform/serial_pty.h"
#include "recording/record_times.h"
#include "recordings.h"

using namespace ninetrace;
using namespace ninetrace::testing;

namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<std::uint8_t>;

// The recording `record` made in `dir`; empty while there is none.
fs::path FindRecording(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".bin") return entry.path();
  return {};
}

// The index of the first record in which the two differ over the first `records`; -1 if none.
long FirstDifference(const TBytes& a, const TBytes& b, std::size_t records) {
  if (a.size() < records * RecordSize || b.size() < records * RecordSize) return 0;
  const auto end = a.begin() + static_cast<std::ptrdiff_t>(records * RecordSize);
  const auto at = std::mismatch(a.begin(), end, b.begin()).first;
  return at == end ? -1 : static_cast<long>((at - a.begin()) / static_cast<std::ptrdiff_t>(RecordSize));
}

// Records before the all-zero padding at the end.
std::size_t DataRecords(const TBytes& file) {
  std::size_t n = file.size() / RecordSize;
  const auto isZero = [&](std::size_t r) {
    const auto at = file.begin() + static_cast<std::ptrdiff_t>(r * RecordSize);
    return std::all_of(at, at + static_cast<std::ptrdiff_t>(RecordSize), [](std::uint8_t b) { return b == 0; });
  };
  while (n > 0 && isZero(n - 1)) --n;
  return n;
}

class CliRecord : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(out_); }

  TTempDirectory dir_;
  const fs::path out_ = dir_ / "out";
  const fs::path log_ = dir_ / "sent.log";
};

TEST_F(CliRecord, KeepsEveryFrameTheSimulatorSentInExactlyThePagesAskedFor) {
  TCliRun simulator({"simulate", "--rate", "10", "--faults", "--seed", "3", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliRun record({"record", "--port", port, "--pages", "3", "--dir", out_}, dir_.Path(), "record");
  ASSERT_TRUE(record.WaitForExit(30s));
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));
  ASSERT_EQ(record.Status(), 0) << record.Err();

  const fs::path file = FindRecording(out_);
  EXPECT_TRUE(std::regex_match(file.filename().string(), std::regex(R"(\d{6} \d{6}\.bin)"))) << file;
  EXPECT_EQ(record.Out(), file.string() + "\n");
  EXPECT_NE(record.Err().find("3 pages, 3000 frames"), std::string::npos) << record.Err();
  EXPECT_EQ(record.Err().find("no data from"), std::string::npos) << record.Err();
  const TBytes recorded = ReadWholeFile(file);
  const TBytes sent = SynchronisedRecords(ReadWholeFile(log_));
  ASSERT_EQ(recorded.size(), 3 * PageSize);
  EXPECT_EQ(FirstDifference(recorded, sent, 3 * RecordsPerPage), -1);
}

TEST_F(CliRecord, SigtermMidPageKeepsTheWholePagesAndWritesThePartialOne) {
  TCliRun simulator({"simulate", "--rate", "10", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliRun record({"record", "--port", port, "--dir", out_}, dir_.Path(), "record");
  fs::path file;
  ASSERT_TRUE(record.WaitUntil(
      [&] {
        file = FindRecording(out_);
        return !file.empty() && fs::file_size(file) >= PageSize;
      },
      20s))
      << record.Err();
  // A page takes about half a second at this rate: a quarter of a second on is well into the next.
  EXPECT_FALSE(record.WaitForExit(250ms));
  record.Signal(SIGTERM);
  ASSERT_TRUE(record.WaitForExit(10s));
  EXPECT_EQ(record.Status(), 0) << record.Err();
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));

  const TBytes recorded = ReadWholeFile(file);
  const std::size_t data = DataRecords(recorded);
  ASSERT_GT(data, RecordsPerPage);
  EXPECT_NE(data % RecordsPerPage, 0u) << "stopped on a page boundary";
  EXPECT_EQ(recorded.size(), (data / RecordsPerPage + 1) * PageSize);
  EXPECT_EQ(FirstDifference(recorded, SynchronisedRecords(ReadWholeFile(log_)), data), -1);
  EXPECT_NE(record.Err().find(std::to_string(data) + " frames"), std::string::npos) << record.Err();
  // The index knows where the data ends and why the recording did.
  const TRecordTimes times = TRecordTimes::Load(file);
  EXPECT_EQ(times.RealRecords(), static_cast<std::int64_t>(data));
  ASSERT_FALSE(times.Events().empty());
  EXPECT_EQ(times.Events().back().Kind, TIndexEntryKind::Stop);
  EXPECT_EQ(times.Events().back().Reason, TStopReason::Signal);
}

TEST_F(CliRecord, ARecordingReplayedOnTheLineIsRecordedAgainRecordForRecord) {
  // 2.4 pages of samples and the zero tail of a stopped recording.
  const fs::path original = dir_ / "original.bin";
  WriteRecording(original, 2400, 600);
  TCliRun replay({"simulate", "--replay", original, "--rate", "10", "--loop"}, dir_.Path(), "replay");
  const std::string port = replay.FirstLine();
  ASSERT_FALSE(port.empty()) << replay.Err();
  TCliRun record({"record", "--port", port, "--pages", "3", "--dir", out_}, dir_.Path(), "record");
  ASSERT_TRUE(record.WaitForExit(30s));
  replay.Signal(SIGTERM);
  ASSERT_TRUE(replay.WaitForExit(10s));
  ASSERT_EQ(record.Status(), 0) << record.Err();

  // The samples of the original, then, looping without its zero tail, its start again.
  TBytes expected;
  for (std::int64_t n = 0; n < 3000; ++n) {
    const auto r = TestRecord(n % 2400);
    expected.insert(expected.end(), r.begin(), r.end());
  }
  const TBytes again = ReadWholeFile(FindRecording(out_));
  ASSERT_EQ(again.size(), 3 * PageSize);
  EXPECT_EQ(FirstDifference(again, expected, 3000), -1);
}

TEST_F(CliRecord, AReplayFramesEveryRecordOnceAndStopsAtTheEnd) {
  // A last page half padding, and a cut-off record after it.
  const fs::path original = dir_ / "original.bin";
  WriteRecording(original, 1500, 500, 3);
  const fs::path line = dir_ / "line.bin";
  std::ofstream(line) << std::string(20'000, 'x');  // an older, longer file: replaced whole, no tail left
  const TCliResult run = RunCli({"simulate", "--replay", original, "--rate", "1000", "--device", line, "--log", log_},
                                dir_.Path(), 30s);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("1500 frames replayed"), std::string::npos) << run.Err;

  TBytes expected;
  for (std::int64_t n = 0; n < 1500; ++n) {
    const auto r = TestRecord(n);
    expected.insert(expected.end(), {SyncByte, SyncByte});
    expected.insert(expected.end(), r.begin(), r.end());
  }
  EXPECT_TRUE(ReadWholeFile(line) == expected);
  EXPECT_TRUE(ReadWholeFile(log_) == expected);
}

// Closing the terminal or losing the ssh session sends SIGHUP; a stray kill may send any signal
// that would end the process. Each stops the recording as Stop does, so even a recording with no
// whole page yet keeps what arrived, in one zero-padded page.
TEST_F(CliRecord, EverySignalThatWouldEndItStopsAsStopDoesEvenBeforeTheFirstPage) {
  for (const int signal : {SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPROF}) {
    SCOPED_TRACE(::sigabbrev_np(signal));
    fs::remove(log_);
    fs::remove_all(out_);
    fs::create_directories(out_);
    TCliRun simulator({"simulate", "--log", log_}, dir_.Path(), "simulate");
    const std::string port = simulator.FirstLine();
    ASSERT_FALSE(port.empty()) << simulator.Err();
    TCliRun record({"record", "--port", port, "--dir", out_}, dir_.Path(), "record");
    // About 213 frames a second: well into the first page, far from its end.
    EXPECT_FALSE(record.WaitForExit(1500ms));
    record.Signal(signal);
    ASSERT_TRUE(record.WaitForExit(10s));
    EXPECT_EQ(record.Status(), 0) << record.Err();
    simulator.Signal(SIGTERM);
    ASSERT_TRUE(simulator.WaitForExit(10s));

    const TBytes recorded = ReadWholeFile(FindRecording(out_));
    ASSERT_EQ(recorded.size(), PageSize);
    const std::size_t data = DataRecords(recorded);
    EXPECT_GT(data, 100u);
    EXPECT_EQ(FirstDifference(recorded, SynchronisedRecords(ReadWholeFile(log_)), data), -1);
  }
}

// A line that stays silent is said once, after two seconds, and the recording goes on.
TEST_F(CliRecord, ASilentPortIsSaidOnce) {
  TSerialPty line;
  TCliRun record({"record", "--port", line.SlavePath(), "--seconds", "3", "--dir", out_}, dir_.Path(), "record");
  ASSERT_TRUE(record.WaitForExit(10s));
  EXPECT_EQ(record.Status(), 0) << record.Err();
  const std::string said = "ninetrace-cli record: no data from " + line.SlavePath() + " yet\n";
  const std::size_t at = record.Err().find(said);
  EXPECT_NE(at, std::string::npos) << record.Err();
  EXPECT_EQ(record.Err().find(said, at + 1), std::string::npos) << record.Err();
}

// `ulimit -f 20` allows 20480 bytes: two pages fit, the third does not. That is a full disk, not
// a reason to die: the recording stops, the file is cut back to its whole pages, and it says so.
TEST_F(CliRecord, AFileSizeLimitStopsTheRecordingLikeAFullDisk) {
  TCliRun simulator({"simulate", "--rate", "10", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliSetup twentyKilobytes;
  twentyKilobytes.FileSizeLimit = 20 * 1024;
  TCliRun record({"record", "--port", port, "--dir", out_}, dir_.Path(), "record", twentyKilobytes);
  ASSERT_TRUE(record.WaitForExit(20s));
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));
  EXPECT_EQ(record.Status(), 1);
  EXPECT_NE(record.Err().find(": File too large. The 2 pages recorded before are kept; the page being written is lost."), std::string::npos)
      << record.Err();
  const TBytes recorded = ReadWholeFile(FindRecording(out_));
  ASSERT_EQ(recorded.size(), 2 * PageSize);
  EXPECT_EQ(FirstDifference(recorded, SynchronisedRecords(ReadWholeFile(log_)), 2 * RecordsPerPage), -1);
}

// Two failures at once: a stop signal, then the last page does not fit under the file-size limit.
// The signal still stops the recording (no kill by SIGXFSZ), the failure is said instead of the
// summary, and the file keeps its whole pages.
TEST_F(CliRecord, AStopSignalWhoseLastPageCannotBeWrittenKeepsTheWholePages) {
  TCliRun simulator({"simulate", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliSetup tenKilobytes;
  tenKilobytes.FileSizeLimit = 10 * 1024;
  TCliRun record({"record", "--port", port, "--dir", out_}, dir_.Path(), "record", tenKilobytes);
  ASSERT_TRUE(record.WaitUntil(
      [&] {
        const fs::path file = FindRecording(out_);
        return !file.empty() && fs::file_size(file) >= PageSize;
      },
      20s))
      << record.Err();
  record.Signal(SIGTERM);
  ASSERT_TRUE(record.WaitForExit(10s));
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));
  EXPECT_EQ(record.Status(), 1);
  EXPECT_NE(record.Err().find(": File too large. The 1 page recorded before is kept; the page being written is lost."),
            std::string::npos)
      << record.Err();
  EXPECT_EQ(record.Out(), "");
  const TBytes recorded = ReadWholeFile(FindRecording(out_));
  ASSERT_EQ(recorded.size(), PageSize);
  EXPECT_EQ(FirstDifference(recorded, SynchronisedRecords(ReadWholeFile(log_)), RecordsPerPage), -1);
}

// The converter's line goes away mid-recording (here the simulator ends, closing its side of the
// pseudo-terminal): within a second the recording stops, keeps every record and says so.
TEST_F(CliRecord, AVanishedDeviceStopsTheRecordingWithinASecond) {
  TCliRun simulator({"simulate", "--rate", "10", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliRun record({"record", "--port", port, "--dir", out_}, dir_.Path(), "record");
  fs::path file;
  ASSERT_TRUE(record.WaitUntil(
      [&] {
        file = FindRecording(out_);
        return !file.empty() && fs::file_size(file) >= PageSize;
      },
      20s))
      << record.Err();
  // A few hundred frames into the second page, so there is a partial page to keep (at ten times
  // the line rate the recorder reads every 100 ms about 210 of them).
  const std::uintmax_t sentEnough = (RecordsPerPage + 600) * 9;
  ASSERT_TRUE(record.WaitUntil([&] { return fs::file_size(log_) >= sentEnough; }, 20s));
  // Noticed within a second; the rest of the bound is room for a loaded machine.
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));
  ASSERT_TRUE(record.WaitForExit(2500ms)) << "still recording a device that is gone";
  EXPECT_EQ(record.Status(), 1);
  const std::string err = record.Err();
  EXPECT_NE(err.find("Recording stopped: " + port + " is gone"), std::string::npos) << err;
  EXPECT_NE(err.find("pages are kept in " + file.filename().string()), std::string::npos) << err;

  const TBytes recorded = ReadWholeFile(file);
  const std::size_t data = DataRecords(recorded);
  EXPECT_EQ(recorded.size() % PageSize, 0u);
  EXPECT_GT(data, RecordsPerPage);
  EXPECT_EQ(FirstDifference(recorded, SynchronisedRecords(ReadWholeFile(log_)), data), -1);
}

// A converter at half the line rate: the index times the records by their arrival, so the last
// one is within a tick of the Stop, where the nominal rate would put it seconds early.
TEST_F(CliRecord, AHalfRateConverterIsTimedByItsArrivalsUpToTheStop) {
  TCliRun simulator({"simulate", "--rate", "0.5"}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  TCliRun record({"record", "--port", port, "--seconds", "3", "--dir", out_}, dir_.Path(), "record");
  ASSERT_TRUE(record.WaitForExit(20s));
  ASSERT_EQ(record.Status(), 0) << record.Err();
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));

  const TRecordTimes times = TRecordTimes::Load(FindRecording(out_));
  ASSERT_TRUE(times.FromIndex());
  const auto real = times.RealRecords();
  ASSERT_TRUE(real.has_value());
  ASSERT_GT(*real, 200);
  const auto stop = std::find_if(times.Events().begin(), times.Events().end(),
                                 [](const TIndexEvent& e) { return e.Kind == TIndexEntryKind::Stop; });
  ASSERT_NE(stop, times.Events().end());
  EXPECT_EQ(stop->Reason, TStopReason::LimitReached);
  const auto last = times.At(*real - 1);
  ASSERT_TRUE(last.has_value());
  EXPECT_FALSE(last->Estimated);
  EXPECT_NEAR(static_cast<double>(stop->At.UnixNanoseconds - last->UnixNanoseconds) / 1e9, 0.05, 0.05);
  // Bytes the simulator queued before the port opened arrive at once, so the rate runs a little high.
  ASSERT_TRUE(times.MeasuredRate().has_value());
  EXPECT_NEAR(*times.MeasuredRate(), 640.0 / 3 / 2, 15);
}

// kill -9 at any moment: the index describes a prefix of the pages exactly (at most the page
// just written is missing from it), and info and export still read the whole file.
TEST_F(CliRecord, AKilledRecorderLeavesAnIndexThatDescribesAPrefixOfThePages) {
  TCliRun simulator({"simulate", "--rate", "10", "--log", log_}, dir_.Path(), "simulate");
  const std::string port = simulator.FirstLine();
  ASSERT_FALSE(port.empty()) << simulator.Err();
  std::mt19937 random(std::random_device{}());
  for (int run = 0; run < 3; ++run) {
    const fs::path out = out_ / std::to_string(run);
    fs::create_directory(out);
    const auto after = std::chrono::milliseconds(std::uniform_int_distribution<int>(200, 2200)(random));
    SCOPED_TRACE("killed after " + std::to_string(after.count()) + " ms");
    TCliRun record({"record", "--port", port, "--dir", out}, dir_.Path(), "record");
    EXPECT_FALSE(record.WaitForExit(after));
    record.Signal(SIGKILL);
    ASSERT_TRUE(record.WaitForExit(10s));

    const fs::path file = FindRecording(out);
    ASSERT_FALSE(file.empty());
    const TRecordTimes times = TRecordTimes::Load(file);
    ASSERT_TRUE(times.FromIndex()) << times.Problem();
    const std::int64_t pages = times.FileRecords() / 1000;
    EXPECT_EQ(times.FileRecords() % 1000, 0);
    EXPECT_LE(times.IndexedPages(), pages);
    EXPECT_GE(times.IndexedPages(), pages - 1);
    EXPECT_TRUE(std::none_of(times.Events().begin(), times.Events().end(),
                             [](const TIndexEvent& e) { return e.Kind == TIndexEntryKind::Stop; }));
    // The described pages are whole and in time order; the rest is timed from them.
    for (std::int64_t r = 999; r < times.FileRecords(); r += 1000) {
      const auto first = times.At(r - 999), last = times.At(r);
      ASSERT_TRUE(first && last);
      EXPECT_LT(first->UnixNanoseconds, last->UnixNanoseconds) << r;
      EXPECT_EQ(last->Estimated, r / 1000 >= times.IndexedPages()) << r;
    }
    EXPECT_EQ(times.RealRecords().has_value(), times.IndexedPages() == pages);
    const TCliResult info = RunCli({"info", file}, dir_.Path());
    EXPECT_EQ(info.Status, 0) << info.Err;
    const TCliResult csv = RunCli({"export", file, "--time", "-o", out / "rows.csv"}, dir_.Path());
    EXPECT_EQ(csv.Status, 0) << csv.Err;
  }
  simulator.Signal(SIGTERM);
  ASSERT_TRUE(simulator.WaitForExit(10s));
}

}  // namespace

// What another program does to the recording while `record` runs reaches the user as a failure
// that says what became of the records, never as "N pages" and a path that is not the recording.
TEST_F(CliRecord, AFileOrFolderTakenWhileRecordingStopsWithWhatWasKept) {
  const std::string users = "the user's own file\n";
  struct TRow {
    const char* Name;
    std::function<void(const fs::path&)> Take;
    std::string Message;
  };
  const std::vector<TRow> rows = {
      {"the name given to another file",
       [&](const fs::path& file) {
         std::ofstream(dir_ / "users.txt") << users;
         fs::rename(dir_ / "users.txt", file);
       },
       " was replaced by another program while recording. Nothing is lost: "},
      {"the folder removed", [&](const fs::path&) { fs::remove_all(out_); }, "Its folder is gone too, so the "},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    fs::remove_all(out_);
    fs::create_directories(out_);
    TCliRun simulator({"simulate", "--rate", "10"}, dir_.Path(), "simulate");
    const std::string port = simulator.FirstLine();
    ASSERT_FALSE(port.empty()) << simulator.Err();
    TCliRun record({"record", "--port", port, "--pages", "50", "--dir", out_}, dir_.Path(), "record");
    fs::path file;
    ASSERT_TRUE(record.WaitUntil(
        [&] {
          file = FindRecording(out_);
          return !file.empty() && fs::file_size(file) >= PageSize;
        },
        20s));
    row.Take(file);
    ASSERT_TRUE(record.WaitForExit(10s));
    simulator.Signal(SIGTERM);
    ASSERT_TRUE(simulator.WaitForExit(10s));
    EXPECT_EQ(record.Status(), 1);
    EXPECT_NE(record.Err().find(row.Message), std::string::npos) << record.Err();
    EXPECT_EQ(record.Out(), "");
    if (fs::exists(out_)) {
      EXPECT_EQ(ReadText(file), users);
      const fs::path saved = out_ / (file.stem().string() + "_2.bin");
      EXPECT_GE(fs::file_size(saved), 2 * PageSize);
    }
  }
}
