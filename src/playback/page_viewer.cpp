#include "playback/page_viewer.h"

#include <optional>
#include <system_error>
#include <utility>

#include "platform/busy_cursor.h"
#include "playback/overview_from_summary.h"
#include "playback/overview_reduction.h"
#include "playback/view_from_summary.h"

namespace ninetrace {

TPageViewer::TPageViewer(TRecorder& recorder, TTraceSet& traces, TRefresh refresh, TCaptionSetter setCaption,
                         TCursorX cursorX)
    : recorder_(recorder),
      traces_(traces),
      refresh_(std::move(refresh)),
      setCaption_(std::move(setCaption)),
      cursorX_(std::move(cursorX)) {}

std::size_t TPageViewer::ReadPage(TDataFile& file, std::int64_t offset, TPageBuffer& page) {
  file.SeekTo(offset);
  // A file that is not whole pages ends in a short read; its partial record is left out.
  return static_cast<std::size_t>(file.Read(page.data(), PageBytes)) / RecordSize;
}

void TPageViewer::PlotPage(std::size_t records) {
  if (setCaption_) setCaption_(QString::number(PageNumber(viewOffset_)));
  traces_.Clear();
  const TPageBuffer& page = recorder_.PageBuffer();
  for (std::size_t r = 0; r < records; ++r) traces_.PlotRecord(page, r, static_cast<std::int64_t>(r));
  if (refresh_) refresh_();
}

void TPageViewer::ShowPageAt(std::int64_t offset) {
  offset = RecordStart(offset);
  const std::size_t records = ReadPage(recorder_.DataFile(), offset, recorder_.PageBuffer());
  viewOffset_ = offset;
  PlotPage(records);
}

void TPageViewer::OpenAt(const std::filesystem::path& name, std::int64_t step) {
  // The data file is the recording's while one runs; replacing it would cut the recording off.
  if (recorder_.Running()) {
    throw TFileError("Cannot open " + name.string() + ": a recording is running", "a recording is running");
  }
  // Everything that can fail is done on a file of our own first, so a failure changes nothing.
  TDataFile file;
  file.OpenRead(name);
  const std::int64_t offset = RecordStart(ClampToFile(step, file.Size()));
  TPageBuffer page;
  const std::size_t records = ReadPage(file, offset, page);

  recorder_.DataFile() = std::move(file);  // closes the file viewed before
  recorder_.PageBuffer() = page;
  viewOffset_ = offset;
  // A page of the new file is on the chart: "All" then builds the new file's overview.
  viewMode_ = TViewMode::Page;
  PlotPage(records);
}

void TPageViewer::Open(const std::filesystem::path& name) { OpenAt(name, 0); }

void TPageViewer::View(const std::filesystem::path& recording) {
  // FilePath() is the recordings folder alone until the first recording has been named.
  if (recording.filename().empty()) throw TFileError("No recording to view yet.", "no recording yet");
  OpenAt(recording, EndStep);
}

void TPageViewer::Close() {
  if (recorder_.Running()) return;
  recorder_.DataFile().Close();
  ForgetSummary();
}

void TPageViewer::ForgetSummary() {
  summary_.reset();
  checkedPages_.Clear();
}

void TPageViewer::StepForward(std::int64_t bytes) {
  if (!FileOpen()) return;
  ShowPageAt(ClampToFile(viewOffset_ + bytes, recorder_.DataFile().Size()));
}

void TPageViewer::StepBack(std::int64_t bytes) {
  if (!FileOpen()) return;
  ShowPageAt(std::max<std::int64_t>(viewOffset_ - bytes, 0));
}

std::optional<TLevelPixels> TPageViewer::ViewPixels() const {
  TLevelPixels pixels;
  bool plain = true;
  for (std::size_t t = 0; t < TraceCount; ++t) {
    TChartAxis* axis = traces_[t].PlotVertAxis();
    if (!axis) return std::nullopt;
    // The range as the next drawing pass will take it, also right after a zoom.
    axis->FixScale();
    std::vector<std::int32_t>& row = pixels.Pixel[t];
    int direction = 0;
    for (int level = 0; level < (t < 5 ? 1024 : 2); ++level) {
      row.push_back(axis->ValueToPixel(TraceValue(t, level)));
      const std::int32_t p = row.back();
      if (p < -PixelGuard || p > PixelGuard) plain = false;
      if (level == 0 || p == row[row.size() - 2]) continue;
      const int step = p > row[row.size() - 2] ? 1 : -1;
      if (direction != 0 && step != direction) plain = false;
      direction = step;
    }
  }
  if (plain) return std::nullopt;
  return pixels;
}

TOverviewPoints TPageViewer::ReadOverview(const std::optional<TLevelPixels>& pixels) {
  TDataFile& file = recorder_.DataFile();
  const std::int64_t size = file.Size();
  // A week of recording is read in a couple of seconds from the page cache, longer from disk.
  std::optional<TBusyCursor> busy;
  // A following window's refresh every second or so would make the cursor flicker; it stays.
  if ((size >= BusyCursorBytes || pixels) && !refreshing_) busy.emplace();
  file.SeekTo(0);
  return ReduceRecording([&file](std::uint8_t* buffer, std::int64_t count) { return file.Read(buffer, count); }, size,
                         pixels ? &*pixels : nullptr);
}

const TRecordingSummary* TPageViewer::CurrentSummary(const TRecordingStamp& stamp) {
  if (summary_ && summaryStamp_ == stamp) return &*summary_;
  ForgetSummary();
  const TDataFile& file = recorder_.DataFile();
  const std::filesystem::path path = SummaryPathFor(file.Name());
  std::optional<TRecordingSummary> summary = LoadSummary(path, stamp);
  if (!summary) {
    TSummaryBuilder builder(file.Descriptor(), stamp.Size, file.Name().string());
    if (summaryBuild_ ? !summaryBuild_(builder) : !builder.Step(stamp.Size)) return nullptr;
    summary = builder.Take();
    // A folder we may not write to keeps no summary; it is built again next time. Nor does a
    // recording still being written, whose recorder keeps its own.
    if (summaryKept_ && StampOf(file.Descriptor()) == stamp) SaveSummary(path, *summary, stamp);
  }
  summary_ = std::move(summary);
  summaryStamp_ = stamp;
  return &*summary_;
}

std::optional<TOverviewPoints> TPageViewer::SummarisedOverview(const std::optional<TLevelPixels>& pixels) {
  const TDataFile& file = recorder_.DataFile();
  const int fd = file.Descriptor();
  const std::optional<TRecordingStamp> stamp = StampOf(fd);
  if (!stamp || stamp->Size < summaryFrom_) return ReadOverview(pixels);
  const TRecordingSummary* summary = CurrentSummary(*stamp);
  if (!summary) return std::nullopt;
  const std::string name = file.Name().string();
  const TPageRead read = [fd, &name](std::int64_t page, std::uint8_t* out) { return ReadRecordingPage(fd, page, out, name); };
  const TPagePrefetch prefetch{[fd](std::int64_t page) { PrefetchRecordingPage(fd, page); },
                               [fd](std::int64_t page) { return RecordingPageInMemory(fd, page); }};
  // A deep zoom reads a page or two per x position and channel: quick warm, not from a cold disk.
  std::optional<TBusyCursor> busy;
  if (pixels && !refreshing_) busy.emplace();
  try {
    if (pixels) return ReduceWithSummaryForView(*summary, stamp->Size, read, *pixels, prefetch, &checkedPages_);
    return ReduceWithSummary(*summary, stamp->Size, read, prefetch, &checkedPages_);
  } catch (const TSummaryMismatch&) {
    // The recording changed under its summary: draw from the records, and build it anew next time.
    ForgetSummary();
    std::error_code ignored;
    std::filesystem::remove(SummaryPathFor(file.Name()), ignored);
    return ReadOverview(pixels);
  }
}

void TPageViewer::ShowOverview() {
  const std::int64_t size = recorder_.DataFile().Size();
  std::optional<TLevelPixels> pixels = ViewPixels();
  const std::optional<TOverviewPoints> points = SummarisedOverview(pixels);
  if (!points) return;  // the build was cancelled: the page stays
  // Everything that reads the file has succeeded; only now does the view change.
  PlotOverview(*points, size, viewOffset_);
  overviewPixels_ = std::move(pixels);
  savedOffset_ = viewOffset_;
  // Past the end, where reading page by page would stop: a step from the overview lands on
  // the last page.
  viewOffset_ = (size + PageBytes - 1) / PageBytes * PageBytes;
  viewMode_ = TViewMode::Overview;
  if (setCaption_) setCaption_("1-" + QString::number(size / PageBytes) + "  Click!");
  if (refresh_) refresh_();
}

void TPageViewer::AxesChanged() {
  if (!FileOpen() || viewMode_ != TViewMode::Overview) return;
  std::optional<TLevelPixels> pixels = ViewPixels();
  if (pixels == overviewPixels_) return;
  // A cancelled build leaves the view as it is.
  const std::optional<TOverviewPoints> points = SummarisedOverview(pixels);
  if (!points) return;
  PlotOverview(*points, recorder_.DataFile().Size(), savedOffset_);
  overviewPixels_ = std::move(pixels);
}

void TPageViewer::PlotOverview(const TOverviewPoints& points, std::int64_t size, std::int64_t pageOffset) {
  traces_.Clear();
  try {
    for (std::size_t t = 0; t < TraceCount; ++t)
      for (const TOverviewPoint& p : points[t])
        traces_[t].AddPoint(static_cast<double>(p.XIndex) * 0.01, TraceValue(t, p.Level));
  } catch (...) {
    // Out of memory half way: the page at pageOffset is still in the page buffer.
    traces_.Clear();
    viewOffset_ = pageOffset;
    viewMode_ = TViewMode::Page;
    const std::int64_t records = std::clamp<std::int64_t>((size - pageOffset) / static_cast<std::int64_t>(RecordSize), 0,
                                                          static_cast<std::int64_t>(RecordsPerPage));
    PlotPage(static_cast<std::size_t>(records));
    throw;
  }
}

void TPageViewer::ToggleOverview() {
  if (!FileOpen()) return;
  if (viewMode_ == TViewMode::Page) {
    ShowOverview();
  } else {
    ShowPageAt(savedOffset_);
    viewMode_ = TViewMode::Page;
  }
}

void TPageViewer::RebuildOverview() {
  if (!FileOpen() || viewMode_ != TViewMode::Overview) return;
  const std::int64_t shownOffset = viewOffset_;
  // "All" goes back to the page seen before it, or to what is left of the file there.
  viewOffset_ = RecordStart(ClampToFile(savedOffset_, recorder_.DataFile().Size()));
  refreshing_ = true;
  try {
    ShowOverview();
  } catch (...) {
    refreshing_ = false;
    if (viewMode_ == TViewMode::Overview) viewOffset_ = shownOffset;
    throw;
  }
  refreshing_ = false;
}

void TPageViewer::ChartClick() {
  // While recording the file and the page buffer are the recording's; leave them alone.
  if (!FileOpen()) return;
  const std::int32_t x = cursorX_ ? cursorX_() : 0;
  ShowPageAt(ClickOffset(recorder_.DataFile().Size(), x));
  viewMode_ = TViewMode::Page;
}

}  // namespace ninetrace
