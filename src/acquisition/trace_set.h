// The nine trace series and the two operations every view uses: plot a record, clear the traces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "acquisition/sample_record.h"
#include "chart/custom_series.h"

namespace ninetrace {

class TCustomAxisPanel;

class TTraceSet {
 public:
  // Creates Series1..SeriesD4 with their titles, colours and axes, attached in trace order.
  explicit TTraceSet(TCustomAxisPanel& chart);

  TLineSeries& operator[](std::size_t trace) const { return *series_[trace]; }
  TLineSeries& Series1() const { return *series_[0]; }
  TLineSeries& SeriesD1() const { return *series_[5]; }
  TLineSeries& SeriesD2() const { return *series_[6]; }
  TLineSeries& SeriesD3() const { return *series_[7]; }
  TLineSeries& SeriesD4() const { return *series_[8]; }

  // Record `record` of the page at x = xIndex * 0.01 on all nine series, Series1 first.
  void PlotRecord(const TPageBuffer& page, std::size_t record, std::int64_t xIndex) const;
  void Clear() const;

 private:
  std::array<std::unique_ptr<TLineSeries>, TraceCount> series_;
};

}  // namespace ninetrace
