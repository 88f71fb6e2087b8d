// Zoom drag, rubber band and hit test on a 1000 x 713 chart whose bottom axis spans pixels
// 0..1000 over 0..10 and whose left axis spans 0..713 over 0..713.
#include <gtest/gtest.h>

#include <QImage>

#include <random>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "fake_host.h"

using namespace ninetrace;

namespace {

struct ZoomFixture : ::testing::Test {
  ninetrace::testing::FakeHost host{1000, 713};
  TChart chart;
  TLineSeries series;
  int clicks = 0, zooms = 0, undos = 0;

  ZoomFixture() {
    host.client = &chart;
    chart.SetHost(&host);
    chart.SetColor(clBlack);
    chart.SetMargins(0, 0, 0, 0);
    chart.SetBevelOuter(bvNone);
    chart.SetAxisVisible(false);
    chart.SetView3D(false);
    chart.SetAllowPanning(pmNoPanning);
    chart.BottomAxis().SetRange(0, 10);
    chart.LeftAxis().SetRange(0, 713);
    chart.TopAxis().SetRange(0, 10);
    chart.RightAxis().SetRange(0, 713);
    series.SetParentChart(&chart);
    chart.OnClick = [this](TChart*) { ++clicks; };
    chart.OnZoom = [this](TChart*) { ++zooms; };
    chart.OnUndoZoom = [this](TChart*) { ++undos; };
    chart.Refresh();
  }

  void Drag(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, TMouseButton b = mbLeft) {
    chart.HostButtonDown(b, b == mbLeft ? ssLeft : ssRight, x0, y0, false);
    chart.HostMouseMove(b == mbLeft ? ssLeft : ssRight, (x0 + x1) / 2, (y0 + y1) / 2);
    chart.HostMouseMove(b == mbLeft ? ssLeft : ssRight, x1, y1);
    chart.HostButtonUp(b, 0, x1, y1);
  }
  std::vector<double> Ranges() const {
    return {chart.BottomAxis().Minimum(), chart.BottomAxis().Maximum(), chart.LeftAxis().Minimum(), chart.LeftAxis().Maximum()};
  }
};

TEST_F(ZoomFixture, PressAndReleaseInPlaceClicksOnceAndLeavesTheWindowAsItWas) {
  const QImage before = host.image.Image().copy();
  chart.HostButtonDown(mbLeft, ssLeft, 300, 300, false);
  EXPECT_TRUE(chart.ZoomDrag.Active);
  chart.HostButtonUp(mbLeft, 0, 300, 300);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(chart.ZoomDrag.Active);
  EXPECT_EQ(zooms + undos, 0);
  EXPECT_EQ(Ranges(), (std::vector<double>{0, 10, 0, 713}));
  EXPECT_EQ(host.image.Image(), before);
}

TEST_F(ZoomFixture, SixteenPixelsIsNotEnoughSeventeenZoomsAndAnyOtherDirectionUndoes) {
  Drag(100, 100, 116, 300);
  EXPECT_EQ(Ranges(), (std::vector<double>{0, 10, 0, 713}));
  EXPECT_EQ(zooms + undos, 0);

  Drag(100, 100, 117, 117);
  EXPECT_EQ(zooms, 1);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), 1.0);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), 1.17);
  EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), 713 - 117);  // the lower screen edge is the minimum
  EXPECT_DOUBLE_EQ(chart.LeftAxis().Maximum(), 713 - 100);

  chart.Refresh();
  Drag(100, 100, 83, 300);
  EXPECT_EQ(undos, 1);
  EXPECT_EQ(Ranges(), (std::vector<double>{0, 10, 0, 713}));
}

TEST_F(ZoomFixture, UndoAfterTwoZoomsReturnsToTheRangesBeforeTheFirst) {
  Drag(100, 100, 600, 400);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), 1);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), 6);
  chart.Refresh();  // the second drag works against the zoomed axes
  Drag(0, 0, 500, 300);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), 3.5);
  chart.Refresh();
  Drag(500, 500, 100, 100);
  EXPECT_EQ(Ranges(), (std::vector<double>{0, 10, 0, 713}));
  EXPECT_TRUE(chart.ScalesRestored());
}

TEST_F(ZoomFixture, UndoWithoutZoomStillNotifiesAndRepaints) {
  const int before = host.invalidations;
  Drag(500, 500, 100, 100);
  EXPECT_EQ(undos, 1);
  EXPECT_GT(host.invalidations, before);
  EXPECT_EQ(Ranges(), (std::vector<double>{0, 10, 0, 713}));
}

TEST_F(ZoomFixture, RightDragAndPressesOutsideStartNothing) {
  Drag(100, 100, 600, 400, mbRight);
  EXPECT_FALSE(chart.ZoomDrag.Active);
  EXPECT_EQ(zooms + undos, 0);

  chart.HostButtonDown(mbLeft, ssLeft, 100, 100, false);
  chart.HostButtonDown(mbRight, ssLeft | ssRight, 200, 200, false);  // ignored during the drag
  EXPECT_EQ(chart.ZoomDrag.StartX, 100);
  chart.HostButtonUp(mbLeft, 0, 100, 100);

  series.SetActive(false);  // no active series: the chart rectangle starts nothing
  chart.HostButtonDown(mbLeft, ssLeft, 100, 100, false);
  EXPECT_FALSE(chart.ZoomDrag.Active);
  chart.HostButtonUp(mbLeft, 0, 100, 100);
}

TEST_F(ZoomFixture, AFrameBuiltMidDragCarriesExactlyOneRubberBand) {
  chart.HostButtonDown(mbLeft, ssLeft, 100, 100, false);
  chart.HostMouseMove(ssLeft, 200, 150);
  chart.Refresh();  // as a click handler would during the release
  const QImage withBand = host.image.Image().copy();
  EXPECT_EQ(host.image.PixelColor(100, 100), clWhite);
  EXPECT_EQ(host.image.PixelColor(150, 125), clBlack);
  chart.HostMouseMove(ssLeft, 300, 200);  // the move removes the band the frame carried
  EXPECT_EQ(host.image.PixelColor(199, 149), clBlack);
  EXPECT_EQ(host.image.PixelColor(299, 199), clWhite);
  chart.HostButtonUp(mbLeft, 0, 300, 200);
  (void)withBand;
  // Zoomed now; the released band is gone from the window.
  EXPECT_EQ(host.image.PixelColor(299, 199), clBlack);
}

TEST_F(ZoomFixture, ClickHandlerRefreshingDuringReleaseLeavesNoBandOnScreen) {
  chart.OnClick = [this](TChart*) { chart.Refresh(); };
  Drag(100, 100, 300, 300);
  chart.Refresh();
  for (std::int32_t x = 0; x < 1000; x += 7) EXPECT_EQ(host.image.PixelColor(x, 100), clBlack) << x;
}

// After a zoom the first point of the drawn range can land beyond the coordinate guard; the
// line then starts at the first point inside it, never at where the frame before the zoom left
// off, so the first frame after a zoom is the frame the same state always gives.
TEST_F(ZoomFixture, TheFirstFrameAfterAZoomIsTheFrameTheStateGives) {
  for (const bool perSegment : {false, true})
    for (const std::int32_t width : {1, 2}) {
      series.Clear();
      series.PerSegmentDrawing = perSegment;
      series.LinePen.SetWidth(width);
      series.AddPoint(0, 100);
      series.AddPoint(5, 1e6);  // far above: beyond the guard before and after the zoom
      series.AddPoint(6, 300);
      series.AddPoint(10, 400);
      chart.BottomAxis().SetRange(0, 10);
      chart.LeftAxis().SetRange(0, 713);
      chart.Refresh();
      Drag(400, 100, 800, 600);  // x 4 .. 8, y 113 .. 613: the range starts at the point beyond
      chart.Refresh();
      const QImage first = host.image.Image().copy();
      chart.Refresh();
      EXPECT_EQ(host.image.Image(), first) << "per segment " << perSegment << ", width " << width;
      // Nothing left of the point at x 6 (pixel 500): the line starts there.
      for (std::int32_t x = 0; x < 499; ++x)
        for (std::int32_t y = 0; y < 713; y += 3) ASSERT_EQ(host.image.PixelColor(x, y), clBlack) << x << "," << y;
      EXPECT_NE(host.image.PixelColor(500, 446), clBlack);  // the point at (6, 300)
      Drag(600, 600, 100, 100);
    }
}

TEST_F(ZoomFixture, HitTestFindsSeriesLastToFirstThenAxesThenTheChartRectangle) {
  TLineSeries upper;
  upper.SetParentChart(&chart);
  for (TLineSeries* s : {&series, &upper}) {
    s->AddPoint(1, 400);
    s->AddPoint(9, 400);
  }
  chart.Refresh();
  auto hit = chart.HitTestParts(500, 713 - 400);
  EXPECT_EQ(hit.Part, TChart::cpSeries);
  EXPECT_EQ(hit.Series, &upper);
  EXPECT_EQ(hit.PointIndex, 0);
  EXPECT_EQ(chart.HitTestParts(100, 713 - 400).PointIndex, 0);  // the point itself
  EXPECT_EQ(chart.HitTestParts(500, 100).Part, TChart::cpChartRect);
  EXPECT_EQ(chart.HitTestParts(1000, 100).Part, TChart::cpNone);  // right edge is out

  upper.LinePen.SetVisible(false);  // hidden traces are hit all the same
  EXPECT_EQ(chart.HitTestParts(500, 713 - 400).Series, &upper);
}

TEST_F(ZoomFixture, ClickedPointAgreesWithAPlainWalkOverDenseData) {
  std::mt19937 rng(5);
  for (int i = 0; i < 20000; ++i) series.AddPoint((i / 40) * 0.02, static_cast<double>(rng() % 713));
  chart.Refresh();
  auto reference = [&](std::int32_t x, std::int32_t y) -> std::int32_t {
    TPoint previous{};
    for (std::int32_t i = series.FirstDrawIndex; i <= series.LastDrawIndex; ++i) {
      const TPoint p{series.XPixel(i), series.YPixel(i)};
      if (p == TPoint{x, y}) return i;
      if (i > series.FirstDrawIndex && PointOnSegment(previous, p, {x, y})) return i - 1;
      previous = p;
    }
    return -1;
  };
  for (int k = 0; k < 300; ++k) {
    const std::int32_t x = static_cast<std::int32_t>(rng() % 1100) - 50, y = static_cast<std::int32_t>(rng() % 800) - 40;
    ASSERT_EQ(series.ClickedPoint(x, y), reference(x, y)) << x << "," << y;
  }
}

TEST(PointOnSegment, StrictComparisonsAndZeroLength) {
  const TPoint p{0, 0}, q{10, 5};
  EXPECT_TRUE(PointOnSegment(p, q, {4, 2}));
  EXPECT_TRUE(PointOnSegment(p, q, {0, 0}));
  EXPECT_TRUE(PointOnSegment(p, q, {10, 5}));
  EXPECT_FALSE(PointOnSegment(p, q, {4, 4}));     // off the line
  EXPECT_FALSE(PointOnSegment(p, q, {12, 6}));    // beyond q
  EXPECT_FALSE(PointOnSegment(p, q, {-2, -1}));   // beyond p
  EXPECT_FALSE(PointOnSegment(p, p, {0, 0}));     // zero length never hits
  EXPECT_TRUE(PointOnSegment({5, 0}, {5, 10}, {5, 7}));
  EXPECT_FALSE(PointOnSegment({5, 0}, {5, 10}, {6, 7}));
}

}  // namespace
