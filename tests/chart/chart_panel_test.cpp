// The chart panel: its setters, the chart rectangle, which axes are shown, the order of a
// drawing pass, the room series and walls take, and where and how a frame is drawn.
#include <gtest/gtest.h>

#include <QImage>

#include <functional>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "fake_host.h"
#include "plain_chart.h"

using namespace ninetrace;

namespace {

struct SetterRow {
  const char* name;
  std::function<void(TChart&)> change;  // to a value different from the default
};

void PrintTo(const SetterRow& row, std::ostream* os) { *os << row.name; }

class PanelSetter : public ::testing::TestWithParam<SetterRow> {};

// A setter stores a new value and asks once for a repaint; the same value again asks nothing,
// and neither draws.
TEST_P(PanelSetter, RepaintsOnlyOnChangeAndNeverDraws) {
  ninetrace::testing::FakeHost host(100, 80);
  TChart chart;
  host.client = &chart;
  chart.SetHost(&host);
  chart.Refresh();
  const auto frames = chart.FramesDrawn();
  const auto before = chart.InvalidateCount();
  GetParam().change(chart);
  EXPECT_EQ(chart.InvalidateCount(), before + 1);
  GetParam().change(chart);
  EXPECT_EQ(chart.InvalidateCount(), before + 1);
  EXPECT_EQ(chart.FramesDrawn(), frames);
  EXPECT_EQ(host.updates, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PanelSetter,
    ::testing::Values(SetterRow{"bevel_outer", [](TChart& c) { c.SetBevelOuter(bvLowered); }},
                      SetterRow{"bevel_inner", [](TChart& c) { c.SetBevelInner(bvRaised); }},
                      SetterRow{"bevel_width", [](TChart& c) { c.SetBevelWidth(3); }},
                      SetterRow{"border_width", [](TChart& c) { c.SetBorderWidth(2); }},
                      SetterRow{"margin_left", [](TChart& c) { c.SetMarginLeft(0); }},
                      SetterRow{"margin_bottom", [](TChart& c) { c.SetMarginBottom(9); }},
                      SetterRow{"view_3d", [](TChart& c) { c.SetView3D(false); }},
                      SetterRow{"view_3d_walls", [](TChart& c) { c.SetView3DWalls(false); }},
                      SetterRow{"axis_visible", [](TChart& c) { c.SetAxisVisible(false); }},
                      SetterRow{"clip_points", [](TChart& c) { c.SetClipPoints(false); }},
                      SetterRow{"allow_zoom", [](TChart& c) { c.SetAllowZoom(false); }},
                      SetterRow{"allow_panning", [](TChart& c) { c.SetAllowPanning(pmNoPanning); }},
                      SetterRow{"monochrome", [](TChart& c) { c.SetMonochrome(true); }},
                      SetterRow{"chart_3d_percent", [](TChart& c) { c.SetChart3DPercent(40); }},
                      SetterRow{"back_wall_colour", [](TChart& c) { c.BackWall.SetColor(clNavy); }},
                      SetterRow{"back_wall_brush", [](TChart& c) { c.BackWall.SetBrushStyle(bsSolid); }},
                      SetterRow{"left_wall_size", [](TChart& c) { c.LeftWall.SetSize(4); }},
                      SetterRow{"bottom_wall_dark", [](TChart& c) { c.BottomWall.SetDark3D(false); }},
                      SetterRow{"frame_colour", [](TChart& c) { c.Frame().SetColor(clSilver); }},
                      SetterRow{"title_visible", [](TChart& c) { c.Title.SetVisible(false); }},
                      SetterRow{"foot_text", [](TChart& c) { c.Foot.SetText({"foot"}); }},
                      SetterRow{"legend_visible", [](TChart& c) { c.Legend.SetVisible(false); }},
                      SetterRow{"axis_start_position", [](TChart& c) { c.BottomAxis().SetStartPosition(10); }},
                      SetterRow{"axis_end_position", [](TChart& c) { c.LeftAxis().SetEndPosition(90); }},
                      SetterRow{"axis_visible_flag", [](TChart& c) { c.RightAxis().SetVisible(false); }},
                      SetterRow{"axis_inverted", [](TChart& c) { c.LeftAxis().SetInverted(true); }},
                      SetterRow{"axis_tick_length", [](TChart& c) { c.LeftAxis().SetTickLength(7); }},
                      SetterRow{"axis_minor_tick_count", [](TChart& c) { c.BottomAxis().SetMinorTickCount(4); }},
                      SetterRow{"axis_labels_on_axis", [](TChart& c) { c.BottomAxis().SetLabelsOnAxis(false); }},
                      SetterRow{"margin_top", [](TChart& c) { c.SetMarginTop(5); }},
                      SetterRow{"margin_right", [](TChart& c) { c.SetMarginRight(6); }},
                      SetterRow{"axis_labels_font", [](TChart& c) { c.BottomAxis().SetLabelsFont({"Arial", 12, clRed}); }},
                      SetterRow{"axis_position_percent", [](TChart& c) { c.TopAxis().SetPositionPercent(5); }},
                      SetterRow{"axis_grid_pen", [](TChart& c) { c.LeftAxis().Grid.SetSmallDots(true); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct RectRow {
  const char* name;
  std::function<void(TChart&)> set;
  TRect expected;
};

void PrintTo(const RectRow& row, std::ostream* os) { *os << row.name; }

class ChartRectangle : public ::testing::TestWithParam<RectRow> {};

// Without axes the chart rectangle is what margins, border and normalising leave.
TEST_P(ChartRectangle, FromMarginsBorderAndNormalising) {
  TChart chart;
  chart.SetAxisVisible(false);
  GetParam().set(chart);
  chart.Refresh();
  EXPECT_EQ(chart.ChartRect, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChartRectangle,
    ::testing::Values(RectRow{"default_margins_on_400_by_250", [](TChart&) {}, {12, 10, 388, 240}},
                      RectRow{"border_insets_the_margins", [](TChart& c) { c.SetBorderWidth(5); }, {17, 15, 383, 235}},
                      RectRow{"left_equals_right_takes_the_full_width",
                              [](TChart& c) { c.SetMargins(50, 0, 50, 0); }, {200, 0, 600, 250}},
                      RectRow{"left_past_right_takes_one_pixel",
                              [](TChart& c) { c.SetMargins(60, 0, 50, 0); }, {240, 0, 241, 250}},
                      RectRow{"top_equals_bottom_takes_the_full_height",
                              [](TChart& c) { c.SetMargins(0, 50, 0, 50); }, {0, 125, 400, 375}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChartPanel, BorderIsPaintedInTheChartColourBetweenTheBevels) {
  TChart chart;
  chart.SetColor(clNavy);
  chart.SetBorderWidth(3);
  chart.SetBevelInner(bvLowered);
  chart.Refresh();
  const TRasterImage& f = chart.Canvas().OffscreenImage();
  EXPECT_EQ(f.PixelColor(0, 100), ColorToRGB(clBtnHighlight));  // outer bevel
  for (std::int32_t x : {1, 2, 3}) EXPECT_EQ(f.PixelColor(x, 100), clNavy) << x;
  EXPECT_EQ(f.PixelColor(4, 100), ColorToRGB(clBtnShadow));  // inner bevel, lowered
}

TEST(ChartPanel, WithoutActiveSeriesEverySideAxisIsShownTheDepthAxisOnlyIn3D) {
  TChart chart;
  TLineSeries series;
  series.SetParentChart(&chart);
  series.SetActive(false);
  for (TChartAxis* a : {&chart.BottomAxis(), &chart.TopAxis(), &chart.LeftAxis(), &chart.RightAxis()})
    EXPECT_TRUE(chart.IsAxisShown(*a));
  chart.DepthAxis().SetVisible(true);
  EXPECT_TRUE(chart.IsAxisShown(chart.DepthAxis()));
  chart.SetView3D(false);
  EXPECT_FALSE(chart.IsAxisShown(chart.DepthAxis()));

  series.SetActive(true);  // now only the axes it belongs to
  EXPECT_TRUE(chart.IsAxisShown(chart.BottomAxis()));
  EXPECT_FALSE(chart.IsAxisShown(chart.TopAxis()));
  EXPECT_FALSE(chart.IsAxisShown(chart.RightAxis()));
  chart.SetAxisVisible(false);
  EXPECT_FALSE(chart.IsAxisShown(chart.BottomAxis()));
}

TEST(ChartPanel, HooksOfADrawingPassFireInOrder) {
  TChart chart;
  chart.SetView3D(false);
  TLineSeries series;
  series.SetParentChart(&chart);
  series.AddPoint(0, 0);
  series.AddPoint(1, 1);
  chart.BottomAxis().SetRange(0, 1);
  chart.LeftAxis().SetRange(0, 1);
  std::vector<std::string> order;
  chart.OnBeforeDrawAxes = [&](TChart*) { order.push_back("axes"); };
  chart.OnBeforeDrawSeries = [&](TChart*) { order.push_back("series"); };
  series.BeforeDrawValues = [&](TChartSeries*) { order.push_back("before values"); };
  series.AfterDrawValues = [&](TChartSeries*) { order.push_back("after values"); };
  chart.OnAfterDraw = [&](TChart*) { order.push_back("after"); };
  chart.Refresh();
  EXPECT_EQ(order, (std::vector<std::string>{"axes", "series", "before values", "after values", "after"}));

  order.clear();
  chart.SetAxisVisible(false);  // no axes: no axes hook
  chart.Refresh();
  EXPECT_EQ(order, (std::vector<std::string>{"series", "before values", "after values", "after"}));
}

// ---- Room asked by series and walls ---------------------------------------------------------

struct MarginRow {
  const char* name;
  std::function<void(TLineSeries&, TChart&)> set;
  std::int32_t x0, x10, y0, y10;  // pixels of values 0 and 10 on both axes
};

void PrintTo(const MarginRow& row, std::ostream* os) { *os << row.name; }

class SeriesMargins : public ::testing::TestWithParam<MarginRow> {};

// A 100 x 100 plot; both axes keep automatic ends set to 0 .. 10, so series room widens them.
TEST_P(SeriesMargins, WidenAutomaticEndsByTheRoomAsked) {
  TChart chart;
  chart.SetSize(100, 100);
  chart.SetMargins(0, 0, 0, 0);
  chart.SetBevelOuter(bvNone);
  chart.SetAxisVisible(false);
  chart.SetView3D(false);
  for (TChartAxis* a : {&chart.BottomAxis(), &chart.LeftAxis()}) a->SetMaximum(10);
  TLineSeries series;
  series.SetParentChart(&chart);
  GetParam().set(series, chart);
  chart.Refresh();
  const TChartAxis& h = chart.BottomAxis();
  const TChartAxis& v = chart.LeftAxis();
  EXPECT_EQ(h.PixelStart, 0);
  EXPECT_EQ(h.PixelEnd, 100);
  EXPECT_EQ(h.ValueToPixel(0), GetParam().x0);
  EXPECT_EQ(h.ValueToPixel(10), GetParam().x10);
  EXPECT_EQ(v.ValueToPixel(0), GetParam().y0);
  EXPECT_EQ(v.ValueToPixel(10), GetParam().y10);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SeriesMargins,
    ::testing::Values(MarginRow{"none", [](TLineSeries&, TChart&) {}, 0, 100, 100, 0},
                      MarginRow{"visible_pointer", [](TLineSeries& s, TChart&) { s.Pointer.SetVisible(true); }, 5, 95, 95, 5},
                      MarginRow{"pointer_without_inflate",
                                [](TLineSeries& s, TChart&) {
                                  s.Pointer.SetVisible(true);
                                  s.Pointer.SetInflateMargins(false);
                                },
                                0, 100, 100, 0},
                      MarginRow{"stairs_with_a_3_pixel_pen",
                                [](TLineSeries& s, TChart&) {
                                  s.SetStairs(true);
                                  s.LinePen.SetWidth(3);
                                },
                                3, 97, 96, 3},
                      MarginRow{"line_height", [](TLineSeries& s, TChart&) { s.SetLineHeight(7); }, 0, 100, 93, 0},
                      MarginRow{"fixed_minimum_keeps_its_end",
                                [](TLineSeries& s, TChart& c) {
                                  s.Pointer.SetVisible(true);
                                  c.BottomAxis().SetAutomaticMinimum(false);
                                  c.LeftAxis().SetAutomaticMaximum(false);
                                },
                                0, 95, 95, 0},
                      MarginRow{"inactive_series_asks_nothing",
                                [](TLineSeries& s, TChart&) {
                                  s.Pointer.SetVisible(true);
                                  s.SetActive(false);
                                },
                                0, 100, 100, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Walls, TakeRoomBesideTheirAxesAndMoveTheLinesAndTicksOut) {
  auto frame = [](std::int32_t wall) {
    TChart chart;
    chart.SetView3DWalls(wall > 0);
    chart.LeftWall.SetSize(wall);
    chart.BottomWall.SetSize(wall);
    chart.BottomAxis().SetMaximum(10);
    chart.Refresh();
    return std::pair{chart.ChartRect, chart.Canvas().OffscreenImage().Image().copy()};
  };
  const auto [flat, flatImage] = frame(0);
  const auto [walled, walledImage] = frame(6);
  EXPECT_EQ(walled.Left, flat.Left + 6);
  EXPECT_EQ(walled.Bottom, flat.Bottom - 6);
  EXPECT_EQ(walled.Top, flat.Top);
  EXPECT_EQ(walled.Right, flat.Right);
  // The bottom axis line (black, 2 pixels) lies a wall's depth below the chart rectangle.
  const auto black = qRgb(0, 0, 0);
  EXPECT_EQ(walledImage.pixel(walled.Left + 20, walled.Bottom + 6), black);
  EXPECT_NE(walledImage.pixel(walled.Left + 20, walled.Bottom + 3), black);
  // The left axis line is a wall's depth left of it, and reaches down across the bottom wall.
  EXPECT_EQ(walledImage.pixel(walled.Left - 6, walled.Top + 20), black);
  EXPECT_EQ(walledImage.pixel(walled.Left - 6, walled.Bottom + 5), black);
}

// ---- Where and how a frame is drawn -----------------------------------------------------------

TEST(ChartFrame, MonochromeFramesAreBlackAndWhiteOnly) {
  TChart chart;
  ninetrace::testing::MakePlainChart(chart);
  TLineSeries series;
  series.SetParentChart(&chart);
  series.SetSeriesColor(clYellow);
  series.AddPoint(0, 50);
  series.AddPoint(10, 50);
  chart.SetMonochrome(true);
  EXPECT_TRUE(chart.Canvas().Dirty());
  chart.Refresh();
  const TRasterImage& f = chart.Canvas().OffscreenImage();
  for (std::int32_t y = 0; y < 100; ++y)
    for (std::int32_t x = 0; x < 100; ++x) ASSERT_TRUE(f.PixelRgb(x, y) == 0 || f.PixelRgb(x, y) == 0xFFFFFF) << x << "," << y;
  EXPECT_EQ(f.PixelColor(50, 50), clWhite);  // yellow is nearer white
  chart.SetMonochrome(false);
  chart.Refresh();
  EXPECT_EQ(chart.Canvas().OffscreenImage().PixelColor(50, 50), clYellow);
}

TEST(ChartFrame, UnbufferedDrawGoesStraightOntoTheGivenSurfaceInItsRectangle) {
  TChart chart;
  ninetrace::testing::MakePlainChart(chart);
  chart.SetColor(clNavy);
  chart.Canvas().SetBufferedDisplay(false);
  TRasterImage other(60, 40);
  chart.Draw(&other, {10, 5, 50, 35});
  EXPECT_EQ(other.PixelColor(10, 5), clNavy);
  EXPECT_EQ(other.PixelColor(49, 34), clNavy);
  EXPECT_EQ(other.PixelColor(9, 5), clBlack);
  EXPECT_EQ(other.PixelColor(50, 34), clBlack);
  EXPECT_EQ(chart.ChartRect, (TRect{10, 5, 50, 35}));
  EXPECT_EQ(chart.WindowImage().PixelColor(20, 20), clBlack);  // the window is not touched
  EXPECT_TRUE(chart.Canvas().OffscreenImage().IsNull());
}

TEST(ChartCanvas, ResetGraphicsAndAlignment) {
  TRasterImage window(40, 30);
  TChartCanvas canvas;
  canvas.SetWindowImage(&window);
  canvas.SetFont("Arial", 8, clRed);
  canvas.SetPen(clRed, 3, psDot);
  canvas.SetBackgroundMode(bmOpaque);
  canvas.ResetCanvas();
  TRasterSurface& s = canvas.Surface();
  EXPECT_EQ(s.FontSize(), 10);
  EXPECT_EQ(s.FontColor(), clBlack);
  EXPECT_EQ(s.PenWidth(), 1);
  EXPECT_EQ(s.PenStyle(), psSolid);
  EXPECT_EQ(s.BrushColor(), clWhite);
  EXPECT_EQ(canvas.BackColor(), clWhite);
  EXPECT_EQ(canvas.BackMode(), bmTransparent);

  // A picture: none or an empty one draws nothing; one is drawn at its size over the brush.
  canvas.SetBrush(clLime, bsSolid);
  canvas.Draw(3, 3, nullptr);
  const TRasterImage empty;
  canvas.Draw(3, 3, &empty);
  EXPECT_EQ(window.PixelColor(3, 3), clBlack);
  EXPECT_EQ(canvas.BackColor(), clWhite);
  TRasterImage picture(2, 2);
  picture.Image().fill(0xFF0000FF);  // blue in the image's own order
  canvas.Draw(3, 3, &picture);
  EXPECT_EQ(window.PixelColor(4, 4), clBlue);
  EXPECT_EQ(window.PixelColor(5, 4), clBlack);
  EXPECT_EQ(canvas.BackColor(), clLime);
  canvas.StretchDraw({10, 10, 20, 14}, &picture);
  EXPECT_EQ(window.PixelColor(19, 13), clBlue);
  EXPECT_EQ(window.PixelColor(20, 13), clBlack);

  // Polygons take their last index, not a count.
  const TPoint triangle[] = {{25, 2}, {38, 2}, {38, 15}};
  canvas.SetPen(clRed);
  canvas.Polygon(triangle, 2);
  EXPECT_EQ(window.PixelColor(37, 14), clRed);  // the closing edge back to the first point

  canvas.SetTextAlign(taRight | taBaseline);
  EXPECT_EQ(canvas.TextAlign(), taRight | taBaseline);
}

TEST(ChartCanvas, MonochromeChangeDropsTheImageAndAsksOnce) {
  TRasterImage window(40, 30);
  TChartCanvas canvas;
  canvas.SetWindowImage(&window);
  int changes = 0;
  canvas.OnChange = [&] { ++changes; };
  canvas.BeginPaint(&window, {0, 0, 40, 30});
  canvas.EndPaint(&window, {0, 0});
  EXPECT_FALSE(canvas.Dirty());
  canvas.SetMonochrome(true);
  canvas.SetMonochrome(true);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(canvas.Dirty());
  EXPECT_TRUE(canvas.OffscreenImage().IsNull());
}

}  // namespace

namespace {

// The one way a pass depends on the pass before, and it is the drawing pass's own order: a
// vertical axis that measures its labels (LabelsSize 0) takes its room in the layout before its
// pixel range is worked out, so the label step behind the widest label comes from the pixel
// range of the pass before. Here 0 .. 10.5 on a fresh chart (no pixel range yet: no room for a
// step, the end label is "10.5") and from then on (step 10, the end label "10") lay out
// differently; the frames after that agree.
TEST(ChartPanel, AMeasuredVerticalAxisLaysOutFromThePixelRangeOfThePassBefore) {
  ninetrace::testing::FakeHost host(300, 200);
  TChart chart;
  host.client = &chart;
  chart.SetHost(&host);
  chart.LeftAxis().SetMaximum(10.5);
  chart.LeftAxis().SetAutomatic(false);
  chart.Refresh();
  const std::int32_t first = chart.ChartRect.Left;
  chart.Refresh();
  const std::int32_t second = chart.ChartRect.Left;
  chart.Refresh();
  EXPECT_GT(first, second);  // "10.5" is wider than "10"
  EXPECT_EQ(chart.ChartRect.Left, second);
}

}  // namespace
