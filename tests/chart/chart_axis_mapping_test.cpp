#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "chart/axis_panel.h"
#include "chart/chart_math.h"
#include "test_chart.h"

using namespace ninetrace;

namespace {

struct MappingRow {
  const char* name;
  TAxisKind axis;
  double value;
  std::int32_t pixel;
};

void PrintTo(const MappingRow& row, std::ostream* os) { *os << row.name; }

class MainChartMapping : public ::testing::TestWithParam<MappingRow> {};

TEST_P(MainChartMapping, ValueToPixel) {
  TCustomAxisPanel chart;
  ninetrace::testing::LayOutLikeMainChart(chart);
  const MappingRow& row = GetParam();
  const TChartAxis& axis = chart.Axis(static_cast<std::size_t>(row.axis));
  EXPECT_EQ(axis.ValueToPixel(row.value), row.pixel);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MainChartMapping,
    ::testing::Values(MappingRow{"bottom_zero", TAxisKind::Bottom, 0, 2},
                      MappingRow{"bottom_middle", TAxisKind::Bottom, 5, 501},
                      MappingRow{"bottom_last_record", TAxisKind::Bottom, 9.99, 999},
                      MappingRow{"bottom_end", TAxisKind::Bottom, 10, 1000},
                      MappingRow{"bottom_left_of_range", TAxisKind::Bottom, -0.01, 1},
                      MappingRow{"bottom_seven", TAxisKind::Bottom, 7, 701},
                      MappingRow{"bottom_three", TAxisKind::Bottom, 3, 301},
                      MappingRow{"left_minimum", TAxisKind::Left, -1, 703},
                      MappingRow{"left_zero", TAxisKind::Left, 0, 700},
                      MappingRow{"left_254", TAxisKind::Left, 254, 5},
                      MappingRow{"left_maximum", TAxisKind::Left, 255, 2},
                      MappingRow{"left_full_scale", TAxisKind::Left, 255.75, 0},
                      MappingRow{"left_d1_low", TAxisKind::Left, 170, 235},
                      MappingRow{"top_any_value", TAxisKind::Top, 1234, 501},
                      MappingRow{"right_any_value", TAxisKind::Right, -7, 352}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AxisMapping, HalvesRoundToTheEvenNeighbour) {
  TCustomAxisPanel chart;
  TChartAxis& axis = chart.BottomAxis();
  axis.SetRange(0, 1);
  axis.FixScale();
  axis.UpdatePixelRange({10, 0, 13, 100});
  EXPECT_EQ(axis.ValueToPixel(0.5), 12);  // 1.5 -> 2
  axis.UpdatePixelRange({10, 0, 15, 100});
  EXPECT_EQ(axis.ValueToPixel(0.5), 12);  // 2.5 -> 2
  EXPECT_EQ(RoundEven(49.5L), 50);
  EXPECT_EQ(RoundEven(24.75L), 25);
  EXPECT_EQ(RoundEven(-0.5L), 0);
}

// The format fixes the grouping by three and the places of the separators; a locale only names
// the separators (German: point and comma; French: narrow no-break space and comma). The digits
// themselves never follow the locale: a decimal comma once left "10," and "123,4,5" behind.
TEST(AxisLabels, TextGroupsThousandsAndKeepsUpToThreeDecimals) {
  const TNumberSeparators english, german{".", ","}, french{QString::fromUtf8("\u202F"), ","};
  const struct {
    const TNumberSeparators& separators;
    double value;
    const char* text;
  } rows[] = {{english, 10, "10"}, {english, 999, "999"}, {english, 1234.5, "1,234.5"}, {english, -1234.5, "-1,234.5"},
              {english, 1234567, "1,234,567"}, {english, 2.125, "2.125"}, {english, 0.0004, "0"},
              {english, -0.0004, "0"}, {english, 255.75, "255.75"},
              {german, 10, "10"}, {german, 100, "100"}, {german, 1234.5, "1.234,5"}, {german, -1234.5, "-1.234,5"},
              {german, 1234567, "1.234.567"}, {german, 2.125, "2,125"}, {german, -0.0004, "0"},
              {french, 1234567.25, "1\u202F234\u202F567,25"}, {french, 10, "10"}, {french, 0.5, "0,5"}};
  for (const auto& row : rows)
    EXPECT_EQ(FormatAxisValue(row.value, row.separators).toStdString(), row.text)
        << row.value << " with " << row.separators.Decimal.toStdString();

  // An axis writes its labels with the process's numeric locale; C has no thousands separator
  // of its own and keeps the format's comma, so the default labels stay as they always were.
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* plain : {"C", "C.UTF-8"}) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, plain), nullptr) << plain;
    TCustomAxisPanel chart;
    EXPECT_EQ(chart.BottomAxis().LabelText(1234567.5).toStdString(), "1,234,567.5") << plain;
  }
  // Where a German locale is installed, it gives its own separators to the same call.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    TCustomAxisPanel chart;
    EXPECT_EQ(chart.BottomAxis().LabelText(1234567.5).toStdString(), "1.234.567,5");
  }
  std::setlocale(LC_NUMERIC, before.c_str());
}

TEST(AxisMapping, InvertedAxesMapFromTheOtherEnd) {
  TCustomAxisPanel chart;
  ninetrace::testing::LayOutLikeMainChart(chart);
  chart.BottomAxis().SetInverted(true);
  chart.LeftAxis().SetInverted(true);
  EXPECT_EQ(chart.BottomAxis().ValueToPixel(0), 1000);
  EXPECT_EQ(chart.BottomAxis().ValueToPixel(10), 2);
  EXPECT_EQ(chart.LeftAxis().ValueToPixel(-1), 2);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().PixelToValue(1000), 0);
}

TEST(AxisMapping, PixelToValueAndDegenerateAxes) {
  TCustomAxisPanel chart;
  ninetrace::testing::LayOutLikeMainChart(chart);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().PixelToValue(2), 0);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().PixelToValue(1000), 10);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().PixelToValue(501), 5);
  EXPECT_DOUBLE_EQ(chart.LeftAxis().PixelToValue(703), -1);
  EXPECT_DOUBLE_EQ(chart.LeftAxis().PixelToValue(2), 255);

  TChartAxis& axis = chart.BottomAxis();
  axis.UpdatePixelRange({5, 0, 5, 10});  // zero pixels wide
  EXPECT_EQ(axis.PixelToValue(300), 0);
  EXPECT_EQ(axis.ValueToPixel(1e300), 5);  // beyond the pixel guard: the centre
}

TEST(AxisMapping, SetRangeOrdersEndsAndKeepsAMinimumWidth) {
  TCustomAxisPanel chart;
  TChartAxis& axis = chart.BottomAxis();
  axis.SetRange(6, 1);
  EXPECT_EQ(axis.Minimum(), 1);
  EXPECT_EQ(axis.Maximum(), 6);
  EXPECT_FALSE(axis.Automatic());
  axis.SetRange(3, 3);
  EXPECT_EQ(axis.Minimum(), 3);
  EXPECT_DOUBLE_EQ(axis.Maximum(), 3 + 1e-10);
  const auto repaints = chart.InvalidateCount();
  axis.SetRange(3, 3 + 1e-10);
  EXPECT_EQ(chart.InvalidateCount(), repaints);
}

TEST(ChartMath, MulDivRoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(3, 400, 100), 12);
  EXPECT_EQ(MulDiv(4, 250, 100), 10);
  EXPECT_EQ(MulDiv(3, 250, 100), 8);   // 7.5 -> 8
  EXPECT_EQ(MulDiv(-3, 250, 100), -8);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // the product needs 64 bits
}

}  // namespace
