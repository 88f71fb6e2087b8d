// Viewing a recording: one page at a time with the step buttons, the whole file at once (the
// overview), and a click on the chart that jumps to the page under the cursor. The viewer reads
// through the recorder's data file and page buffer, so it stands still while a recording runs.
#pragma once

#include <QString>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "acquisition/recorder.h"
#include "acquisition/sample_record.h"
#include "acquisition/trace_set.h"
#include "playback/overview_from_summary.h"
#include "playback/overview_reduction.h"
#include "recording/summary_builder.h"
#include "recording/summary_file.h"

namespace ninetrace {

enum class TViewMode { Page = 1, Overview = 2 };

inline constexpr std::int64_t PageBytes = static_cast<std::int64_t>(PageSize);

// The step buttons: "<" and ">" move half a page, "<<" and ">>" a page, "|<<" and ">>|" far
// enough to reach either end of any recording of up to 10,007,000 bytes.
inline constexpr std::int64_t HalfPageStep = PageBytes / 2;
inline constexpr std::int64_t PageStep = PageBytes;
inline constexpr std::int64_t EndStep = 10'000'000;

// Records start at multiples of 7 from the file's start. The long jump (10,000,000 bytes) and a
// click land between them; a page read from there would decode every record from the wrong bytes,
// so the page starts at the record the offset falls in.
constexpr std::int64_t RecordStart(std::int64_t offset) {
  return offset - offset % static_cast<std::int64_t>(RecordSize);
}

// The page number shown for a view offset: 1 for the first page.
constexpr std::int64_t PageNumber(std::int64_t offset) { return offset / PageBytes + 1; }

// The offset of a whole page that starts as near `offset` as the file allows.
constexpr std::int64_t ClampToFile(std::int64_t offset, std::int64_t size) {
  if (offset + PageBytes > size) offset = size - PageBytes;
  return std::max<std::int64_t>(offset, 0);
}

// The page centred on a click at chart x (0..1000 spans the file). Outside 0..1000 the result is
// that of the nearer end anyway, so x is bounded first: then size * x cannot overflow.
constexpr std::int64_t ClickOffset(std::int64_t size, std::int32_t x) {
  const std::int64_t across = std::clamp<std::int64_t>(x, 0, 1000);
  return ClampToFile(size * across / 1000 - PageBytes / 2, size);
}

// The overview's x index (0..999) of record n of the chunk at `offset` in a file of `size` bytes.
constexpr std::int64_t OverviewXIndex(std::int64_t offset, std::int64_t record, std::int64_t size) {
  return (static_cast<std::int64_t>(RecordSize) * record + offset) * 1000 / size;
}

// Files from this size on show a wait cursor while "All" reads them (about three hours of recording).
inline constexpr std::int64_t BusyCursorBytes = 16'000'000;

class TPageViewer {
 public:
  using TRefresh = std::function<void()>;
  using TCaptionSetter = std::function<void(const QString&)>;
  using TCursorX = std::function<std::int32_t()>;
  // Runs a summary build to its end (the window with progress and a cancel); returns false when
  // it was cancelled. Without one the build simply runs.
  using TSummaryBuild = std::function<bool(TSummaryBuilder&)>;

  // All references must outlive the viewer. `cursorX` gives the chart's cursor x at a click
  // (GetCursorPos().X in the window).
  TPageViewer(TRecorder& recorder, TTraceSet& traces, TRefresh refresh, TCaptionSetter setCaption, TCursorX cursorX);

  // Opens `name` read-only and shows its first page in page view, closing the file viewed
  // before; the saved offset stays (the next "All" replaces it). Throws
  // TFileError naming the file and the reason when it cannot be opened or read, or while a
  // recording runs; then nothing has changed: state, traces, caption and the file open before.
  void Open(const std::filesystem::path& name);
  // As Open, for the last recording (the window passes the recorder's FilePath()), landing on
  // its last page. Throws TFileError "No recording to view yet." when there has been none.
  void View(const std::filesystem::path& recording);
  void Close();

  // The step buttons. They, the overview toggle and the chart click do nothing while recording
  // or with no file open. A failing read throws TFileError and leaves the offsets as they were.
  void StepForward(std::int64_t bytes);
  void StepBack(std::int64_t bytes);
  // "All": the whole file at once, or back to the page viewed before it. The overview is built
  // completely before it replaces the page, so a failure (a read error, memory running out)
  // leaves the page, the caption and the offsets as they were.
  void ToggleOverview();
  // The chart was zoomed or restored: a zoom deep enough to put levels beyond the drawing's
  // coordinate guard needs the overview reduced for that view, from the summary.
  void AxesChanged();
  // The file changed size under an open overview (a window following a recording): reads it
  // again at its new size, keeping the zoom. A failure leaves the overview as it was.
  void RebuildOverview();
  // A click on the chart, in either mode: shows the page under the cursor.
  void ChartClick();

  // How a recording without a summary gets one before its overview; see TSummaryBuild.
  void SetSummaryBuild(TSummaryBuild build) { summaryBuild_ = std::move(build); }
  // Recordings from this size on draw "All" from their summary; shorter ones are read whole,
  // which costs no more when an x position holds about a page or less.
  void SetSummaryFrom(std::int64_t bytes) { summaryFrom_ = bytes; }
  // A window that only reads (following another's recording) keeps a summary it built in memory
  // and writes nothing beside the file.
  void SetSummaryKept(bool kept) { summaryKept_ = kept; }

  // A file is open for viewing (the window shows its viewer panel then).
  bool FileOpen() const { return !recorder_.Running() && recorder_.DataFile().IsOpen(); }
  std::int64_t ViewOffset() const { return viewOffset_; }
  std::int64_t SavedOffset() const { return savedOffset_; }
  TViewMode ViewMode() const { return viewMode_; }

 private:
  // Reads the page at `offset` of `file` into `page`; returns the whole records read.
  static std::size_t ReadPage(TDataFile& file, std::int64_t offset, TPageBuffer& page);
  void ShowPageAt(std::int64_t offset);
  // Puts the first `records` records of the page buffer on the traces and names the page.
  void PlotPage(std::size_t records);
  void OpenAt(const std::filesystem::path& name, std::int64_t step);
  void ShowOverview();
  // The levels' pixels under the traces' vertical axis as it is now, or nothing when the plain
  // levels draw exactly: all inside the guard, the mapping never turning back.
  std::optional<TLevelPixels> ViewPixels() const;
  TOverviewPoints ReadOverview(const std::optional<TLevelPixels>& pixels);
  // The overview from the recording's summary, plain or for the view's `pixels`, loading or
  // building the summary first; nullopt when the build was cancelled. Short recordings are read whole.
  std::optional<TOverviewPoints> SummarisedOverview(const std::optional<TLevelPixels>& pixels);
  const TRecordingSummary* CurrentSummary(const TRecordingStamp& stamp);
  void ForgetSummary();
  // Replaces the traces by the overview; on failure shows the page at pageOffset, which is
  // still in the page buffer, in page view.
  void PlotOverview(const TOverviewPoints& points, std::int64_t size, std::int64_t pageOffset);

  TRecorder& recorder_;
  TTraceSet& traces_;
  TRefresh refresh_;
  TCaptionSetter setCaption_;
  TCursorX cursorX_;

  std::int64_t viewOffset_ = 0;
  std::int64_t savedOffset_ = 0;
  TViewMode viewMode_ = TViewMode::Page;
  std::optional<TLevelPixels> overviewPixels_;  // what the overview on the traces was reduced for
  bool refreshing_ = false;                     // RebuildOverview: no wait cursor
  TSummaryBuild summaryBuild_;
  std::int64_t summaryFrom_ = 2'000 * PageBytes;
  bool summaryKept_ = true;
  std::optional<TRecordingSummary> summary_;  // of the open file as it was at summaryStamp_
  TRecordingStamp summaryStamp_;
  TCheckedPages checkedPages_;  // pages read so far and found to agree with summary_
};

}  // namespace ninetrace
