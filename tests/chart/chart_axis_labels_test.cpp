// Axis label values and texts: ranges the loops must survive, the step on charts of other
// sizes, the label guard, and label texts of any magnitude.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/chart_errors.h"
#include "chart/custom_series.h"

using namespace ninetrace;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A chart with default axes and one series on the bottom and left axes, so both label.
struct LabelledChart {
  TChart chart;
  TLineSeries series;
  explicit LabelledChart(std::int32_t width, std::int32_t height = 300) {
    chart.SetSize(width, height);
    chart.SetView3D(false);
    series.SetParentChart(&chart);
  }
};

struct RejectRow {
  const char* name;
  std::function<void(TChartAxis&)> set;
};

void PrintTo(const RejectRow& row, std::ostream* os) { *os << row.name; }

class NonFiniteRange : public ::testing::TestWithParam<RejectRow> {};

TEST_P(NonFiniteRange, IsRejectedAndTheOldRangeStays) {
  TChart chart;
  TChartAxis& axis = chart.BottomAxis();
  axis.SetRange(2, 8);
  const auto repaints = chart.InvalidateCount();
  EXPECT_THROW(GetParam().set(axis), AxisException);
  EXPECT_EQ(axis.Minimum(), 2);
  EXPECT_EQ(axis.Maximum(), 8);
  EXPECT_EQ(chart.InvalidateCount(), repaints);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NonFiniteRange,
    ::testing::Values(RejectRow{"maximum_infinite", [](TChartAxis& a) { a.SetMaximum(kInf); }},
                      RejectRow{"maximum_nan", [](TChartAxis& a) { a.SetMaximum(kNaN); }},
                      RejectRow{"minimum_minus_infinite", [](TChartAxis& a) { a.SetMinimum(-kInf); }},
                      RejectRow{"minimum_nan", [](TChartAxis& a) { a.SetMinimum(kNaN); }},
                      RejectRow{"range_to_nan", [](TChartAxis& a) { a.SetRange(0, kNaN); }},
                      RejectRow{"range_from_nan", [](TChartAxis& a) { a.SetRange(kNaN, 1); }},
                      RejectRow{"range_infinite", [](TChartAxis& a) { a.SetRange(-kInf, kInf); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NonFiniteZoom, IsDroppedWholeAndTakesNoSnapshot) {
  TChart chart;
  chart.BottomAxis().SetRange(0, 10);
  int zooms = 0;
  chart.OnZoom = [&](TChart*) { ++zooms; };
  chart.ApplyZoom(0, 1, 0, 1, 0, 1, 2, kInf);
  EXPECT_EQ(chart.BottomAxis().Maximum(), 10);
  EXPECT_EQ(chart.LeftAxis().Maximum(), 0);
  EXPECT_TRUE(chart.ScalesRestored());
  EXPECT_EQ(zooms, 0);
}

struct RangeRow {
  const char* name;
  double minimum, maximum;
  std::int32_t width;
  bool horizontal;
};

void PrintTo(const RangeRow& row, std::ostream* os) { *os << row.name; }

class DrawingEnds : public ::testing::TestWithParam<RangeRow> {};

// Each of these once kept the label loop going forever.
TEST_P(DrawingEnds, OnRangesWhereSubtractingTheStepChangesNothing) {
  const RangeRow& row = GetParam();
  LabelledChart c(row.width, row.horizontal ? 300 : row.width);
  TChartAxis& axis = row.horizontal ? c.chart.BottomAxis() : c.chart.LeftAxis();
  axis.SetRange(row.minimum, row.maximum);
  c.chart.Refresh();
  EXPECT_EQ(c.chart.FramesDrawn(), 1);
  const std::vector<std::int32_t>& ticks = axis.TickList();
  EXPECT_LE(ticks.size(), 40u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrawingEnds,
    ::testing::Values(RangeRow{"tiny_range_at_1e9_on_2000_pixels", 1e9, 1e9 + 3e-7, 2000, true},
                      RangeRow{"tiny_range_at_1e9_vertical", 1e9, 1e9 + 3e-7, 2000, false},
                      RangeRow{"tiny_range_at_minus_1e15", -1e15, -1e15 + 1e-3, 1500, true},
                      RangeRow{"range_wider_than_a_double", -1e308, 1e308, 1000, true},
                      RangeRow{"huge_values", 1e300, 3e300, 1000, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct StepRow {
  const char* name;
  std::int32_t pixels;  // the axis' pixel size
  double increment;
  std::int32_t separation;
  double step;
};

void PrintTo(const StepRow& row, std::ostream* os) { *os << row.name; }

class LabelStep : public ::testing::TestWithParam<StepRow> {};

// The bottom axis 0 .. 10: its widest label "10" is 11 to 14 pixels in 8-point Arial, which
// every row allows for; narrower axes hold fewer labels and the step grows 1, 2, 5, 10.
TEST_P(LabelStep, GrowsUntilTheLabelsFitTheAxis) {
  const StepRow& row = GetParam();
  TChart chart;
  TChartAxis& axis = chart.BottomAxis();
  axis.SetRange(0, 10);
  axis.SetIncrement(row.increment);
  axis.SetLabelsSeparation(row.separation);
  axis.FixScale();
  axis.UpdatePixelRange({0, 0, row.pixels, 100});
  EXPECT_DOUBLE_EQ(axis.LabelStep(chart.Canvas()), row.step);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LabelStep,
    ::testing::Values(StepRow{"main_chart_width", 998, 1, 10, 1}, StepRow{"no_increment_wide", 998, 0, 10, 1},
                      StepRow{"a_hundred_pixels", 98, 1, 10, 2}, StepRow{"forty_five_pixels", 45, 1, 10, 5},
                      StepRow{"twelve_pixels", 12, 1, 10, 10}, StepRow{"too_narrow_for_one_label", 5, 1, 10, 1e-12},
                      StepRow{"increment_that_fits_stays", 98, 3, 10, 3},
                      StepRow{"no_separation_keeps_any_increment", 98, 0.5, 0, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

struct GuardRow {
  const char* name;
  double increment;
  std::size_t ticks;
};

void PrintTo(const GuardRow& row, std::ostream* os) { *os << row.name; }

class LabelGuard : public ::testing::TestWithParam<GuardRow> {};

// The main chart's left axis (-1 .. 255, no label separation, so the increment is the step).
TEST_P(LabelGuard, TenThousandLabelsWorthDrawsNoneAndTheTickListStaysBounded) {
  LabelledChart c(1000, 713);
  TChartAxis& left = c.chart.LeftAxis();
  left.SetRange(-1, 255);
  left.SetLabelsSeparation(0);
  left.SetTickOnLabelsOnly(false);
  left.SetLabels(false);
  left.SetIncrement(GetParam().increment);
  c.chart.Refresh();
  EXPECT_EQ(left.TickList().size(), GetParam().ticks);
}

INSTANTIATE_TEST_SUITE_P(Rows, LabelGuard,
                         ::testing::Values(GuardRow{"main_chart_step", 17, 16}, GuardRow{"25600_labels", 0.01, 0},
                                           GuardRow{"10000_labels", 0.0256, 0},
                                           GuardRow{"9961_labels_fill_the_list", 0.0257, TChartAxis::MaxTicks}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AxisLabelText, AnyMagnitudeIsWrittenInFull) {
  const QString big = FormatAxisValue(1e300);
  QString digits = big;
  digits.remove(',');
  EXPECT_EQ(digits.size(), 301);
  EXPECT_TRUE(big.startsWith("1,000,000,000,000,000,052,504"));
  EXPECT_EQ(digits.toDouble(), 1e300);
  EXPECT_EQ(FormatAxisValue(-1.5e70).remove(',').toDouble(), -1.5e70);
  EXPECT_EQ(FormatAxisValue(1234.5), "1,234.5");
  EXPECT_EQ(FormatAxisValue(-0.0001), "0");
}

}  // namespace
