// The main chart as configured for the nine traces, drawn at its real size (1000 x 713):
// the numbers here are the layout the person sees.
#include "acquisition/trace_chart.h"

#include <gtest/gtest.h>

#include <QImage>

#include <array>
#include <cstdlib>
#include <vector>

#include "acquisition/trace_set.h"
#include "chart/chart.h"

using namespace ninetrace;

namespace {

struct MainChart : ::testing::Test {
  TChart chart;
  TTraceSet traces{chart};
  MainChart() {
    ConfigureTraceChart(chart);
    chart.SetSize(1000, 713);
  }
  const TRasterImage& Frame() {
    chart.Refresh();
    return chart.Canvas().OffscreenImage();
  }
  // 0x00BBGGRR at (x, y) of the last frame.
  TColor At(std::int32_t x, std::int32_t y) { return chart.Canvas().OffscreenImage().PixelColor(x, y); }
  void PlotPage(const std::vector<std::uint8_t>& record) {
    TPageBuffer page{};
    for (std::size_t r = 0; r < RecordsPerPage; ++r) std::copy(record.begin(), record.end(), page.begin() + r * RecordSize);
    for (std::size_t r = 0; r < RecordsPerPage; ++r) traces.PlotRecord(page, r, static_cast<std::int64_t>(r));
  }
};

TEST_F(MainChart, LayoutGivesTheChartRectangleAndAxisRanges) {
  Frame();
  EXPECT_EQ(chart.ChartRect, (TRect{2, 2, 1000, 703}));
  EXPECT_EQ(chart.BottomAxis().LabelsPos, 705);
  EXPECT_EQ(chart.BottomAxis().PixelStart, 2);
  EXPECT_EQ(chart.BottomAxis().PixelEnd, 1000);
  EXPECT_EQ(chart.LeftAxis().PixelStart, 2);
  EXPECT_EQ(chart.LeftAxis().PixelEnd, 703);
  EXPECT_TRUE(chart.IsAxisShown(chart.TopAxis()));
  EXPECT_FALSE(chart.IsAxisShown(chart.RightAxis()));
  EXPECT_FALSE(chart.IsAxisShown(chart.DepthAxis()));

  chart.SetSize(640, 480);  // the same settings on another size
  Frame();
  EXPECT_EQ(chart.ChartRect, (TRect{2, 2, 640, 470}));
}

TEST_F(MainChart, BevelAndBlackBackground) {
  Frame();
  EXPECT_EQ(At(0, 300), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(500, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(999, 300), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(500, 712), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(0, 712), ColorToRGB(clBtnShadow));  // the bottom-right colour is drawn last there
  EXPECT_EQ(At(300, 300), clBlack);
}

TEST_F(MainChart, AxisLinesCoverTheBackWallOutline) {
  Frame();
  for (std::int32_t x : {3, 500, 999}) {
    EXPECT_EQ(At(x, 703), clBlack) << x;  // bottom axis, two pixels
    EXPECT_EQ(At(x, 702), clBlack) << x;
    EXPECT_EQ(At(x, 1), clBlack) << x;    // top axis, two pixels
  }
  // The left axis' grid line at y = 2 is drawn last, every other pixel over the top axis.
  EXPECT_EQ(At(3, 2), clBlack);
  EXPECT_EQ(At(4, 2), clGray);
  for (std::int32_t y : {3, 300, 701}) EXPECT_EQ(At(2, y), clBlack) << y;  // left axis, one pixel
  EXPECT_NE(At(3, 300), clSilver);

  // Without axes the silver outline shows, inclusive of the rectangle's right and bottom pixels.
  chart.SetAxisVisible(false);
  Frame();
  EXPECT_EQ(chart.ChartRect, (TRect{0, 0, 1000, 713}));
  EXPECT_EQ(At(0, 300), clSilver);
  EXPECT_EQ(At(500, 0), clSilver);
  EXPECT_EQ(At(500, 1), clBlack);
}

TEST_F(MainChart, GridLinesAreAlternatePixelsAtTheTicks) {
  Frame();
  const std::vector<std::int32_t> bottomTicks{1000, 900, 800, 701, 601, 501, 401, 301, 202, 102, 2};
  EXPECT_EQ(chart.BottomAxis().TickList(), bottomTicks);
  const std::vector<std::int32_t> leftTicks{2, 49, 95, 142, 188, 235, 281, 328, 374, 421, 468, 514, 561, 607, 654, 700};
  EXPECT_EQ(chart.LeftAxis().TickList(), leftTicks);
  EXPECT_EQ(chart.TopAxis().TickList(), std::vector<std::int32_t>{501});

  // Vertical grid at x = 900 from y = 2: every other pixel, starting on the first.
  EXPECT_EQ(At(900, 4), clGray);
  EXPECT_EQ(At(900, 5), clBlack);
  EXPECT_EQ(At(900, 700), clGray);
  EXPECT_EQ(At(901, 4), clBlack);
  // Horizontal grid at y = 235 (where D1 rests) from x = 2.
  EXPECT_EQ(At(4, 235), clGray);
  EXPECT_EQ(At(5, 235), clBlack);
  EXPECT_EQ(At(998, 235), clGray);
  EXPECT_EQ(At(500, 236), clBlack);
}

TEST_F(MainChart, TopAxisDrawsOneDottedGridLineAtTheCentre) {
  Frame();
  // x = 501 carries both the bottom axis' alternate line and the top axis' dotted one,
  // so it has more grey than any other grid column.
  int at501 = 0, at601 = 0;
  for (std::int32_t y = 3; y < 702; ++y) {
    at501 += At(501, y) == clGray;
    at601 += At(601, y) == clGray;
  }
  EXPECT_GT(at501, at601);
}

TEST_F(MainChart, ThirtyMinorTicksUnderTheBottomAxis) {
  Frame();
  const std::vector<std::int32_t> minor{925, 950, 975, 825, 850, 875, 726, 751, 775, 626, 651, 676, 526, 551, 576,
                                        426, 451, 476, 326, 351, 376, 227, 252, 276, 127, 152, 177, 27, 52, 77};
  for (std::int32_t x : minor) {
    EXPECT_EQ(At(x, 704), clGray) << x;
    EXPECT_EQ(At(x, 705), clGray) << x;
    EXPECT_EQ(At(x, 706), clBlack) << x;
  }
  int ticks = 0;
  for (std::int32_t x = 0; x < 1000; ++x) ticks += At(x, 704) == clGray;
  EXPECT_EQ(ticks, 30);
}

// Zoomed to 0.5..9.5 the outer labels are 9 and 1, and the minor ticks carry on past them to
// the axis ends: 27.75 pixels apart, so 945 + 28 = 973 and 57 - 28 = 29.
TEST_F(MainChart, MinorTicksContinuePastTheOuterLabelsOfAZoomedAxis) {
  chart.BottomAxis().SetRange(0.5, 9.5);
  Frame();
  EXPECT_EQ(chart.BottomAxis().TickList().front(), 945);
  EXPECT_EQ(chart.BottomAxis().TickList().back(), 57);
  EXPECT_EQ(At(973, 704), clGray);
  EXPECT_EQ(At(29, 704), clGray);
  int ticks = 0;
  for (std::int32_t x = 0; x < 1000; ++x) ticks += At(x, 704) == clGray;
  EXPECT_EQ(ticks, 8 * 3 + 2);
}

// The label step grows 1, 2, 5, ... until the labels fit: "10" and its room of 10 % make
// about 13 pixels, so 98 pixels hold 8 labels and the step becomes 2.
TEST_F(MainChart, ANarrowChartDoublesTheBottomLabelStep) {
  chart.SetSize(100, 713);
  Frame();
  EXPECT_EQ(chart.BottomAxis().TickList(), (std::vector<std::int32_t>{100, 80, 61, 41, 22, 2}));
  chart.SetSize(1000, 713);
  Frame();
  EXPECT_EQ(chart.BottomAxis().TickList().size(), 11u);
}

// The left axis never enlarges its step: 0.01 would mean 25,600 labels, so it draws none,
// and with them go its ticks and grid lines.
TEST_F(MainChart, AnIncrementWithTooManyLabelsDrawsNoGrid) {
  Frame();
  EXPECT_EQ(At(500, 49), clGray);  // the grid line of 238
  chart.LeftAxis().SetIncrement(0.01);
  Frame();
  EXPECT_TRUE(chart.LeftAxis().TickList().empty());
  EXPECT_EQ(At(500, 49), clBlack);
}

TEST_F(MainChart, TracesStayInsideThePlotArea) {
  // Full-scale and zero records alternate, so every trace swings across the whole chart.
  TPageBuffer page{};
  for (std::size_t r = 0; r < RecordsPerPage; r += 2) std::fill_n(page.begin() + r * RecordSize, RecordSize, 0xFF);
  for (std::size_t r = 0; r < RecordsPerPage; ++r) traces.PlotRecord(page, r, static_cast<std::int64_t>(r) * 2 - 100);
  traces.SeriesD1().LinePen.SetVisible(true);
  traces.SeriesD2().LinePen.SetVisible(true);
  Frame();
  for (std::int32_t y = 0; y < 713; ++y)
    for (std::int32_t x = 0; x < 1000; ++x) {
      const TColor c = At(x, y);
      const bool trace = c == clRed || c == clYellow || c == clLime || c == 16750080 || c == 13158600 || c == 9869035 ||
                         c == 6610140 || c == 9889430 || c == 16425120;
      if (trace) {
        ASSERT_TRUE(x >= 3 && x <= 999 && y >= 3 && y <= 701) << x << "," << y;
      }
    }
}

TEST_F(MainChart, LaterSeriesPaintOverEarlierOnesAndHiddenPensLeaveNoPixel) {
  PlotPage({0x80, 0x80, 0x80, 0x80, 0x80, 0, 0x00});  // five analog traces on one line, D1..D4 low
  Frame();
  const std::int32_t y = chart.LeftAxis().ValueToPixel(128);
  EXPECT_EQ(At(500, y), 13158600u);  // Series5 on top of Series1..4
  EXPECT_EQ(At(500, chart.LeftAxis().ValueToPixel(170)), clGray);  // D1 hidden: only its grid line
  EXPECT_EQ(At(500, chart.LeftAxis().ValueToPixel(136)), 9889430u);  // D3 shown

  traces.SeriesD1().LinePen.SetVisible(true);
  Frame();
  EXPECT_EQ(At(500, chart.LeftAxis().ValueToPixel(170)), 9869035u);
}

TEST_F(MainChart, LineWidthTwoIsTwoPixelsThick) {
  PlotPage({100, 0, 0, 0, 0, 0, 0});
  Frame();
  const std::int32_t y = chart.LeftAxis().ValueToPixel(100);
  EXPECT_EQ(At(500, y), clRed);
  EXPECT_NE(At(500, y - 1), clRed);
  EXPECT_NE(At(500, y + 1), clRed);
  traces.Series1().LinePen.SetWidth(2);
  Frame();
  int thick = 0;
  for (std::int32_t dy = -3; dy <= 3; ++dy) thick += At(500, y + dy) == clRed;
  EXPECT_EQ(thick, 2);
}

TEST_F(MainChart, SeriesEnterFromTheLeftEdgeAtTheInterpolatedHeight) {
  TLineSeries& s = traces.Series1();
  s.AddPoint(-1, 0);
  s.AddPoint(1, 200);  // crosses x = 0 at y = 100
  Frame();
  EXPECT_EQ(s.FirstDrawIndex, 1);
  EXPECT_EQ(s.LastDrawIndex, 1);
  // The segment starts on the left edge (x = 2, clipped away) at the height of y = 100.
  const std::int32_t y100 = chart.LeftAxis().ValueToPixel(100);
  int column2 = 0, column3 = 0;
  for (std::int32_t y = 0; y < 713; ++y) {
    column2 += At(2, y) == clRed;
    if (At(3, y) == clRed) {
      ++column3;
      EXPECT_LE(y, y100);
      EXPECT_GE(y, y100 - 4);
    }
  }
  EXPECT_EQ(column2, 0);
  EXPECT_GT(column3, 0);
}

// Axis click bands reach from the labels to 3 pixels past the axis line; right and bottom
// edges are out. The bottom axis line is at y = 703 with its labels from 705; the top and left
// axes have no labels, so their bands run from the image edge to 3 pixels inside the line.
TEST_F(MainChart, PressesHitTheAxisBandsThenTheChartRectangle) {
  Frame();
  struct Row {
    const char* name;
    std::int32_t x, y;
    TChart::TChartClickedPartStyle part;
    const TChartAxis* axis;
  };
  const Row rows[] = {
      {"bottom_three_above_its_line", 500, 700, TChart::cpAxis, &chart.BottomAxis()},
      {"bottom_just_above_its_labels", 500, 704, TChart::cpAxis, &chart.BottomAxis()},
      {"bottom_on_its_labels", 500, 705, TChart::cpNone, nullptr},
      {"bottom_four_above_its_line", 500, 699, TChart::cpChartRect, nullptr},
      {"bottom_past_its_end", 1000, 701, TChart::cpNone, nullptr},
      {"bottom_before_the_left_axis_band", 4, 701, TChart::cpAxis, &chart.BottomAxis()},
      {"top_inside_tolerance", 500, 4, TChart::cpAxis, &chart.TopAxis()},
      {"top_past_tolerance", 500, 5, TChart::cpChartRect, nullptr},
      {"top_at_the_image_edge", 500, 0, TChart::cpAxis, &chart.TopAxis()},
      {"left_inside_tolerance", 4, 300, TChart::cpAxis, &chart.LeftAxis()},
      {"left_past_tolerance", 5, 300, TChart::cpChartRect, nullptr},
      {"corner_outside_every_band", 1, 1, TChart::cpNone, nullptr},
  };
  for (const Row& row : rows) {
    const TChart::TClickedPartInfo info = chart.HitTestParts(row.x, row.y);
    EXPECT_EQ(info.Part, row.part) << row.name;
    EXPECT_EQ(info.Axis, row.axis) << row.name;
  }
}

// Zoom and undo run through the chart's own press and release, on the main chart as configured:
// its top axis starts at 0 .. 0, a range no zoom can produce.
TEST_F(MainChart, AnySequenceOfZoomsAndUndosEndsOnTheFrameFromBeforeTheFirstZoom) {
  PlotPage({0x80, 0x40, 0x20, 0x10, 0x08, 0, 0x05});
  const QImage before = Frame().Image().copy();
  std::vector<double> ranges;
  for (std::size_t i = 0; i < TCustomAxisPanel::AxisCount; ++i)
    ranges.insert(ranges.end(), {chart.Axis(i).Minimum(), chart.Axis(i).Maximum()});
  auto drag = [&](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    chart.HostButtonDown(mbLeft, ssLeft, x0, y0, false);
    chart.HostMouseMove(ssLeft, x1, y1);
    chart.HostButtonUp(mbLeft, 0, x1, y1);
    Frame();
  };
  struct Step {
    const char* name;
    std::vector<std::array<std::int32_t, 4>> drags;
  };
  const std::vector<Step> steps{
      {"zoom then undo", {{100, 100, 600, 400}, {600, 400, 100, 100}}},
      {"two zooms then one undo", {{100, 100, 600, 400}, {200, 150, 500, 350}, {500, 350, 100, 100}}},
      {"undo with nothing zoomed", {{600, 400, 100, 100}}},
      {"zoom, undo, zoom, undo", {{300, 50, 900, 600}, {900, 600, 300, 50}, {50, 50, 400, 400}, {400, 50, 50, 400}}},
  };
  for (const Step& step : steps) {
    for (const auto& d : step.drags) drag(d[0], d[1], d[2], d[3]);
    std::vector<double> now;
    for (std::size_t i = 0; i < TCustomAxisPanel::AxisCount; ++i)
      now.insert(now.end(), {chart.Axis(i).Minimum(), chart.Axis(i).Maximum()});
    EXPECT_EQ(now, ranges) << step.name;
    EXPECT_EQ(chart.TopAxis().TickList(), std::vector<std::int32_t>{501}) << step.name;
    EXPECT_TRUE(Frame().Image() == before) << step.name;
  }
}

TEST_F(MainChart, PropertyChecksRaiseTheirTexts) {
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const ChartException& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { chart.BottomAxis().SetIncrement(-1); }), "Axis increment must be >= 0");
  EXPECT_EQ(message([&] { chart.BottomAxis().SetMinimum(11); }), "Axis Minimum Value must be <= Maximum");
  EXPECT_EQ(message([&] { chart.LeftAxis().SetMaximum(-2); }), "Axis Maximum Value must be >= Minimum");
  EXPECT_EQ(message([&] { chart.LeftAxis().SetLabelsSeparation(-1); }), "Labels Separation % must be greater than 0");
  EXPECT_EQ(message([&] { chart.SetChart3DPercent(0); }), "3D effect percent must be between 1 and 100");
  EXPECT_EQ(chart.BottomAxis().Minimum(), 0);
  EXPECT_EQ(chart.BottomAxis().Increment(), 1);
}

}  // namespace
