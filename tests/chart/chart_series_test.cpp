#include "chart/chart_series.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "chart/axis_panel.h"
#include "chart/custom_series.h"
#include "test_chart.h"

using namespace ninetrace;

namespace {

struct SeriesFixture : ::testing::Test {
  TCustomAxisPanel chart;
  TLineSeries series;
  SeriesFixture() {
    chart.SetColor(clBlack);
    series.SetParentChart(&chart);
  }
  std::int64_t Repaints() const { return chart.InvalidateCount(); }
};

TEST_F(SeriesFixture, EqualXKeepsArrivalOrderOfY) {
  for (double y : {10.0, 20.0, 30.0}) series.AddPoint(1.0, y);
  EXPECT_EQ(series.AddPoint(1.0, 40), 3);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(series.YAt(i), 10.0 * (i + 1));
}

TEST_F(SeriesFixture, OutOfOrderXCarriesYColourAndLabelToTheSameIndex) {
  const double xs[] = {2, 3, 1, 3, 2.5};
  const TColor colours[] = {clRed, clDefault, clBlue, clNone, clDefault};
  const char* labels[] = {"a", "", "c", "", "e"};
  std::vector<std::int32_t> indices;
  for (int i = 0; i < 5; ++i) indices.push_back(series.AddPoint(xs[i], 100 + i, labels[i], colours[i]));
  EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 0, 3, 2}));

  // x: 1, 2, 2.5, 3, 3 came from arrivals 2, 0, 4, 1, 3.
  const int arrival[] = {2, 0, 4, 1, 3};
  for (int i = 0; i < 5; ++i) {
    const int a = arrival[i];
    EXPECT_EQ(series.XAt(i), xs[a]) << i;
    EXPECT_EQ(series.YAt(i), 100 + a) << i;
    EXPECT_EQ(series.PointLabel(i), labels[a]) << i;
    EXPECT_EQ(series.PointColor(i), colours[a] == clDefault ? series.SeriesColor() : colours[a]) << i;
  }
  EXPECT_TRUE(series.IsGap(4));
  EXPECT_EQ(series.PointColors().Count(), 5);
  EXPECT_EQ(series.PointLabels().Count(), 5);
}

TEST_F(SeriesFixture, BeforeAddHookCanChangeThePendingValuesOrVetoThePoint) {
  series.OnBeforeAdd = [](TChartSeries* s) {
    s->XValues.PendingValue += 1;
    s->YValues.PendingValue *= 2;
    return s->YValues.PendingValue < 100;
  };
  std::vector<std::int32_t> afterAdd;
  series.OnAfterAdd = [&](TChartSeries*, std::int32_t index) { afterAdd.push_back(index); };

  EXPECT_EQ(series.AddPoint(5, 7), 0);
  EXPECT_EQ(series.XAt(0), 6);
  EXPECT_EQ(series.YAt(0), 14);

  const auto repaints = Repaints();
  EXPECT_EQ(series.AddPoint(1, 60), -1);
  EXPECT_EQ(series.PointCount(), 1);
  EXPECT_EQ(series.PointColors().Count(), 1);
  EXPECT_EQ(Repaints(), repaints);
  EXPECT_EQ(afterAdd, (std::vector<std::int32_t>{0}));
}

TEST_F(SeriesFixture, ClearEmptiesAllListsReleasesStorageAndAlwaysNotifies) {
  int cleared = 0;
  series.OnClearValues = [&](TChartSeries*) { ++cleared; };
  auto repaints = Repaints();
  series.Clear();  // already empty: still told and still repaints
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(Repaints(), repaints + 1);

  for (int i = 0; i < 1000; ++i) series.AddPoint(i, i, i % 2 ? "odd" : "", i % 3 ? clDefault : clRed);
  series.Clear();
  EXPECT_EQ(cleared, 2);
  EXPECT_EQ(series.PointCount(), 0);
  EXPECT_EQ(series.XValues.Capacity(), 0);
  EXPECT_EQ(series.YValues.Capacity(), 0);
  EXPECT_EQ(series.PointColors().Count(), 0);
  EXPECT_EQ(series.PointColors().Capacity(), 0);
  EXPECT_EQ(series.PointLabels().Capacity(), 0);
}

TEST_F(SeriesFixture, DefaultPointsTakeNoColourOrLabelStorage) {
  for (int i = 0; i < 1000; ++i) series.AddPoint(i * 0.01, i);
  EXPECT_FALSE(series.PointColors().IsMaterialized());
  EXPECT_FALSE(series.PointLabels().IsMaterialized());
  series.AddPoint(5.005, 1, "late", clRed);  // lands in the middle: entries must line up
  EXPECT_EQ(series.PointColor(501), clRed);
  EXPECT_EQ(series.PointLabel(501), "late");
  EXPECT_EQ(series.PointColor(500), series.SeriesColor());
  EXPECT_EQ(series.PointLabel(1000), "");
  EXPECT_EQ(series.PointLabel(5000), "");
}

TEST_F(SeriesFixture, DefaultColouredPointsFollowTheSeriesColourAndThePalette) {
  series.AddPoint(0, 0);
  series.AddPoint(1, 0, "", clAqua);
  series.SetSeriesColor(clLime);
  EXPECT_EQ(series.PointColor(0), clLime);
  EXPECT_EQ(series.PointColor(1), clAqua);
  EXPECT_EQ(series.PointColor(7), clLime);  // past the end

  series.SetColorEachPoint(true);
  EXPECT_EQ(series.PointColor(0), SeriesPalette[0]);
  EXPECT_EQ(series.PointColor(1), clAqua);
  series.SetColorEachPoint(false);  // also resets every entry to the default
  EXPECT_EQ(series.PointColor(1), clLime);
}

TEST_F(SeriesFixture, SettersRepaintOnlyOnChange) {
  auto repaints = Repaints();
  series.SetTitle("1");
  series.SetTitle("1");
  series.SetSeriesColor(series.SeriesColor());
  series.SetActive(true);
  series.XValues.SetMultiplier(1);
  EXPECT_EQ(Repaints(), repaints + 1);
  series.SetHorizAxis(aTopAxis);
  EXPECT_EQ(series.PlotHorizAxis(), &chart.TopAxis());
  EXPECT_EQ(Repaints(), repaints + 2);
}

// The line series' own drawing settings behave as every other property: a new value is stored
// and asks for one repaint; the same value again asks for none.
TEST_F(SeriesFixture, LineSettingsRepaintOnlyOnChange) {
  struct Row {
    const char* name;
    std::function<void(TLineSeries&)> set;
    std::function<bool(const TLineSeries&)> stored;
  };
  const std::vector<Row> rows = {
      {"Stairs", [](TLineSeries& s) { s.SetStairs(true); }, [](const TLineSeries& s) { return s.Stairs(); }},
      {"InvertedStairs", [](TLineSeries& s) { s.SetInvertedStairs(true); }, [](const TLineSeries& s) { return s.InvertedStairs(); }},
      {"LineHeight", [](TLineSeries& s) { s.SetLineHeight(7); }, [](const TLineSeries& s) { return s.LineHeight() == 7; }},
      {"Pointer.Visible", [](TLineSeries& s) { s.Pointer.SetVisible(true); }, [](const TLineSeries& s) { return s.Pointer.Visible(); }},
      {"Pointer.InflateMargins", [](TLineSeries& s) { s.Pointer.SetInflateMargins(false); },
       [](const TLineSeries& s) { return !s.Pointer.InflateMargins(); }},
      {"Pointer.HorizSize", [](TLineSeries& s) { s.Pointer.SetHorizSize(6); }, [](const TLineSeries& s) { return s.Pointer.HorizSize() == 6; }},
      {"Pointer.VertSize", [](TLineSeries& s) { s.Pointer.SetVertSize(6); }, [](const TLineSeries& s) { return s.Pointer.VertSize() == 6; }},
  };
  for (const Row& row : rows) {
    TLineSeries line;
    line.SetParentChart(&chart);
    const auto repaints = Repaints();
    row.set(line);
    EXPECT_TRUE(row.stored(line)) << row.name;
    EXPECT_EQ(Repaints(), repaints + 1) << row.name << ": a change asks for one repaint";
    row.set(line);
    EXPECT_EQ(Repaints(), repaints + 1) << row.name << ": the same value again asks for none";
    line.SetParentChart(nullptr);
  }
}

TEST_F(SeriesFixture, InactiveSeriesStoresPointsWithoutRepaintRequests) {
  series.SetActive(false);
  const auto repaints = Repaints();
  series.AddPoint(1, 1);
  series.Clear();
  EXPECT_EQ(Repaints(), repaints);
}

TEST_F(SeriesFixture, AxisResolutionAndAssociation) {
  EXPECT_EQ(series.PlotHorizAxis(), &chart.BottomAxis());
  EXPECT_EQ(series.PlotVertAxis(), &chart.LeftAxis());
  EXPECT_FALSE(series.AssociatedWith(&chart.TopAxis()));
  series.SetHorizAxis(aBothHorizAxis);
  EXPECT_EQ(series.PlotHorizAxis(), &chart.BottomAxis());
  EXPECT_TRUE(series.AssociatedWith(&chart.TopAxis()));
  EXPECT_TRUE(series.AssociatedWith(&chart.BottomAxis()));
  EXPECT_FALSE(series.AssociatedWith(&chart.RightAxis()));
  series.SetVertAxis(aRightAxis);
  EXPECT_EQ(series.PlotVertAxis(), &chart.RightAxis());
  series.SetVertAxis(aCustomVertAxis);  // no custom axis set: falls back to the left one
  EXPECT_EQ(series.PlotVertAxis(), &chart.LeftAxis());
  series.SetParentChart(nullptr);
  EXPECT_EQ(series.PlotHorizAxis(), nullptr);
}

TEST(SeriesAttachment, FreeColourSkipsUsedChartAndWallColours) {
  TCustomAxisPanel chart;
  chart.SetColor(clRed);  // palette entry 0 is the chart's own colour
  TLineSeries a, b, c;
  a.SetParentChart(&chart);
  EXPECT_EQ(a.SeriesColor(), clGreen);
  b.SetSeriesColor(clYellow);
  b.SetParentChart(&chart);
  EXPECT_EQ(b.SeriesColor(), clYellow);  // keeps its own colour
  c.SetParentChart(&chart);
  EXPECT_EQ(c.SeriesColor(), clBlue);
  EXPECT_EQ(chart.SeriesCount(), 3);
  EXPECT_EQ(chart.Series(2), &c);
}

TEST(SeriesAttachment, DetachingAndDestructionKeepTheListConsistent) {
  auto chart = std::make_unique<TCustomAxisPanel>();
  TLineSeries kept;
  {
    TLineSeries gone;
    kept.SetParentChart(chart.get());
    gone.SetParentChart(chart.get());
    gone.SetParentChart(chart.get());  // once only
    EXPECT_EQ(chart->SeriesCount(), 2);
  }
  EXPECT_EQ(chart->SeriesCount(), 1);
  chart.reset();  // lets go of the series still attached
  EXPECT_EQ(kept.ParentChart(), nullptr);
  EXPECT_EQ(kept.PlotHorizAxis(), nullptr);
}

struct DrawRangeRow {
  const char* name;
  std::vector<double> xs;
  bool extendPastEdge;
  std::int32_t first, last;
};

void PrintTo(const DrawRangeRow& row, std::ostream* os) { *os << row.name; }

class ComputeDrawRangeTest : public ::testing::TestWithParam<DrawRangeRow> {};

TEST_P(ComputeDrawRangeTest, AgainstEdgesZeroAndTen) {
  const DrawRangeRow& row = GetParam();
  TCustomAxisPanel chart;
  TChartSeries series;
  series.ExtendPastEdge = row.extendPastEdge;
  series.SetParentChart(&chart);
  ninetrace::testing::LayOutLikeMainChart(chart, {0, 0, 1000, 700});
  for (double x : row.xs) series.AddPoint(x, 0);
  series.ComputeDrawRange();
  EXPECT_EQ(series.FirstDrawIndex, row.first);
  EXPECT_EQ(series.LastDrawIndex, row.last);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ComputeDrawRangeTest,
    ::testing::Values(DrawRangeRow{"empty", {}, true, -1, -1},
                      DrawRangeRow{"zero_to_twelve", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true, 0, 10},
                      DrawRangeRow{"starts_left", {-2, -1, 0, 1, 2, 3, 4, 5}, true, 2, 7},
                      DrawRangeRow{"all_left", {-3, -2, -1}, true, -1, -1},
                      DrawRangeRow{"first_past_edge_kept", {0, 4, 12, 20}, true, 0, 2},
                      DrawRangeRow{"first_past_edge_dropped", {0, 4, 12, 20}, false, 0, 1},
                      DrawRangeRow{"page_of_points", {0, 0.01, 9.98, 9.99}, true, 0, 3},
                      DrawRangeRow{"all_past_right", {11, 12}, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComputeDrawRange, UnorderedXDrawsEveryPoint) {
  TCustomAxisPanel chart;
  TLineSeries series;
  series.SetParentChart(&chart);
  ninetrace::testing::LayOutLikeMainChart(chart, {0, 0, 1000, 700});
  series.XValues.Order = loNone;
  for (double x : {-5.0, 20.0, 3.0}) series.AddPoint(x, 0);
  series.ComputeDrawRange();
  EXPECT_EQ(series.FirstDrawIndex, 0);
  EXPECT_EQ(series.LastDrawIndex, 2);
}

}  // namespace
