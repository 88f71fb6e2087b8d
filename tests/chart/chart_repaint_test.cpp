#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"
#include "fake_host.h"

using namespace ninetrace;

namespace {

struct RepaintFixture : ::testing::Test {
  ninetrace::testing::FakeHost host;
  TChart chart;
  RepaintFixture() {
    host.client = &chart;
    chart.SetHost(&host);
    chart.SetColor(clBlack);
  }
};

TEST_F(RepaintFixture, ManyInvalidationsAskTheWindowOnceUntilItPaints) {
  chart.Refresh();
  const int before = host.invalidations;
  TLineSeries s;
  s.SetParentChart(&chart);
  for (int i = 0; i < 1000; ++i) s.AddPoint(i, i);
  EXPECT_EQ(host.invalidations, before + 1);
  EXPECT_TRUE(chart.Canvas().Dirty());
  chart.Paint();
  s.AddPoint(2000, 1);
  EXPECT_EQ(host.invalidations, before + 2);
}

TEST_F(RepaintFixture, RefreshAlwaysBuildsAFrameAndPaintWhenCleanOnlyCopies) {
  chart.Refresh();
  chart.Refresh();
  EXPECT_EQ(chart.FramesDrawn(), 2);  // nothing changed, still a whole frame
  host.image = TRasterImage(200, 100);  // the window lost its pixels
  chart.Paint();
  EXPECT_EQ(chart.FramesDrawn(), 2);
  EXPECT_EQ(host.image.PixelColor(100, 50), clBlack);
}

TEST_F(RepaintFixture, NoRepaintRequestsWhileAutoRepaintIsOff) {
  chart.Refresh();
  chart.AutoRepaint = false;
  const int before = host.invalidations;
  chart.SetColor(clRed);
  EXPECT_EQ(host.invalidations, before);
  EXPECT_FALSE(chart.Canvas().Dirty());
}

TEST_F(RepaintFixture, ClickFiresOnReleaseInsideBeforeTheChartsOwnRelease) {
  std::vector<std::string> events;
  chart.OnClick = [&](TChart*) { events.push_back("click"); };
  chart.OnDblClick = [&](TChart*) { events.push_back("dblclick"); };
  chart.OnMouseDown = [&](TChart*, TMouseButton, TShiftState s, std::int32_t, std::int32_t) {
    events.push_back(s & ssDouble ? "down2" : "down");
  };
  chart.OnMouseUp = [&](TChart*, TMouseButton, TShiftState, std::int32_t, std::int32_t) { events.push_back("up"); };

  chart.HostButtonDown(mbLeft, ssLeft, 10, 10, false);
  chart.HostButtonUp(mbLeft, 0, 10, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up"}));

  events.clear();
  chart.HostButtonDown(mbLeft, ssLeft, 10, 10, false);
  chart.HostButtonUp(mbLeft, 0, 250, 10);  // released outside: no click
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));

  events.clear();
  chart.HostButtonDown(mbLeft, ssLeft, 10, 10, false);
  chart.HostButtonUp(mbLeft, 0, 10, 10);
  chart.HostButtonDown(mbLeft, ssLeft, 10, 10, true);
  chart.HostButtonUp(mbLeft, 0, 10, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up", "dblclick", "down2", "up"}));

  events.clear();
  chart.HostButtonDown(mbRight, ssRight, 10, 10, false);
  chart.HostButtonUp(mbRight, 0, 10, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
}

// The window is 200 x 100: a release on its last column or row still clicks, one further not.
TEST_F(RepaintFixture, ClickNeedsTheReleaseInsideTheClientArea) {
  struct Row {
    const char* name;
    std::int32_t x, y;
    bool clicks;
  };
  const Row rows[] = {{"top_left_corner", 0, 0, true},     {"last_column", 199, 50, true},
                      {"last_row", 100, 99, true},         {"right_of_it", 200, 50, false},
                      {"below_it", 100, 100, false},       {"left_of_it", -1, 50, false},
                      {"above_it", 100, -1, false}};
  for (const Row& row : rows) {
    int clicks = 0;
    chart.OnClick = [&](TChart*) { ++clicks; };
    chart.HostButtonDown(mbLeft, ssLeft, 100, 50, false);
    chart.HostButtonUp(mbLeft, 0, row.x, row.y);
    EXPECT_EQ(clicks, row.clicks ? 1 : 0) << row.name;
  }
}

TEST_F(RepaintFixture, CursorPositionComesFromTheWindowOrTheTestSource) {
  host.cursor = {-5, 900};
  EXPECT_EQ(chart.GetCursorPos(), (TPoint{-5, 900}));  // not clamped
  chart.CursorSource = [] { return TPoint{7, 8}; };
  EXPECT_EQ(chart.GetCursorPos(), (TPoint{7, 8}));
}

TEST_F(RepaintFixture, RubberBandDrawnTwiceRestoresTheWindow) {
  chart.Refresh();
  const QImage before = host.image.Image().copy();
  chart.ZoomDrag.Start(20, 20);
  chart.ZoomDrag.EndX = 120;
  chart.ZoomDrag.EndY = 70;
  chart.InvertZoomFrame();
  EXPECT_EQ(host.image.PixelRgb(20, 20), ~before.pixel(20, 20) & 0xFFFFFFu);  // a black pen inverts
  EXPECT_EQ(host.image.PixelRgb(119, 69), ~before.pixel(119, 69) & 0xFFFFFFu);
  EXPECT_EQ(host.image.PixelRgb(120, 70), before.pixel(120, 70) & 0xFFFFFFu);  // right, bottom exclusive
  EXPECT_EQ(host.image.PixelRgb(60, 40), before.pixel(60, 40) & 0xFFFFFFu);    // no fill
  EXPECT_EQ(host.shows, 1);
  chart.InvertZoomFrame();
  EXPECT_EQ(host.image.Image(), before);
}

}  // namespace
