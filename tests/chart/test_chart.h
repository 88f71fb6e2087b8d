// A chart with the main window's fixed axes laid out on a known rectangle, for model tests.
#pragma once

#include "chart/axis_panel.h"

namespace ninetrace::testing {

// Bottom axis 0..10 and left axis -1..255 over the chart rectangle (2, 2, 1000, 703).
inline void LayOutLikeMainChart(TCustomAxisPanel& chart, TRect rect = {2, 2, 1000, 703}) {
  chart.ChartRect = rect;
  chart.BottomAxis().SetRange(0, 10);
  chart.LeftAxis().SetRange(-1, 255);
  for (std::size_t i = 0; i < TCustomAxisPanel::AxisCount; ++i) {
    chart.Axis(i).FixScale();
    chart.Axis(i).UpdatePixelRange(rect);
  }
}

}  // namespace ninetrace::testing
