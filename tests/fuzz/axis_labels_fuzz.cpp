// Axis labels and ticks on any range, chart size, increment and label settings: the drawing
// pass always ends (the fuzzer's time-out catches a loop that does not), the tick list never
// holds more than its cap, ticks come largest value first, and an axis without labels on its
// ends keeps its ticks strictly inside. A quarter of the axes get any bit pattern as range and
// increment (infinities, NaNs, tiny ranges far from 0), the rest finite ranges within 1e4 of 0.
#include <QGuiApplication>

#include <cmath>

#include "chart/chart.h"
#include "chart/chart_errors.h"
#include "fuzz_input.h"

using namespace ninetrace;

namespace {

void Configure(TChartAxis& axis, fuzz::TFuzzInput& in) {
  double minimum, maximum, increment;
  if (in.Byte() % 4 == 0) {
    minimum = in.RawDouble();
    maximum = in.RawDouble();
    increment = std::fabs(in.RawDouble());
  } else {
    minimum = in.Real(-1e4, 1e4);
    maximum = in.Bool() ? minimum : minimum + in.Real(1, 10) * std::pow(10.0, in.Int(-6, 4));
    increment = in.Bool() ? 0 : in.Real(0, 10) * std::pow(10.0, in.Int(-12, 4));
  }
  // Settings the axis refuses (not numbers, infinities) keep their old value.
  const auto offer = [](auto&& set) {
    try {
      set();
    } catch (const AxisException&) {
    }
  };
  axis.Loading = true;  // the ends in any order, as a form description may give them
  offer([&] { axis.SetMinimum(minimum); });
  offer([&] { axis.SetMaximum(maximum); });
  axis.Loading = false;
  offer([&] { axis.SetIncrement(increment); });
  axis.SetAutomatic(false);
  axis.SetLabelStyle(talValue);
  axis.SetLabelsSeparation(in.Int(0, 200));
  axis.SetRoundFirstLabel(in.Bool());
  axis.SetLabelsOnAxis(in.Bool());
  axis.SetTickOnLabelsOnly(in.Bool());
  axis.SetLabels(in.Bool());
  axis.SetLabelsSize(in.Bool() ? 0 : in.Int(1, 40));
  axis.SetMinorTickCount(in.Int(0, 9));
  axis.SetTickLength(in.Int(0, 9));
  axis.SetGridCentered(in.Bool());
  axis.SetInverted(in.Bool());
  axis.MinorGrid.SetVisible(in.Bool());
}

void CheckTicks(const TChartAxis& axis) {
  const auto& ticks = axis.TickList();
  FUZZ_CHECK(ticks.size() <= TChartAxis::MaxTicks, "%zu ticks", ticks.size());
  // Values go down: pixels go left on a horizontal axis, down on a vertical one.
  const bool pixelsDown = axis.Horizontal() != axis.Inverted();
  for (std::size_t i = 1; i < ticks.size(); ++i)
    FUZZ_CHECK(pixelsDown ? ticks[i] <= ticks[i - 1] : ticks[i] >= ticks[i - 1], "tick %zu at %d after %d", i,
               ticks[i], ticks[i - 1]);
  if (!axis.LabelsOnAxis())
    for (std::int32_t p : ticks)
      FUZZ_CHECK(axis.PixelStart < p && p < axis.PixelEnd, "tick %d outside %d..%d", p, axis.PixelStart, axis.PixelEnd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);  // text measurement needs Qt's font system
  return 0;
}

// Input: chart size, then the settings of the bottom, left and top axes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TFuzzInput in(data, size);
  TChart chart;
  chart.SetSize(in.Int(1, 500), in.Int(1, 400));
  chart.SetView3D(in.Bool());
  TChartAxis* axes[] = {&chart.BottomAxis(), &chart.LeftAxis(), &chart.TopAxis()};
  for (TChartAxis* axis : axes) Configure(*axis, in);
  chart.Refresh();
  for (const TChartAxis* axis : axes) CheckTicks(*axis);
  return 0;
}
