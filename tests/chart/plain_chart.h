// A black chart without bevel, frame or axes, 100 x 100: x 0..10 over pixels 0..100 and
// y 0..100 over 100..0, so test points land on pixels one can work out by hand.
#pragma once

#include "chart/chart.h"

namespace ninetrace::testing {

inline void MakePlainChart(TChart& chart) {
  chart.SetSize(100, 100);
  chart.SetColor(clBlack);
  chart.SetMargins(0, 0, 0, 0);
  chart.SetBevelOuter(bvNone);
  chart.SetAxisVisible(false);
  chart.SetView3D(false);
  chart.Frame().SetVisible(false);
  chart.BottomAxis().SetRange(0, 10);
  chart.LeftAxis().SetRange(0, 100);
}

}  // namespace ninetrace::testing
