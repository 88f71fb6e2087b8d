// Line series on a plain 100 x 100 chart: x 0..10 maps to pixels 0..100, y 0..100 to 100..0.
#include <gtest/gtest.h>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "plain_chart.h"

using namespace ninetrace;

namespace {

struct PlainChart : ::testing::Test {
  TChart chart;
  TLineSeries series;
  PlainChart() {
    ninetrace::testing::MakePlainChart(chart);
    series.SetSeriesColor(clRed);
    series.SetParentChart(&chart);
  }
  TColor At(std::int32_t x, std::int32_t y) { return chart.Canvas().OffscreenImage().PixelColor(x, y); }
  int CountRed() {
    int n = 0;
    for (std::int32_t y = 0; y < 100; ++y)
      for (std::int32_t x = 0; x < 100; ++x) n += At(x, y) == clRed;
    return n;
  }
};

TEST_F(PlainChart, EmptySeriesDrawsNothingAndRaisesNoHooks) {
  int hooks = 0;
  series.BeforeDrawValues = [&](TChartSeries*) { ++hooks; };
  series.AfterDrawValues = [&](TChartSeries*) { ++hooks; };
  chart.Refresh();
  EXPECT_EQ(hooks, 0);
  series.AddPoint(5, 50);  // one point: hooks, but no segment
  chart.Refresh();
  EXPECT_EQ(hooks, 2);
  EXPECT_EQ(CountRed(), 0);
}

TEST_F(PlainChart, SegmentsJoinPointsInTheSeriesColourNotThePenColour) {
  series.LinePen.SetColor(clBlue);
  series.AddPoint(2, 50);
  series.AddPoint(8, 50);
  chart.Refresh();
  EXPECT_EQ(At(20, 50), clRed);
  EXPECT_EQ(At(79, 50), clRed);
  EXPECT_EQ(At(80, 50), clBlack);  // the end pixel is not set
  EXPECT_EQ(CountRed(), 60);
}

// The line enters from the left edge at the interpolated height, unless the point it would come
// from is a gap.
TEST_F(PlainChart, EntryFromTheLeftEdgeIsLeftOutWhenThePointBeforeIsAGap) {
  for (const bool gap : {false, true}) {
    series.Clear();
    series.AddPoint(-2, 50, "", gap ? clNone : clDefault);
    series.AddPoint(2, 50);
    series.AddPoint(6, 50);
    chart.Refresh();
    EXPECT_EQ(series.FirstDrawIndex, 1);
    EXPECT_EQ(At(5, 50), gap ? clBlack : clRed) << gap;  // between the edge and x = 2
    EXPECT_EQ(At(40, 50), clRed) << gap;                 // between x = 2 and x = 6
  }
}

TEST_F(PlainChart, GapPointsInterruptTheLine) {
  series.AddPoint(1, 50);
  series.AddPoint(3, 50);
  series.AddPoint(5, 50, "", clNone);
  series.AddPoint(7, 50);
  series.AddPoint(9, 50);
  chart.Refresh();
  EXPECT_EQ(At(15, 50), clRed);
  EXPECT_EQ(At(40, 50), clBlack);  // into the gap
  EXPECT_EQ(At(60, 50), clBlack);  // out of the gap
  EXPECT_EQ(At(80, 50), clRed);
}

TEST_F(PlainChart, FirstPointPastTheRightEdgeIsDrawnToAndLaterOnesAreNotVisited) {
  series.AddPoint(5, 50);
  series.AddPoint(15, 50);
  series.AddPoint(20, 90);
  chart.Refresh();
  EXPECT_EQ(series.LastDrawIndex, 1);
  EXPECT_EQ(At(98, 50), clRed);
  EXPECT_EQ(At(99, 50), clRed);  // the clip keeps the right column of the rectangle
}

TEST_F(PlainChart, PointsOutsideThePixelGuardAreLeftOutAndTheLineJoinsTheirNeighbours) {
  series.AddPoint(2, 50);
  series.AddPoint(5, 1e9);
  series.AddPoint(8, 50);
  chart.Refresh();
  EXPECT_EQ(At(50, 50), clRed);
  EXPECT_EQ(At(50, 10), clBlack);
}

TEST_F(PlainChart, SameColumnPointsDrawVerticalStrokes) {
  series.AddPoint(5, 10);
  series.AddPoint(5, 90);
  series.AddPoint(5, 40);
  chart.Refresh();
  for (std::int32_t y = 11; y <= 89; ++y) EXPECT_EQ(At(50, y), clRed) << y;
  EXPECT_EQ(At(51, 50), clBlack);
}

TEST_F(PlainChart, HiddenPenLeavesNoPixelUntilShownAgain) {
  series.AddPoint(1, 20);
  series.AddPoint(9, 80);
  series.LinePen.SetVisible(false);
  series.LinePen.SetWidth(2);
  chart.Refresh();
  EXPECT_EQ(CountRed(), 0);
  series.LinePen.SetVisible(true);
  chart.Refresh();
  EXPECT_GT(CountRed(), 0);
}

TEST_F(PlainChart, InactiveSeriesIsNotDrawn) {
  series.AddPoint(1, 20);
  series.AddPoint(9, 80);
  series.SetActive(false);
  chart.Refresh();
  EXPECT_EQ(CountRed(), 0);
}

}  // namespace
