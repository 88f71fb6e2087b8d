#include "acquisition/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "../platform/test_files.h"
#include "../support/as_ordinary_user.h"
#include "chart/axis_panel.h"
#include "platform/serial_pty.h"
#include "recording/record_times.h"

using namespace ninetrace;
using ninetrace::testing::AsOrdinaryUser;
using ninetrace::testing::ReadWholeFile;
using ninetrace::testing::TFileSizeLimit;
using ninetrace::testing::TTempDirectory;

namespace {

using TBytes = std::vector<std::uint8_t>;

class TFixedClock final : public TClock {
 public:
  std::tm LocalNow() const override {
    std::tm t{};
    t.tm_year = 116;  // 2 March 2016, 09:05:07
    t.tm_mon = 2;
    t.tm_mday = 2;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
  }
};

constexpr const char* FirstName = "160302 090507.bin";

// Record i; the control characters in it would not survive a cooked line.
std::array<std::uint8_t, RecordSize> RecordNo(std::size_t i) {
  return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0x0D, 0x11, 0x13, 0x03,
          static_cast<std::uint8_t>(i * 37)};
}

TBytes Frames(std::size_t first, std::size_t count) {
  TBytes bytes;
  for (std::size_t i = first; i < first + count; ++i) {
    bytes.push_back(SyncByte);
    bytes.push_back(SyncByte);
    const auto r = RecordNo(i);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  bytes.insert(bytes.end(), 7, 0x00);  // lets the last frame out: more than 15 bytes must wait
  return bytes;
}

// What the file should hold: the records in order, the last page filled up with zero records.
TBytes Pages(std::size_t records, std::size_t pages) {
  TBytes bytes(pages * PageSize, 0);
  for (std::size_t i = 0; i < records; ++i) {
    const auto r = RecordNo(i);
    std::copy(r.begin(), r.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i * RecordSize));
  }
  return bytes;
}

class RecorderTest : public ::testing::Test {
 protected:
  // Writes into the line, letting the recorder read whenever the line is full.
  void Send(const TBytes& bytes) {
    std::span<const std::uint8_t> rest(bytes);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!rest.empty() && std::chrono::steady_clock::now() < deadline) {
      rest = rest.subspan(pty.Write(rest));
      if (!rest.empty()) recorder.Tick();
    }
    ASSERT_TRUE(rest.empty()) << "the recorder stopped reading";
  }

  // Ticks until the recorder has received `frames` frames in all; false after 10 s.
  bool TickUntilReceived(std::int64_t frames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      recorder.Tick();
      if (recorder.Synchroniser().FramesReceived() >= frames) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  TTempDirectory dir;
  TFixedClock clock;
  TCustomAxisPanel chart;
  TTraceSet traces{chart};
  int refreshes = 0;
  TSerialPty pty;
  TRecorder recorder{traces, [this] { ++refreshes; }, clock, dir.Path()};
};

TEST_F(RecorderTest, StopRightAfterRunWritesOneEmptyPageNamedAfterTheStart) {
  recorder.Run(pty.SlavePath());
  EXPECT_TRUE(recorder.Running());
  EXPECT_TRUE(recorder.Port().IsOpen());
  EXPECT_EQ(recorder.FileName(), FirstName);
  recorder.Stop();
  EXPECT_FALSE(recorder.Running());
  EXPECT_FALSE(recorder.Port().IsOpen());
  EXPECT_FALSE(recorder.DataFile().IsOpen());
  EXPECT_EQ(ReadWholeFile(dir / FirstName), TBytes(PageSize, 0));
}

TEST_F(RecorderTest, RecordsFillThePageAndTheTracesAndEachFullPageIsWritten) {
  traces.PlotRecord(recorder.PageBuffer(), 0, 0);
  recorder.Run(pty.SlavePath());
  EXPECT_EQ(traces[0].PointCount(), 0);  // a new recording starts with empty traces

  Send(Frames(0, 5));
  ASSERT_TRUE(TickUntilReceived(5));
  EXPECT_EQ(recorder.FillPosition(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    const TTraceValues expected = DecodeTraceValues(RecordAt(recorder.PageBuffer(), i));
    EXPECT_EQ(DecodeTraceValues(TSampleRecord(RecordNo(i))), expected);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      ASSERT_EQ(traces[t].PointCount(), 5);
      EXPECT_DOUBLE_EQ(traces[t].XAt(static_cast<std::int32_t>(i)), 0.01 * static_cast<double>(i));
      EXPECT_EQ(traces[t].YAt(static_cast<std::int32_t>(i)), expected[t]);
    }
  }
  EXPECT_EQ(recorder.DataFile().Size(), 0);

  Send(Frames(5, 995));  // record 999 fills the page: it is written and the traces start again
  ASSERT_TRUE(TickUntilReceived(1000));
  EXPECT_EQ(recorder.FillPosition(), 0u);
  EXPECT_EQ(traces[0].PointCount(), 0);
  EXPECT_EQ(recorder.PageBuffer(), TPageBuffer{});
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(1000, 1));

  Send(Frames(1000, 1));
  ASSERT_TRUE(TickUntilReceived(1001));
  EXPECT_EQ(traces[8].PointCount(), 1);
  EXPECT_EQ(traces[8].XAt(0), 0.0);
  recorder.Stop();
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(1001, 2));
  // Beside it, the summary of both pages, written as they were.
  TDataFile file;
  file.OpenRead(dir / FirstName);
  const std::optional<TRecordingSummary> summary = LoadSummary(SummaryPathFor(dir / FirstName), *StampOf(file.Descriptor()));
  ASSERT_TRUE(summary.has_value());
  const TBytes pages = Pages(1001, 2);
  EXPECT_EQ(summary->Level(0), (std::vector<TBlockSummary>{SummariseRecords(pages.data(), 1000),
                                                           SummariseRecords(pages.data() + PageSize, 1000)}));
  EXPECT_EQ(recorder.Synchroniser().BytesDropped(), 2 * 7);  // the padding of the first two bursts
}

TEST_F(RecorderTest, RefreshesOnEveryTickRecordingOrNot) {
  recorder.Tick();
  recorder.Tick();
  EXPECT_EQ(refreshes, 2);
  recorder.Run(pty.SlavePath());
  recorder.Tick();
  EXPECT_EQ(refreshes, 3);
  recorder.Stop();
  recorder.Tick();
  EXPECT_EQ(refreshes, 4);
}

TEST_F(RecorderTest, APortThatCannotBeOpenedChangesNothingAndLeavesNoFile) {
  recorder.Run(pty.SlavePath());
  recorder.Stop();
  traces.PlotRecord(recorder.PageBuffer(), 0, 3);

  for (const char* port : {"/dev/ninetrace-no-such-port", "COM1"}) {
    try {
      recorder.Run(port);
      ADD_FAILURE() << "recording started on " << port;
    } catch (const TPortError& e) {
      EXPECT_NE(std::string(e.what()).find(port[0] == '/' ? port : "\"COM1\" is not a port"), std::string::npos)
          << e.what();
    }
    EXPECT_FALSE(recorder.Running());
    EXPECT_EQ(recorder.FileName(), FirstName);
    // The first recording, its index and its summary, nothing more.
    std::vector<std::string> names = dir.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{FirstName, FirstName + std::string(".idx"),
                                               FirstName + std::string(".summary")}));
    EXPECT_EQ(traces[0].PointCount(), 1);
  }
}

// Root writes into any folder; a person gets told which file could not be made, and why.
TEST_F(RecorderTest, AFolderThatMayNotBeWrittenIsSaidAndLeavesNothing) {
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
  const std::string said = AsOrdinaryUser([&]() -> std::string {
    try {
      recorder.Run(pty.SlavePath());
      return "recording";
    } catch (const TFileError& e) {
      return e.what() + std::string(recorder.Running() ? " (running)" : "");
    }
  });
  ::chmod(dir.Path().c_str(), 0700);
  EXPECT_EQ(said, "Cannot create " + (dir / FirstName).string() + ": Permission denied");
  EXPECT_TRUE(dir.Names().empty());
}

TEST_F(RecorderTest, RecordingsStartedInTheSameSecondGetNumberedNames) {
  for (const char* expected : {FirstName, "160302 090507_2.bin", "160302 090507_3.bin"}) {
    recorder.Run(pty.SlavePath());
    EXPECT_EQ(recorder.FileName(), expected);
    recorder.Stop();
    EXPECT_EQ(ReadWholeFile(dir / expected).size(), PageSize);
  }
}

TEST_F(RecorderTest, AFailedPageWriteStopsTheRecordingAndKeepsTheWholePages) {
  TFileSizeLimit limit(PageSize + 3000);
  recorder.Run(pty.SlavePath());
  std::string message;
  try {
    Send(Frames(0, 2000));
    TickUntilReceived(2000);
  } catch (const TRecordingError& e) {
    message = e.what();
  }
  EXPECT_EQ(message, std::string("Recording stopped: cannot write to ") + FirstName + " in " + dir.Path().string() +
                         ": File too large. The 1 page recorded before is kept; the page being written is lost.");
  EXPECT_FALSE(recorder.Running());
  EXPECT_FALSE(recorder.Port().IsOpen());
  EXPECT_FALSE(recorder.DataFile().IsOpen());
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(1000, 1));  // the cut-off second page is gone

  const int before = refreshes;
  EXPECT_NO_THROW(recorder.Stop());
  recorder.Tick();
  EXPECT_EQ(refreshes, before + 1);
}

TEST_F(RecorderTest, WhenNotEvenTheFirstPageFitsNoFileIsLeft) {
  recorder.Run(pty.SlavePath());
  TFileSizeLimit limit(3000);
  try {
    recorder.Stop();
    FAIL() << "the page write did not fail";
  } catch (const TRecordingError& e) {
    EXPECT_NE(std::string(e.what()).find("the empty file was removed"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(recorder.Running());
  EXPECT_TRUE(dir.Names().empty());
}

TEST_F(RecorderTest, ClosingWhileRecordingWritesThePartPageReceived) {
  {
    TRecorder closing(traces, [] {}, clock, dir.Path());
    closing.Run(pty.SlavePath());
    Send(Frames(0, 5));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (closing.Synchroniser().FramesReceived() < 5 && std::chrono::steady_clock::now() < deadline) {
      closing.Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(closing.FillPosition(), 5u);
  }
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(5, 1));

  recorder.Run(pty.SlavePath());
  EXPECT_EQ(recorder.Shutdown(), "");
  EXPECT_FALSE(recorder.Running());
  EXPECT_EQ(ReadWholeFile(dir / "160302 090507_2.bin"), Pages(0, 1));
}

// A quiet line goes on recording; a line whose device vanished (here the pseudo-terminal's other
// end closed) stops at the next tick exactly as Stop does, every record received kept, and says
// which device went and how many pages are kept.
TEST_F(RecorderTest, AVanishedDeviceStopsTheRecordingAndKeepsEveryRecord) {
  recorder.Run(pty.SlavePath());
  for (int i = 0; i < 5; ++i) recorder.Tick();
  EXPECT_TRUE(recorder.Running());

  Send(Frames(0, 1500));
  ASSERT_TRUE(TickUntilReceived(1500));
  pty.CloseMaster();
  std::string message;
  try {
    recorder.Tick();
  } catch (const TRecordingError& e) {
    message = e.what();
  }
  EXPECT_EQ(message.rfind("Recording stopped: " + pty.SlavePath() + " is gone (", 0), 0u) << message;
  EXPECT_NE(message.find(std::string(" 2 pages are kept in ") + FirstName + " in " + dir.Path().string() + "."),
            std::string::npos)
      << message;
  EXPECT_FALSE(recorder.Running());
  EXPECT_FALSE(recorder.Port().IsOpen());
  EXPECT_FALSE(recorder.DataFile().IsOpen());
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(1500, 2));
}

// Two failures at once: the device goes, then its last page cannot be written either. Both are
// said, and the file keeps the whole pages written before.
TEST_F(RecorderTest, AVanishedDeviceWhoseLastPageCannotBeWrittenSaysBoth) {
  TFileSizeLimit limit(PageSize + 3000);
  recorder.Run(pty.SlavePath());
  Send(Frames(0, 1500));
  ASSERT_TRUE(TickUntilReceived(1500));
  pty.CloseMaster();
  std::string message;
  try {
    recorder.Tick();
  } catch (const TRecordingError& e) {
    message = e.what();
  }
  EXPECT_EQ(message.rfind("Recording stopped: " + pty.SlavePath() + " is gone (", 0), 0u) << message;
  const std::string both = std::string(". Writing the last page failed too: cannot write to ") + FirstName + " in " +
                           dir.Path().string() + ": File too large. The 1 page recorded before is kept; the page being written is lost.";
  EXPECT_NE(message.find(both), std::string::npos) << message;
  EXPECT_EQ(message.find("pages are kept in"), std::string::npos) << message;
  EXPECT_FALSE(recorder.Running());
  EXPECT_FALSE(recorder.Port().IsOpen());
  EXPECT_FALSE(recorder.DataFile().IsOpen());
  EXPECT_EQ(ReadWholeFile(dir / FirstName), Pages(1000, 1));
}

// The live readout's time of a record is what the index says of it once the page is written.
class TMovingClock final : public TClock {
 public:
  std::tm LocalNow() const override { return TFixedClock().LocalNow(); }
  TWallTime WallNow() const override { return {Wall, 3600}; }
  std::int64_t MonotonicNanoseconds() const override { return Mono; }
  std::int64_t Wall = 1'456'905'907'000'000'000, Mono = 1'000'000'000;
};

TEST_F(RecorderTest, LiveRecordTimesAreWhatTheIndexThenSays) {
  constexpr std::int64_t Tick = 100'000'000;
  TMovingClock clock;
  TRecorder timed(traces, {}, clock, dir.Path());
  // The index of a deleted recording of the same name gives way to the new one.
  std::ofstream(dir / (std::string(FirstName) + ".idx")) << "stale";
  timed.Run(pty.SlavePath());
  TRecordTimes following = TRecordTimes::Load(timed.FilePath());  // as a second window follows it
  EXPECT_TRUE(following.FromIndex());
  EXPECT_EQ(following.IndexedPages(), 0);
  const std::int64_t run = clock.Wall;
  EXPECT_FALSE(timed.LiveRecordTime(0).has_value());
  for (std::size_t tick = 0; tick < 3; ++tick) {
    const TBytes frames = Frames(tick * 10, 10);
    const std::uint32_t target = pty.SlaveQueueCount() + static_cast<std::uint32_t>(frames.size());
    ASSERT_EQ(pty.Write(frames), frames.size());
    while (pty.SlaveQueueCount() < target) {
    }
    clock.Wall += Tick;
    clock.Mono += Tick;
    timed.Tick();
  }
  // Ten records a tick, so record k arrived (k + 1) / 10 of a tick after Run.
  std::vector<TRecordTime> live;
  for (std::size_t slot = 0; slot < 30; ++slot) {
    const auto time = timed.LiveRecordTime(slot);
    ASSERT_TRUE(time.has_value()) << slot;
    EXPECT_EQ(time->UnixNanoseconds, run + static_cast<std::int64_t>(slot + 1) * Tick / 10) << slot;
    EXPECT_EQ(time->UtcOffsetSeconds, 3600);
    live.push_back(*time);
  }
  EXPECT_FALSE(timed.LiveRecordTime(30).has_value());
  timed.Stop();
  const TRecordTimes times = TRecordTimes::Load(timed.FilePath());
  EXPECT_EQ(times.RealRecords(), 30);
  for (std::size_t slot = 0; slot < 30; ++slot) {
    const auto time = times.At(static_cast<std::int64_t>(slot));
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->UnixNanoseconds, live[slot].UnixNanoseconds) << slot;
    EXPECT_FALSE(time->Estimated);
  }
  EXPECT_FALSE(times.At(30).has_value()) << "padding never arrived";
  following.Reload();
  EXPECT_EQ(following.IndexedPages(), 1);
  EXPECT_EQ(following.RealRecords(), 30);
  EXPECT_EQ(following.At(29)->UnixNanoseconds, live[29].UnixNanoseconds);
}

}  // namespace

// Another program takes the file from under the recorder between two pages. The recorder knows
// its file by the open descriptor: it never writes into or removes what the name leads to now,
// stops as Stop does, and keeps every record it still holds, or says exactly which are lost.
TEST_F(RecorderTest, AFileTakenByAnotherProgramStopsTheRecordingAndLosesNothingSilently) {
  namespace fs = std::filesystem;
  const TBytes users(100, 'u');  // a file of the user's that ends up under the recording's name
  const auto usersFileInstead = [&](const fs::path& name) {
    std::ofstream(dir / "users.txt", std::ios::binary).write(reinterpret_cast<const char*>(users.data()), 100);
    fs::rename(dir / "users.txt", name);
  };
  const std::string second = "160302 090507_2.bin";
  struct TRow {
    const char* Name;
    std::function<void(const fs::path&)> Take;
    std::size_t Records;    // received before the stop
    std::string Message;    // part of what the recorder says
    TBytes AtName;          // left under the original name afterwards
    std::string SavedAs;    // where the records went; empty when nothing was saved
    TBytes Saved;
    rlim_t SizeLimit = RLIM_INFINITY;
    fs::path MovedTo = {};  // where the folder went, the file in it whole
  };
  const fs::path moved = dir.Path().string() + "-moved";
  TBytes cut = Pages(1500, 2);
  std::fill(cut.begin() + 3000, cut.begin() + PageSize, 0);
  const std::vector<TRow> rows = {
      {"deleted", [](const fs::path& name) { fs::remove(name); }, 1500,
       " was deleted by another program while recording. Nothing is lost: the 1 page recorded and the 500 records of "
       "the page in progress are saved as " + std::string(FirstName),
       Pages(1500, 2), FirstName, Pages(1500, 2)},
      {"another file renamed over it", usersFileInstead, 1500, " was replaced by another program", users,
       second, Pages(1500, 2)},
      {"a symbolic link put in its place",
       [&](const fs::path& name) {
         fs::remove(name);
         fs::create_symlink(dir / "elsewhere.bin", name);
       },
       1500, " was replaced by another program while recording. Nothing is lost", {}, second, Pages(1500, 2)},
      {"moved aside and another file put in its place",
       [&](const fs::path& name) {
         fs::rename(name, dir / "aside.bin");
         usersFileInstead(name);
       },
       1500, " was replaced by another program", users, second, Pages(1500, 2)},
      {"renamed", [&](const fs::path& name) { fs::rename(name, dir / "renamed.bin"); }, 1500,
       " was renamed by another program", Pages(1500, 2), FirstName, Pages(1500, 2)},
      {"cut short", [](const fs::path& name) { fs::resize_file(name, 3000); }, 1500,
       "it held 3000 bytes where 7000 were written. The last 572 records written before were cut away and are lost",
       cut, "", {}},
      {"written into", [](const fs::path& name) { std::ofstream(name, std::ios::app) << "appended"; }, 1500,
       "What it added after the recording was removed", Pages(1500, 2), "", {}},
      {"replaced before the first page, which does not fit", usersFileInstead, 500,
       "Saving them failed (File too large), so the 0 pages recorded and the 500 records of the page in progress are lost.",
       users, "", {}, 3000},
      {"its folder removed", [&](const fs::path&) { fs::remove_all(dir.Path()); }, 1500,
       " was deleted by another program while recording. Its folder is gone too, so the 1 page recorded and the 500 "
       "records of the page in progress could not be saved and are lost.",
       {}, "", {}},
      {"its folder moved", [&](const fs::path&) { fs::rename(dir.Path(), moved); }, 1500,
       " was renamed by another program while recording. Its folder was moved or removed; the file lives on under a "
       "name this program cannot tell, holding the 1 page recorded and the 500 records of the page in progress.",
       {}, "", {}, RLIM_INFINITY, moved},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    fs::create_directories(dir.Path());
    for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
    recorder.Run(pty.SlavePath());
    Send(Frames(0, row.Records));
    ASSERT_TRUE(TickUntilReceived(static_cast<std::int64_t>(row.Records)));
    row.Take(dir / FirstName);
    std::string message;
    try {
      TFileSizeLimit limit(row.SizeLimit);
      recorder.Stop();
    } catch (const TRecordingError& e) {
      message = e.what();
    }
    EXPECT_NE(message.find(row.Message), std::string::npos) << message;
    EXPECT_EQ(message.find("Recording stopped: " + std::string(FirstName) + " in " + dir.Path().string()), 0u) << message;
    EXPECT_FALSE(recorder.Running());
    EXPECT_FALSE(recorder.DataFile().IsOpen());
    EXPECT_TRUE(ReadWholeFile(dir / FirstName) == row.AtName);
    // The index goes with the records, never staying beside a file that is not theirs, and ends
    // by saying why the recording stopped.
    const bool oursAtName = !row.AtName.empty() && row.AtName != users;
    EXPECT_EQ(fs::exists(dir / (std::string(FirstName) + ".idx")), oursAtName);
    for (const fs::path& ours : {oursAtName ? dir / FirstName : fs::path(), row.SavedAs.empty() ? fs::path() : dir / row.SavedAs}) {
      if (ours.empty()) continue;
      const std::vector<TIndexEvent> events = TRecordTimes::Load(ours).Events();
      ASSERT_FALSE(events.empty()) << ours;
      EXPECT_EQ(events.back().Kind, TIndexEntryKind::Stop);
      EXPECT_EQ(events.back().Reason, TStopReason::FileTaken);
    }
    if (!row.SavedAs.empty()) {
      EXPECT_EQ(recorder.FileName(), row.SavedAs);
      EXPECT_TRUE(ReadWholeFile(dir / row.SavedAs) == row.Saved);
    } else {
      // Viewing the last recording must not show whatever now has its name.
      EXPECT_EQ(recorder.FileName(), oursAtName ? FirstName : "");
      if (fs::exists(dir.Path())) {
        EXPECT_FALSE(fs::exists(dir / second)) << "a partial copy was left";
      }
    }
    if (!row.MovedTo.empty()) {
      EXPECT_TRUE(ReadWholeFile(row.MovedTo / FirstName) == Pages(1500, 2));
      fs::remove_all(row.MovedTo);
    }
  }
}
