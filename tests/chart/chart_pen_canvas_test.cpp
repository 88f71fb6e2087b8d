#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "chart/chart_canvas.h"
#include "chart/chart_pen.h"

using namespace ninetrace;

namespace {

TEST(ChartPen, NotifiesOnlyOnRealChanges) {
  int changes = 0;
  TChartPen pen([&] { ++changes; });
  pen.SetVisible(true);
  pen.SetSmallDots(false);
  pen.SetWidth(1);
  EXPECT_EQ(changes, 0);
  pen.SetVisible(false);
  pen.SetSmallDots(true);
  pen.SetColor(clRed);
  EXPECT_EQ(changes, 3);

  TDottedGrayPen grid;
  EXPECT_EQ(grid.Color(), clGray);
  EXPECT_EQ(grid.Style(), psDot);
  EXPECT_FALSE(TChartHiddenPen().Visible());
  EXPECT_EQ(TChartAxisPen().Width(), 2);
  pen.Assign(grid);
  EXPECT_TRUE(pen.Visible());
  EXPECT_FALSE(pen.SmallDots());
  EXPECT_EQ(pen.Style(), psDot);
}

struct CanvasFixture : ::testing::Test {
  TRasterImage window{40, 20};
  TChartCanvas canvas;
  CanvasFixture() { canvas.SetWindowImage(&window); }
  int CountRow(std::int32_t y, TColor c) const {
    int n = 0;
    for (std::int32_t x = 0; x < window.Width(); ++x) n += window.PixelColor(x, y) == c;
    return n;
  }
};

TEST_F(CanvasFixture, ApplyChartPenHidesSetsAlternatePixelsOrUsesThePen) {
  TChartPen pen;
  pen.SetColor(clRed);
  pen.SetVisible(false);
  pen.SetWidth(2);
  canvas.ApplyChartPen(pen);
  canvas.DrawLine(0, 10, 40, 10);
  EXPECT_EQ(CountRow(10, clRed) + CountRow(9, clRed), 0);

  pen.SetVisible(true);
  pen.SetWidth(1);
  pen.SetSmallDots(true);
  canvas.ApplyChartPen(pen);
  canvas.DrawLine(0, 5, 40, 5);
  EXPECT_EQ(CountRow(5, clRed), 20);
  EXPECT_EQ(window.PixelColor(0, 5), clRed);
  EXPECT_NE(window.PixelColor(1, 5), clRed);

  pen.SetWidth(2);  // small dots only apply to one-pixel pens
  canvas.ApplyChartPen(pen);
  canvas.DrawLine(0, 15, 40, 15);
  EXPECT_EQ(CountRow(15, clRed), 40);

  // ... and at width 2 a dotted pen draws its own style: dashes, not a solid line.
  TDottedGrayPen grid;
  grid.SetSmallDots(true);
  grid.SetWidth(2);
  canvas.ApplyChartPen(grid);
  canvas.SetBackgroundMode(bmTransparent);
  canvas.DrawLine(0, 2, 40, 2);
  EXPECT_GT(CountRow(2, clGray), 10);
  EXPECT_LT(CountRow(2, clGray), 30);
}

// Rings walk inward, cross, and grow again inverted; however many are asked for, only those
// that can reach the clip are drawn, and the pixels are those of drawing every ring.
TEST_F(CanvasFixture, FramedBorderCostsTheRingsThatReachTheImage) {
  auto naive = [](TRasterImage& img, TRect r, std::int32_t count) {
    TChartCanvas c;
    c.SetWindowImage(&img);
    r.Right -= 1;
    r.Bottom -= 1;
    for (std::int32_t i = 0; i < count; ++i, r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}) {
      c.SetPen(clWhite);
      c.MovePenTo(r.Left, r.Bottom);
      c.LinePenTo(r.Left, r.Top);
      c.LinePenTo(r.Right, r.Top);
      c.SetPen(clGray);
      c.LinePenTo(r.Right, r.Bottom);
      c.LinePenTo(r.Left - 1, r.Bottom);
    }
    return c.Surface().PenPos();
  };
  const struct {
    TRect r;
    std::int32_t count;
  } rows[] = {{{0, 0, 40, 20}, 3}, {{0, 0, 40, 20}, 15}, {{-30, -30, 70, 50}, 45}, {{5, 5, 12, 9}, 200},
              {{-500, -400, 600, 700}, 1000}, {{0, 0, 3000, 2000}, 2500}, {{-2000, 3, 30, 2500}, 3000}};
  for (const auto& row : rows) {
    TRasterImage expected(40, 20);
    window = TRasterImage(40, 20);
    canvas.SetWindowImage(&window);
    const TPoint end = naive(expected, row.r, row.count);
    canvas.FramedBorder(row.r, clWhite, clGray, row.count);
    EXPECT_TRUE(window.Image() == expected.Image()) << row.count;
    EXPECT_EQ(canvas.Surface().PenPos(), end) << row.count;
  }
  const auto start = std::chrono::steady_clock::now();
  canvas.FramedBorder({0, 0, 40, 20}, clWhite, clGray, std::numeric_limits<std::int32_t>::max());
  canvas.FramedBorder({0, 0, std::numeric_limits<std::int32_t>::max(), 20}, clWhite, clGray,
                      std::numeric_limits<std::int32_t>::max());
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
}

TEST_F(CanvasFixture, CopiesSettingsOfAnotherCanvasAndAnswersFalseToBothQueries) {
  TChartCanvas other;
  other.SetMonochrome(true);
  int changes = 0;
  canvas.OnChange = [&] { ++changes; };
  canvas.AssignSettings(other);
  EXPECT_TRUE(canvas.Monochrome());
  EXPECT_TRUE(canvas.Dirty());
  EXPECT_EQ(changes, 1);
  canvas.AssignSettings(other);  // nothing new: no repaint asked
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(canvas.ForbidsClipping());
  EXPECT_FALSE(canvas.SecondQuery());
}

TEST_F(CanvasFixture, FramedBorderDrawsRingsInTwoColours) {
  canvas.FramedBorder({0, 0, 40, 20}, clWhite, clGray, 2);
  EXPECT_EQ(window.PixelColor(0, 10), clWhite);
  EXPECT_EQ(window.PixelColor(1, 10), clWhite);
  EXPECT_EQ(window.PixelColor(20, 0), clWhite);
  EXPECT_EQ(window.PixelColor(39, 10), clGray);
  EXPECT_EQ(window.PixelColor(38, 10), clGray);
  EXPECT_EQ(window.PixelColor(20, 19), clGray);
  EXPECT_EQ(window.PixelColor(0, 19), clGray);
  EXPECT_EQ(window.PixelColor(2, 10), clBlack);
}

TEST_F(CanvasFixture, PlotAreaClipLeavesOutLeftTopAndBottomLines) {
  canvas.ClipToPlotArea({5, 5, 30, 15});
  canvas.SetBrush(clRed, bsSolid);
  canvas.FillRect({0, 0, 40, 20});
  canvas.RemoveClip();
  EXPECT_EQ(window.PixelColor(5, 10), clBlack);
  EXPECT_EQ(window.PixelColor(6, 6), clRed);
  EXPECT_EQ(window.PixelColor(6, 5), clBlack);
  EXPECT_EQ(window.PixelColor(29, 13), clRed);
  EXPECT_EQ(window.PixelColor(29, 14), clBlack);
  EXPECT_EQ(window.PixelColor(30, 10), clBlack);
}

TEST_F(CanvasFixture, OffscreenFrameIsCopiedAtTheEndAndReusedWhileClean) {
  const TRect r = canvas.BeginPaint(&window, {0, 0, 40, 20});
  EXPECT_EQ(r, (TRect{0, 0, 40, 20}));
  canvas.SetBrush(clLime, bsSolid);
  canvas.FillRect(r);
  EXPECT_EQ(window.PixelColor(3, 3), clBlack);  // nothing reaches the window before the end
  canvas.EndPaint(&window, {0, 0});
  EXPECT_EQ(window.PixelColor(3, 3), clLime);
  EXPECT_FALSE(canvas.Dirty());

  window = TRasterImage(40, 20);
  canvas.SetWindowImage(&window);
  EXPECT_TRUE(canvas.RedrawFromImage(&window));
  EXPECT_EQ(window.PixelColor(3, 3), clLime);
  canvas.MarkDirty();
  EXPECT_FALSE(canvas.RedrawFromImage(&window));

  canvas.BeginPaint(&window, {0, 0, 10, 10});  // another size: a new image
  EXPECT_EQ(canvas.OffscreenImage().Width(), 10);
  canvas.EndPaint(&window, {0, 0});
}

}  // namespace
