// What the chart shows at a place: the record under a pixel column of a page (viewed or live),
// the span of records under a column of the overview, the time at a position of the bottom axis,
// and the records on screen. Reads the window's own state (recorder, viewer, traces, axes) and
// never changes it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "recording/channel_scales.h"
#include "acquisition/recorder.h"
#include "acquisition/trace_set.h"
#include "app/readout_text.h"
#include "recording/record_times.h"
#include "chart/chart.h"
#include "playback/page_viewer.h"

namespace ninetrace {

// The x indices (0.01 apart on the bottom axis) whose points fall into pixel column `x`; when none
// does (a deep zoom), the nearest one. Empty only for a zero-sized axis.
std::optional<std::pair<std::int64_t, std::int64_t>> XIndicesInColumn(const TChartAxis& bottom, std::int32_t x);

// Records [first, end) of a file of `size` bytes that the overview puts at x indices k0..k1.
std::pair<std::int64_t, std::int64_t> OverviewRecords(std::int64_t k0, std::int64_t k1, std::int64_t size);

class TChartReading {
 public:
  // All references must outlive this.
  TChartReading(TRecorder& recorder, TPageViewer& viewer, TTraceSet& traces, TChart& chart);

  // The readout for the pointer at chart pixel (x, y): nothing outside the chart rectangle, with
  // no file open and no recording running, or where no record lies.
  std::optional<TReadout> ReadoutAt(std::int32_t x, std::int32_t y, const TChannelScales& channels);
  // The time of the record at x value `x` of the bottom axis in the view now shown.
  std::optional<TRecordTime> TimeAtX(double x);
  // The first record, in the file, at or after x value `x`; nothing without a file or recording.
  std::optional<std::int64_t> RecordAtX(double x);
  // Records [first, end) of the viewed file that lie inside the bottom axis' range.
  std::optional<std::pair<std::int64_t, std::int64_t>> RecordsOnScreen();
  // The file viewed or being recorded; empty with neither.
  std::filesystem::path CurrentFile() const;
  // The times of CurrentFile(), loaded when the file changes.
  const TRecordTimes& Times();

 private:
  TTraceHidden Hidden() const;
  std::optional<TReadout> PageReadout(std::int64_t slot, const TChannelScales& channels);
  std::optional<TReadout> SpanReadoutAt(std::int32_t x, const TChannelScales& channels);
  std::int64_t PageRecords() const;
  bool ReadSpan(std::int64_t first, std::int64_t end, TSpanUnderPointer& span);

  TRecorder& recorder_;
  TPageViewer& viewer_;
  TTraceSet& traces_;
  TChart& chart_;
  std::filesystem::path timesFile_;
  TRecordTimes times_;
  std::vector<std::uint8_t> span_;  // records of one overview column, reused
};

}  // namespace ninetrace
