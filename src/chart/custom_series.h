// The line series every trace is drawn with.
#pragma once

#include "chart/chart_series.h"

namespace ninetrace {

// A series drawn point to point; the line may run to the first point past the right edge.
class TCustomSeries : public TChartSeries {
 public:
  TCustomSeries() { ExtendPastEdge = true; }
};

class TLineSeries : public TCustomSeries {
 public:
  TLineSeries() = default;
};

}  // namespace ninetrace
