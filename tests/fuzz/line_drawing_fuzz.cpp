// Line series drawing on any point set, chart size, margins and clipping: the merged column
// drawing sets exactly the pixels of the per-segment drawing and leaves the same state, and
// (under AddressSanitizer) neither writes outside the image.
#include <QGuiApplication>

#include <cmath>
#include <memory>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "fuzz_input.h"
#include "plain_chart.h"
#include "two_paths.h"

using namespace ninetrace;

namespace {

double Value(fuzz::TFuzzInput& in, double previous, double span) {
  switch (in.Byte() % 8) {
    case 0: return previous;
    case 1: {
      const double odd[] = {NAN, INFINITY, -INFINITY, 1e12, -1e12, 3e9, -3e9, 0};
      return odd[in.Byte() % 8];
    }
    case 2: return in.Real(-span, 2 * span);  // anywhere, past the ends too
    default: return previous + (in.Int(0, 64) - 32) * span / 400;  // a walk of a few pixels
  }
}

void Fill(TLineSeries& s, fuzz::TFuzzInput& in) {
  s.LinePen.SetWidth(in.Int(1, 4));
  s.LinePen.SetVisible(in.Byte() % 8 != 0);
  if (in.Byte() % 8 == 0) s.LinePen.SetStyle(psDot);
  s.LinePen.SetSmallDots(in.Byte() % 8 == 0);
  s.SetStairs(in.Byte() % 8 == 0);
  s.SetColorEachPoint(in.Byte() % 8 == 0);
  s.PrevX = in.Int(-50, 350);
  s.PrevY = in.Int(-50, 250);
  s.PrevColor = in.Bool() ? clNone : clRed;
  const std::int32_t count = in.Int(0, 3000);
  double x = in.Real(-2, 2), y = in.Real(0, 100);
  for (std::int32_t i = 0; i < count && !in.Empty(); ++i) {
    x = in.Byte() % 4 == 0 ? Value(in, x, 10) : x + in.Byte() / 2550.0;  // mostly dense, equal x in a row
    y = Value(in, y, 100);
    const std::uint8_t colour = in.Byte();
    s.AddPoint(x, y, "", colour < 8 ? clNone : colour < 16 ? clBlue : colour < 24 ? clLime : clDefault);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

// Input: chart size, margins, clipping and axis ranges, then one to three series.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TFuzzInput in(data, size);
  TChart chart;
  testing::MakePlainChart(chart);
  chart.SetSize(in.Int(1, 300), in.Int(1, 200));
  chart.SetMarginLeft(in.Int(-5, 60));
  chart.SetMarginRight(in.Int(-5, 60));
  chart.SetMarginTop(in.Int(-5, 60));
  chart.SetMarginBottom(in.Int(-5, 60));
  chart.SetClipPoints(in.Byte() % 8 != 0);
  chart.SetAxisVisible(in.Byte() % 8 == 0);
  const double x0 = in.Real(-10, 10), y0 = in.Real(-100, 100);
  chart.BottomAxis().SetRange(x0, x0 + in.Real(0.001, 20));
  chart.LeftAxis().SetRange(y0, y0 + in.Real(0.01, 300));
  chart.BottomAxis().SetInverted(in.Byte() % 8 == 0);
  chart.LeftAxis().SetInverted(in.Byte() % 8 == 0);

  const std::int32_t count = in.Int(1, 3);
  std::vector<std::unique_ptr<TLineSeries>> owned;
  std::vector<TLineSeries*> series;
  for (std::int32_t i = 0; i < count; ++i) {
    owned.push_back(std::make_unique<TLineSeries>());
    owned.back()->SetSeriesColor(i == 0 ? clRed : i == 1 ? clYellow : clFuchsia);
    owned.back()->SetParentChart(&chart);
    series.push_back(owned.back().get());
  }
  for (TLineSeries* s : series) Fill(*s, in);
  testing::TTwoPaths paths(chart, series);
  const std::string differences = paths.Compare();
  FUZZ_CHECK(differences.empty(), "%s", differences.c_str());
  return 0;
}
