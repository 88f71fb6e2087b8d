#include "playback/page_viewer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../platform/test_files.h"
#include "../support/as_ordinary_user.h"
#include "chart/axis_panel.h"
#include "platform/serial_pty.h"

using namespace ninetrace;
using ninetrace::testing::AsOrdinaryUser;
using ninetrace::testing::TTempDirectory;

namespace {

// Record i of a test file carries i in its first four bytes, so channels 1..4 show i byte by byte.
std::array<std::uint8_t, RecordSize> RecordNo(std::int64_t i) {
  return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i >> 16),
          static_cast<std::uint8_t>(i >> 24), 0x5A, 0, 0};
}

// Writes `bytes` bytes of numbered records at byte `from` (a record boundary), growing the file
// to at least `size` with a hole where nothing is written.
void WriteRecords(const std::filesystem::path& name, std::int64_t size, std::int64_t from = 0,
                  std::int64_t bytes = -1) {
  const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  if (bytes < 0) bytes = size - from;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
  for (std::int64_t b = 0; b < bytes; ++b)
    data[static_cast<std::size_t>(b)] = RecordNo((from + b) / 7)[static_cast<std::size_t>((from + b) % 7)];
  ASSERT_EQ(::pwrite(fd, data.data(), data.size(), from), bytes);
  ::close(fd);
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class PageViewer : public ::testing::Test {
 protected:
  std::string Caption() const { return captions.empty() ? std::string() : captions.back(); }

  // The record plotted as point i, read back from channels 1..4.
  std::int64_t PlottedRecord(std::int32_t i) const {
    std::int64_t record = 0;
    for (std::size_t t = 4; t-- > 0;) record = record * 256 + static_cast<std::int64_t>(traces[t].YAt(i));
    return record;
  }

  // The traces show `count` records from byte `offset` of `name` at x 0, 0.01, 0.02, ...
  void ExpectPage(const std::filesystem::path& name, std::int64_t offset, std::int32_t count) {
    std::ifstream in(name, std::ios::binary);
    in.seekg(offset);
    TPageBuffer expected{};
    in.read(reinterpret_cast<char*>(expected.data()), PageSize);
    for (std::size_t t = 0; t < TraceCount; ++t) ASSERT_EQ(traces[t].PointCount(), count) << "series " << t;
    for (std::int32_t i = 0; i < count; ++i) {
      const TTraceValues v = DecodeTraceValues(RecordAt(expected, static_cast<std::size_t>(i)));
      ASSERT_DOUBLE_EQ(traces[0].XAt(i), 0.01 * i) << i;
      for (std::size_t t = 0; t < TraceCount; ++t)
        ASSERT_EQ(traces[t].YAt(i), v[t]) << "point " << i << " series " << t;
    }
  }

  void ExpectAt(std::int64_t offset, const std::string& caption) {
    EXPECT_EQ(viewer.ViewOffset(), offset);
    EXPECT_EQ(Caption(), caption);
  }

  TTempDirectory dir;
  TCustomAxisPanel chart;
  TTraceSet traces{chart};
  TRecorder recorder{traces, {}, SystemClock(), dir.Path()};
  std::vector<std::string> captions;
  int refreshes = 0;
  std::int32_t cursorX = 0;
  int cursorReads = 0;
  TPageViewer viewer{recorder, traces, [this] { ++refreshes; },
                     [this](const QString& c) { captions.push_back(c.toStdString()); },
                     [this] {
                       ++cursorReads;
                       return cursorX;
                     }};
};

class PageViewerOnTenPages : public PageViewer {
 protected:
  void SetUp() override {
    WriteRecords(file, 70'000);
    viewer.View(file);
  }
  const std::filesystem::path file = dir / "ten pages.bin";
};

TEST_F(PageViewerOnTenPages, StepButtonsPageThroughTheFile) {
  ExpectAt(63'000, "10");
  ExpectPage(file, 63'000, 1000);
  EXPECT_EQ(PlottedRecord(0), 9000);
  EXPECT_EQ(refreshes, 1);

  viewer.StepForward(HalfPageStep);
  ExpectAt(63'000, "10");
  viewer.StepBack(HalfPageStep);
  ExpectAt(59'500, "9");
  EXPECT_EQ(PlottedRecord(0), 8500);
  viewer.StepBack(PageStep);
  ExpectAt(52'500, "8");
  viewer.StepForward(PageStep);
  ExpectAt(59'500, "9");
  viewer.StepBack(EndStep);
  ExpectAt(0, "1");
  ExpectPage(file, 0, 1000);
  viewer.StepBack(HalfPageStep);
  ExpectAt(0, "1");
  viewer.StepForward(EndStep);
  ExpectAt(63'000, "10");
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
}

TEST_F(PageViewerOnTenPages, OverviewSpansTheChartAndAllAgainGoesBack) {
  viewer.StepBack(PageStep);
  viewer.ToggleOverview();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Overview);
  EXPECT_EQ(viewer.SavedOffset(), 56'000);
  EXPECT_EQ(Caption(), "1-10  Click!");
  // Records 10k .. 10k + 9 share x index k: the first chunk spans 0..99, the last 900..999.
  // Each trace starts every x with its first of them and ends it with its last.
  for (std::size_t t = 0; t < TraceCount; ++t) {
    const TLineSeries& s = traces[t];
    std::int64_t k = -1;
    for (std::int32_t i = 0; i < s.PointCount(); ++i) {
      const auto x = static_cast<std::int64_t>(std::lround(s.XAt(i) * 100));
      ASSERT_DOUBLE_EQ(s.XAt(i), 0.01 * static_cast<double>(x));
      if (x != k) {
        ASSERT_EQ(x, k + 1) << "series " << t;
        ASSERT_EQ(s.YAt(i), DecodeTraceValues(RecordNo(10 * x))[t]) << "series " << t << " x " << x;
        if (i > 0) {
          ASSERT_EQ(s.YAt(i - 1), DecodeTraceValues(RecordNo(10 * k + 9))[t]) << "series " << t << " x " << k;
        }
      }
      k = x;
    }
    EXPECT_EQ(k, 999);
    EXPECT_EQ(s.YAt(s.PointCount() - 1), DecodeTraceValues(RecordNo(9'999))[t]);
  }

  viewer.ToggleOverview();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
  ExpectAt(56'000, "9");
  ExpectPage(file, 56'000, 1000);
}

// Open and View show a page of their file: "All" afterwards shows that file's overview, not the
// page saved from the file before.
TEST_F(PageViewerOnTenPages, OpenAndViewLeaveTheOverview) {
  WriteRecords(dir / "two pages.bin", 14'000);
  for (const bool open : {true, false}) {
    viewer.View(file);
    viewer.ToggleOverview();
    viewer.Close();
    if (open)
      viewer.Open(dir / "two pages.bin");
    else
      viewer.View(dir / "two pages.bin");
    EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
    ExpectAt(open ? 0 : 7'000, open ? "1" : "2");
    viewer.ToggleOverview();
    EXPECT_EQ(Caption(), "1-2  Click!");
    EXPECT_EQ(traces[0].XAt(traces[0].PointCount() - 1), 0.01 * 999);
    viewer.ToggleOverview();
    ExpectAt(open ? 0 : 7'000, open ? "1" : "2");
  }
}

// A read that fails while "All" reads the file leaves the page, caption and state as they were.
TEST_F(PageViewerOnTenPages, AFailingReadDuringAllChangesNothing) {
  viewer.StepBack(PageStep);
  const auto shown = captions.size();
  const int drawn = refreshes;
  // Put a folder under the viewer's descriptor: it still opens, but reading it fails.
  int viewed = -1;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(e.path(), ec) == file) viewed = std::stoi(e.path().filename().string());
  }
  ASSERT_GE(viewed, 0);
  const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  ASSERT_EQ(::dup3(folder, viewed, O_CLOEXEC), viewed);
  ::close(folder);

  EXPECT_THROW(viewer.ToggleOverview(), TFileError);
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
  EXPECT_EQ(viewer.SavedOffset(), 0);
  ExpectAt(56'000, "9");
  EXPECT_EQ(captions.size(), shown);
  EXPECT_EQ(refreshes, drawn);
  ExpectPage(file, 56'000, 1000);
}

// "All" builds the summary a recording lacks, once: a cancelled build changes nothing, a finished
// one is kept beside the file for the next press, and one that contradicts the pages is dropped
// and the overview drawn from the records instead.
TEST_F(PageViewerOnTenPages, AllBuildsTheSummaryOnceAndNeverBelievesAWrongOne) {
  viewer.SetSummaryFrom(0);
  int builds = 0;
  bool cancel = true;
  viewer.SetSummaryBuild([&](TSummaryBuilder& builder) {
    ++builds;
    return !cancel && builder.Step(1'000'000);
  });
  const auto shown = captions.size();
  viewer.ToggleOverview();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
  EXPECT_EQ(captions.size(), shown);
  ExpectPage(file, 63'000, 1000);
  const auto summary = SummaryPathFor(file);
  EXPECT_FALSE(std::filesystem::exists(summary));

  cancel = false;
  viewer.ToggleOverview();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Overview);
  const auto levels = [this] {
    std::vector<double> y;
    for (std::int32_t i = 0; i < traces[1].PointCount(); ++i) y.push_back(traces[1].YAt(i));
    return y;
  };
  const std::vector<double> drawn = levels();
  EXPECT_TRUE(std::filesystem::exists(summary));
  viewer.ToggleOverview();
  TPageViewer again(recorder, traces, {}, {}, {});
  again.SetSummaryFrom(0);
  again.SetSummaryBuild([&](TSummaryBuilder&) { return ++builds, false; });
  again.Open(file);
  again.ToggleOverview();
  EXPECT_EQ(again.ViewMode(), TViewMode::Overview);
  EXPECT_EQ(builds, 2);  // read back from beside the file, not built again

  // A summary of other records under the file's own stamp, the file touched after `again` had
  // checked its pages: every stamp check passes, and the pages are checked again.
  again.ToggleOverview();
  const auto touched = std::filesystem::last_write_time(file) + std::chrono::seconds(5);
  std::filesystem::last_write_time(file, touched);
  TRecordingSummary other;
  std::vector<std::uint8_t> zeros(PageSize, 0);
  for (int p = 0; p < 10; ++p) other.AddPage(SummariseRecords(zeros.data(), 1000));
  TDataFile viewed;
  viewed.OpenRead(file);
  ASSERT_TRUE(SaveSummary(summary, other, *StampOf(viewed.Descriptor())));
  again.ToggleOverview();
  EXPECT_EQ(again.ViewMode(), TViewMode::Overview);
  EXPECT_EQ(levels(), drawn);
  EXPECT_FALSE(std::filesystem::exists(summary));
}

TEST_F(PageViewerOnTenPages, ClickJumpsToThePageUnderTheCursorFromEitherMode) {
  viewer.ToggleOverview();
  cursorX = 500;
  viewer.ChartClick();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
  ExpectAt(31'500, "5");
  ExpectPage(file, 31'500, 1000);
  EXPECT_EQ(viewer.SavedOffset(), 63'000);

  // Back in page mode, "All" builds the overview again, then returns to the clicked page.
  viewer.ToggleOverview();
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Overview);
  EXPECT_EQ(traces[0].XAt(traces[0].PointCount() - 1), 0.01 * 999);
  viewer.ToggleOverview();
  ExpectAt(31'500, "5");

  for (const auto& [x, offset] : std::vector<std::pair<std::int32_t, std::int64_t>>{
           {0, 0}, {999, 63'000}, {1, 0}, {100, 3'500}, {-40, 0}, {5000, 63'000}}) {
    cursorX = x;
    viewer.ChartClick();
    EXPECT_EQ(viewer.ViewOffset(), offset) << "x " << x;
  }
  EXPECT_EQ(Caption(), "10");
}

TEST_F(PageViewerOnTenPages, CloseKeepsThePictureAndLaterButtonsAndClicksDoNothing) {
  viewer.StepBack(PageStep);
  viewer.Close();
  EXPECT_FALSE(viewer.FileOpen());
  const auto shown = captions.size();
  cursorX = 500;
  viewer.ChartClick();
  viewer.StepBack(PageStep);
  viewer.StepForward(PageStep);
  viewer.ToggleOverview();
  EXPECT_EQ(captions.size(), shown);
  EXPECT_EQ(cursorReads, 0);
  ExpectAt(56'000, "9");
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);
  ExpectPage(file, 56'000, 1000);
}

TEST_F(PageViewerOnTenPages, OpeningAgainClosesTheFileViewedBefore) {
  WriteRecords(dir / "other.bin", 14'000);
  const int open = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    viewer.Open(dir / "other.bin");
    viewer.View(file);
  }
  EXPECT_EQ(OpenDescriptors(), open);
  viewer.Close();
  EXPECT_EQ(OpenDescriptors(), open - 1);
}

TEST_F(PageViewerOnTenPages, AFileThatCannotBeViewedChangesNothing) {
  viewer.StepBack(PageStep);
  viewer.ToggleOverview();
  ::mkdir((dir / "a folder").c_str(), 0755);  // opens, but cannot be read
  const auto shown = captions.size();
  const int drawn = refreshes;

  const auto expectFailure = [&](auto action, const std::string& message) {
    try {
      action();
      ADD_FAILURE() << "no error for: " << message;
    } catch (const TFileError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(viewer.FileOpen());
    EXPECT_EQ(viewer.ViewMode(), TViewMode::Overview);
    EXPECT_EQ(viewer.SavedOffset(), 56'000);
    EXPECT_EQ(captions.size(), shown);
    EXPECT_EQ(refreshes, drawn);
    EXPECT_EQ(traces[0].XAt(traces[0].PointCount() - 1), 0.01 * 999);
  };
  const auto missing = dir / "gone.bin";
  expectFailure([&] { viewer.Open(missing); }, "Cannot open " + missing.string() + ": No such file or directory");
  expectFailure([&] { viewer.View(missing); }, "Cannot open " + missing.string() + ": No such file or directory");
  expectFailure([&] { viewer.Open(dir / "a folder"); },
                "Cannot read " + (dir / "a folder").string() + ": Is a directory");
  expectFailure([&] { viewer.View(""); }, "No recording to view yet.");
  expectFailure([&] { viewer.View(dir.Path() / ""); }, "No recording to view yet.");
  expectFailure([&] { viewer.View(recorder.FilePath()); }, "No recording to view yet.");
  // Permissions do not stop root: a person's refusal is seen by an ordinary user.
  WriteRecords(dir / "locked.bin", 7000);
  ::chmod((dir / "locked.bin").c_str(), 0);
  ::chmod(dir.Path().c_str(), 0755);
  EXPECT_EQ(AsOrdinaryUser([&]() -> std::string {
              try {
                viewer.Open(dir / "locked.bin");
                return "opened";
              } catch (const TFileError& e) {
                const bool kept = viewer.FileOpen() && viewer.ViewMode() == TViewMode::Overview &&
                                  viewer.SavedOffset() == 56'000;
                return e.what() + std::string(kept ? "" : " (the view changed)");
              }
            }),
            "Cannot open " + (dir / "locked.bin").string() + ": Permission denied");

  // The file viewed before is still the one read.
  viewer.ToggleOverview();
  ExpectAt(56'000, "9");
  ExpectPage(file, 56'000, 1000);
}

TEST_F(PageViewer, OnlyWholeRecordsReadArePlotted) {
  const auto file = dir / "short.bin";
  WriteRecords(file, 3'000);  // 428 records and 4 bytes of the next
  recorder.PageBuffer().fill(0x77);
  viewer.Open(file);
  ExpectAt(0, "1");
  ExpectPage(file, 0, 428);
  viewer.StepForward(HalfPageStep);
  ExpectAt(0, "1");
  EXPECT_EQ(traces[0].PointCount(), 428);

  viewer.ToggleOverview();
  EXPECT_EQ(Caption(), "1-0  Click!");
  EXPECT_EQ(traces[0].PointCount(), 428);

  // Two and a half pages and a partial record: the last chunk gives 500 records.
  const auto longer = dir / "longer.bin";
  WriteRecords(longer, 17'503);
  viewer.Open(longer);
  ExpectAt(0, "1");
  viewer.ToggleOverview();
  EXPECT_EQ(Caption(), "1-2  Click!");
  for (std::size_t t = 0; t < TraceCount; ++t) {
    const std::int32_t last = traces[t].PointCount() - 1;
    EXPECT_EQ(traces[t].YAt(last), DecodeTraceValues(RecordNo(2'499))[t]);
    EXPECT_EQ(traces[t].XAt(last), 0.01 * ((7 * 499 + 14'000) * 1000 / 17'503));
  }
}

TEST_F(PageViewer, EmptyFileShowsNothingAnywhere) {
  WriteRecords(dir / "empty.bin", 0);
  viewer.Open(dir / "empty.bin");
  viewer.StepForward(EndStep);
  cursorX = 700;
  viewer.ChartClick();
  ExpectAt(0, "1");
  viewer.ToggleOverview();
  EXPECT_EQ(Caption(), "1-0  Click!");
  EXPECT_EQ(traces[0].PointCount(), 0);
}

// 10,000,000 bytes is 1,428,571 records and 3 bytes, and 20,000,000 - 7000 is not a record start
// either: the pages land on the record those offsets fall in, so they show real records.
TEST_F(PageViewer, ViewLandsOnThePageReachedByTenMillionBytes) {
  const auto file = dir / "long.bin";
  WriteRecords(file, 20'000'000, 9'996'000, 2 * PageBytes);
  WriteRecords(file, 20'000'000, 19'992'000, 8'000);
  viewer.View(file);
  ExpectAt(9'999'997, "1429");
  ExpectPage(file, 9'999'997, 1000);
  EXPECT_EQ(PlottedRecord(0), 1'428'571);
  viewer.StepForward(EndStep);
  ExpectAt(19'992'994, "2857");
  ExpectPage(file, 19'992'994, 1000);
  EXPECT_EQ(PlottedRecord(0), 2'856'142);
}

// A click lands on a byte, even in a file of whole records; the page starts at the record
// holding it.
TEST_F(PageViewer, AClickBetweenRecordsShowsTheRecordItFallsIn) {
  const auto file = dir / "odd.bin";
  WriteRecords(file, 77'777);  // 11,111 records
  viewer.Open(file);
  cursorX = 500;  // 38,888 - 3,500 = 35,388: byte 3 of record 5,055
  viewer.ChartClick();
  ExpectAt(35'385, "6");
  EXPECT_EQ(PlottedRecord(0), 5'055);
  EXPECT_EQ(PlottedRecord(999), 6'054);
  cursorX = 123;  // 9,566 - 3,500 = 6,066: byte 4 of record 866
  viewer.ChartClick();
  ExpectAt(6'062, "1");
  EXPECT_EQ(PlottedRecord(0), 866);
}

TEST_F(PageViewer, FilesBeyondFourGigabytesPageAndJump) {
  constexpr std::int64_t size = 700'000 * PageBytes;  // 4.9 GB, sparse
  const auto file = dir / "huge.bin";
  WriteRecords(file, size, size - PageBytes, PageBytes);
  WriteRecords(file, size, 2'449'996'500 - 3'500, 14'000);
  viewer.View(file);
  ExpectAt(9'999'997, "1429");
  viewer.StepForward(EndStep);
  viewer.StepForward(size);
  ExpectAt(size - PageBytes, "700000");
  ExpectPage(file, size - PageBytes, 1000);
  EXPECT_EQ(PlottedRecord(999), size / 7 - 1);
  cursorX = 500;
  viewer.ChartClick();
  ExpectAt(2'449'996'500, "350000");
  EXPECT_EQ(PlottedRecord(0), 2'449'996'500 / 7);
  viewer.StepBack(size);
  ExpectAt(0, "1");
}

TEST(PageViewerArithmetic, ClickAndOverviewPositionsHoldForHugeFiles) {
  constexpr std::int64_t threeGiB = 3LL << 30;
  EXPECT_EQ(ClickOffset(threeGiB, 500), threeGiB / 2 - 3'500);
  EXPECT_EQ(ClickOffset(threeGiB, 999), threeGiB * 999 / 1000 - 3'500);
  EXPECT_EQ(ClickOffset(threeGiB, 1000), threeGiB - 7'000);
  constexpr std::int64_t petabyte = 1'000'000'000'000'000;
  EXPECT_EQ(ClickOffset(petabyte, 250), petabyte / 4 - 3'500);
  EXPECT_EQ(ClickOffset(petabyte, 2'000'000'000), petabyte - 7'000);
  EXPECT_EQ(ClickOffset(petabyte, -2'000'000'000), 0);
  EXPECT_EQ(OverviewXIndex(threeGiB - 7'000, 999, threeGiB), 999);
  EXPECT_EQ(OverviewXIndex(threeGiB / 2, 0, threeGiB), 500);
  EXPECT_EQ(OverviewXIndex(petabyte - 7, 0, petabyte), 999);
}

// A recording in progress owns the data file and the page buffer.
TEST_F(PageViewer, WhileRecordingTheViewerLeavesTheRecordingAlone) {
  TSerialPty pty;
  recorder.Run(pty.SlavePath());
  std::vector<std::uint8_t> frames;
  for (std::int64_t i = 0; i < 2'005; ++i) {
    frames.insert(frames.end(), {SyncByte, SyncByte});
    const auto r = RecordNo(i);
    frames.insert(frames.end(), r.begin(), r.end());
  }
  frames.insert(frames.end(), 7, 0x00);  // lets the last frame out
  std::span<const std::uint8_t> rest(frames);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (recorder.Synchroniser().FramesReceived() < 2'005 && std::chrono::steady_clock::now() < deadline) {
    rest = rest.subspan(pty.Write(rest));
    recorder.Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(recorder.FillPosition(), 5u);

  const TPageBuffer page = recorder.PageBuffer();
  const auto fileAt = [&] {  // the recording file's position, from its descriptor
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (std::filesystem::read_symlink(e.path(), ec) != recorder.FilePath()) continue;
      std::ifstream info("/proc/self/fdinfo/" + e.path().filename().string());
      std::string key;
      std::int64_t pos = -1;
      info >> key >> pos;
      return pos;
    }
    return std::int64_t{-1};
  };
  // Pages go to the recorder's own offsets, so the descriptor's position is whatever it is; the
  // viewer must not move it all the same.
  const std::int64_t position = fileAt();
  ASSERT_GE(position, 0);

  EXPECT_FALSE(viewer.FileOpen());
  cursorX = 0;
  viewer.ChartClick();
  viewer.StepBack(EndStep);
  viewer.ToggleOverview();
  viewer.Close();
  EXPECT_THROW(viewer.View(recorder.FilePath()), TFileError);
  EXPECT_THROW(viewer.Open(recorder.FilePath()), TFileError);

  EXPECT_EQ(fileAt(), position);
  EXPECT_EQ(recorder.PageBuffer(), page);
  EXPECT_TRUE(recorder.Running());
  EXPECT_TRUE(captions.empty());
  EXPECT_EQ(refreshes, 0);
  EXPECT_EQ(cursorReads, 0);
  EXPECT_EQ(traces[0].PointCount(), 5);
  EXPECT_EQ(viewer.ViewMode(), TViewMode::Page);

  recorder.Stop();
  viewer.View(recorder.FilePath());  // the finished recording: three pages, the last one part full
  ExpectAt(2 * PageBytes, "3");
  EXPECT_EQ(PlottedRecord(4), 2'004);
  EXPECT_EQ(PlottedRecord(5), 0);
}

}  // namespace
