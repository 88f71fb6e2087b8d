// Merged column drawing against the per-segment drawing: the same pixels, the same pen left on
// the canvas and the same PrevX/PrevY/PrevColor, on random charts and on the hand-picked cases
// where a column's chain ends on an extreme.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "chart/pixel_memo.h"
#include "plain_chart.h"
#include "two_paths.h"

using namespace ninetrace;

namespace {

using ninetrace::testing::TTwoPaths;
using ninetrace::testing::MakePlainChart;

struct MergedColumns : ::testing::Test {
  TChart chart;
  TLineSeries series;
  TTwoPaths paths{chart, {&series}};
  MergedColumns() {
    MakePlainChart(chart);
    series.SetSeriesColor(clRed);
    series.SetParentChart(&chart);
  }
  TColor At(std::int32_t x, std::int32_t y) { return chart.Canvas().OffscreenImage().PixelColor(x, y); }
  void Add(double x, std::initializer_list<double> ys) {
    for (double y : ys) series.AddPoint(x, y);
  }
};

// x = 5 is column 50; y = v is row 100 - v.
TEST_F(MergedColumns, ChainEndingFlatOnAnExtremeLeavesThatPixelAsTheSegmentsDo) {
  for (const std::int32_t width : {1, 2}) {
    series.Clear();
    series.LinePen.SetWidth(width);
    Add(5, {30, 60, 60});  // up to the highest and stays: row 40 is only ever arrived at
    EXPECT_EQ(paths.Compare(), "") << width;
    if (width == 1) {
      EXPECT_EQ(At(50, 70), clRed);
      EXPECT_EQ(At(50, 41), clRed);
      EXPECT_EQ(At(50, 40), clBlack);
    } else {
      EXPECT_EQ(At(50, 40), clRed);  // wide pens stamp both ends
    }

    series.Clear();
    Add(5, {30, 60, 45, 60});  // left the highest once before ending on it again
    EXPECT_EQ(paths.Compare(), "") << width;
    EXPECT_EQ(At(50, 40), clRed);

    series.Clear();
    Add(5, {60, 45, 30, 30});  // arrives at the lowest and stays
    EXPECT_EQ(paths.Compare(), "") << width;
    EXPECT_EQ(At(50, 70), width == 1 ? clBlack : clRed);

    series.Clear();
    Add(5, {50, 50, 50});  // no movement: no pixel at all
    EXPECT_EQ(paths.Compare(), "") << width;
    EXPECT_EQ(At(50, 50), clBlack);

    series.Clear();
    Add(5, {30, 60});
    series.AddPoint(7, 60);  // a segment leaving the column starts on the extreme the chain ended on
    EXPECT_EQ(paths.Compare(), "") << width;
    EXPECT_EQ(At(50, 40), clRed);
  }
}

TEST_F(MergedColumns, ColourChangesInsideAColumnKeepTheOrderOfOverlaps) {
  series.AddPoint(5, 20);
  series.AddPoint(5, 80, "", clBlue);  // rows 80..21
  series.AddPoint(5, 60, "", clLime);  // rows 20..39, over blue
  series.AddPoint(5, 50, "", clNone);
  series.AddPoint(5, 90);  // joined to nothing: it follows a gap
  series.AddPoint(6, 40);
  EXPECT_EQ(paths.Compare(), "");
  EXPECT_EQ(At(50, 80), clBlue);
  EXPECT_EQ(At(50, 40), clBlue);
  EXPECT_EQ(At(50, 39), clLime);
  EXPECT_EQ(At(50, 20), clLime);
  EXPECT_EQ(At(50, 19), clBlack);
  EXPECT_EQ(At(50, 10), clRed);
}

TEST(PixelMemo, AnswersAsTheAxisDoesAlsoOnceFull) {
  TChart chart;
  MakePlainChart(chart);
  chart.SetSize(300, 200);
  chart.LeftAxis().SetRange(-3.5, 17.25);
  chart.Refresh();
  const TChartAxis& axis = chart.LeftAxis();
  TPixelMemo memo(axis);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> value(-40, 40);
  std::vector<double> values{0.0, -0.0, NAN, INFINITY, -INFINITY, 1e300, std::bit_cast<double>(~std::uint64_t{0})};
  for (int i = 0; i < 20000; ++i) values.push_back(i % 3 ? std::round(value(rng) * 4) / 4 : value(rng));
  for (int pass = 0; pass < 2; ++pass)
    for (double v : values) ASSERT_EQ(memo(v), axis.ValueToPixel(v)) << v;
  EXPECT_EQ(memo.Stored(), TPixelMemo::MaxStored);
}

// ---------------------------------------------------------------------------------------------
// Random charts: dense and sparse x, equal x, flat runs, extremes, gaps, colours, widths, hidden
// pens, points beyond the chart and beyond the pixel guard, zoomed and inverted axes.

struct TRandomChart {
  std::mt19937 rng;
  explicit TRandomChart(std::uint32_t seed) : rng(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  bool Chance(double p) { return Real(0, 1) < p; }

  void SetUp(TChart& chart) {
    MakePlainChart(chart);
    chart.SetSize(Int(20, 240), Int(20, 160));
    chart.SetMarginLeft(Int(0, 10));
    chart.SetMarginRight(Int(0, 10));
    chart.SetMarginTop(Int(0, 10));
    chart.SetMarginBottom(Int(0, 10));
    chart.SetClipPoints(!Chance(0.15));
    const double lo = Chance(0.5) ? 0 : Real(-5, 8);  // zoomed into the data now and then
    chart.BottomAxis().SetRange(lo, lo + (Chance(0.8) ? 10 : Real(0.01, 12)));
    chart.BottomAxis().SetInverted(Chance(0.15));
    const double ylo = Chance(0.6) ? 0 : Real(-50, 90);
    chart.LeftAxis().SetRange(ylo, ylo + (Chance(0.7) ? 100 : Real(0.5, 150)));
    chart.LeftAxis().SetInverted(Chance(0.15));
  }

  double NextY(double y) {
    switch (Int(0, 9)) {
      case 0: return Real(-20, 120);  // anywhere, past the axis too
      case 1: return Chance(0.8) ? (Chance(0.5) ? 1e9 : -1e12) : (Chance(0.5) ? NAN : -INFINITY);  // beyond the guard
      case 2: return Chance(0.5) ? 0 : 100;  // the axis' own extremes
      case 3: case 4: return y;  // flat
      default: return y + Int(-3, 3) * Real(0.1, 1.5);  // a walk of a few pixels
    }
  }

  void Fill(TLineSeries& s) {
    s.SetColorEachPoint(Chance(0.05));
    s.LinePen.SetWidth(Chance(0.6) ? 1 : Int(2, 4));
    s.LinePen.SetVisible(!Chance(0.15));
    if (Chance(0.05)) s.LinePen.SetStyle(psDot);
    if (Chance(0.05)) s.LinePen.SetSmallDots(true);
    s.SetStairs(Chance(0.05));
    if (Chance(0.1)) s.YValues.SetMultiplier(Real(0.5, 2));
    s.PrevX = Int(-50, 300);
    s.PrevY = Int(-50, 200);
    s.PrevColor = Chance(0.2) ? clNone : clRed;

    const int count = Int(0, 1) ? Int(0, 40) : Int(100, 4000);
    const double dense = Chance(0.7) ? Real(0.0005, 0.01) : Real(0.05, 1.5);  // x step
    const double repeat = Chance(0.5) ? 0.3 : Real(0.8, 0.995);                 // equal x in a row
    const double gaps = Chance(0.5) ? 0 : Real(0, 0.05);
    const double colours = Chance(0.6) ? 0 : Real(0, 0.03);
    double x = Real(-3, 2), y = Real(0, 100);
    for (int i = 0; i < count; ++i) {
      if (!Chance(repeat)) x += Chance(0.95) ? dense : Real(0, 3);
      y = NextY(y);
      if (!(std::fabs(y) < 1e6) && !Chance(0.3)) y = Real(0, 100);
      TColor color = clDefault;
      if (Chance(gaps)) color = clNone;
      else if (Chance(colours)) color = Chance(0.5) ? clBlue : clLime;
      s.AddPoint(x, y, "", color);
    }
  }
};

TEST(MergedColumnsRandom, SameAsPerSegmentDrawingOnRandomCharts) {
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    TRandomChart random(seed);
    TChart chart;
    random.SetUp(chart);
    std::vector<std::unique_ptr<TLineSeries>> owned;
    std::vector<TLineSeries*> series;
    const int count = random.Int(1, 3);
    for (int i = 0; i < count; ++i) {
      owned.push_back(std::make_unique<TLineSeries>());
      owned.back()->SetSeriesColor(i == 0 ? clRed : i == 1 ? clYellow : clFuchsia);
      owned.back()->SetParentChart(&chart);
      random.Fill(*owned.back());
      series.push_back(owned.back().get());
    }
    TTwoPaths paths(chart, series);
    ASSERT_EQ(paths.Compare(), "") << "seed " << seed;
    // A second frame starts from the state the first one left.
    for (TLineSeries* s : series) s->PerSegmentDrawing = true;
    chart.Refresh();
    ASSERT_EQ(paths.Compare(), "") << "seed " << seed << ", second frame";
  }
}

}  // namespace
