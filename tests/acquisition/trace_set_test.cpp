#include "acquisition/trace_set.h"

#include <gtest/gtest.h>

#include "chart/axis_panel.h"

using namespace ninetrace;

namespace {

TEST(TraceSet, NineSeriesInTraceOrderWithNamesTitlesColoursAndAxes) {
  TCustomAxisPanel chart;
  chart.SetColor(clBlack);
  TTraceSet traces(chart);
  ASSERT_EQ(chart.SeriesCount(), 9);
  const char* titles[] = {"1", "2", "3", "4", "5", "d1", "d2", "d3", "d4"};
  const TColor colours[] = {clRed, clYellow, clLime, 16750080, 13158600, 9869035, 6610140, 9889430, 16425120};
  for (int t = 0; t < 9; ++t) {
    TChartSeries* s = chart.Series(t);
    EXPECT_EQ(s, &traces[static_cast<std::size_t>(t)]);
    EXPECT_EQ(s->Title(), titles[t]);
    EXPECT_EQ(s->SeriesColor(), colours[t]) << t;
    EXPECT_EQ(s->XValues.Order, loAscending);
    EXPECT_EQ(s->YValues.Order, loNone);
    EXPECT_TRUE(s->AssociatedWith(&chart.BottomAxis()));
    EXPECT_EQ(s->AssociatedWith(&chart.TopAxis()), t < 7) << t;
    EXPECT_TRUE(s->AssociatedWith(&chart.LeftAxis()));
    EXPECT_FALSE(s->AssociatedWith(&chart.RightAxis()));
  }
  EXPECT_EQ(chart.Series(5)->Name, "SeriesD1");
}

TEST(TraceSet, PlottingAddsOnePointPerTraceAndNeverReplaces) {
  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TPageBuffer page{};
  const std::uint8_t second[RecordSize] = {10, 20, 30, 40, 50, 0xFF, 0x0F};
  std::copy(std::begin(second), std::end(second), page.begin() + RecordSize);

  traces.PlotRecord(page, 1, 7);
  traces.PlotRecord(page, 1, 7);
  traces.PlotRecord(page, 0, 999);
  const double expected[] = {10.75, 20.75, 30.75, 40.75, 50, 178, 161, 144, 127};
  for (std::size_t t = 0; t < TraceCount; ++t) {
    ASSERT_EQ(traces[t].PointCount(), 3);
    EXPECT_DOUBLE_EQ(traces[t].XAt(0), 0.07);
    EXPECT_EQ(traces[t].YAt(1), expected[t]);
    EXPECT_DOUBLE_EQ(traces[t].XAt(2), 9.99);
  }
  traces.Clear();
  for (std::size_t t = 0; t < TraceCount; ++t) EXPECT_EQ(traces[t].PointCount(), 0);
}

}  // namespace
