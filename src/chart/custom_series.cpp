#include "chart/custom_series.h"

#include <algorithm>
#include <cstdlib>

#include "chart/axis_panel.h"
#include "chart/chart_canvas.h"
#include "chart/pixel_memo.h"

namespace ninetrace {

namespace {
bool InGuard(std::int32_t v) { return v >= -TCustomSeries::CoordinateLimit && v <= TCustomSeries::CoordinateLimit; }
}  // namespace

TCustomSeries::TCustomSeries() {
  ExtendPastEdge = true;
  LinePen.SetOnChange([this] { RequestRepaint(); });
}

void TCustomSeries::SetStairs(bool value) {
  if (value == stairs_) return;
  stairs_ = value;
  RequestRepaint();
}

void TCustomSeries::SetInvertedStairs(bool value) {
  if (value == invertedStairs_) return;
  invertedStairs_ = value;
  RequestRepaint();
}

void TCustomSeries::SetLineHeight(std::int32_t value) {
  if (value == lineHeight_) return;
  lineHeight_ = value;
  RequestRepaint();
}

void TCustomSeries::HorizontalMargins(std::int32_t& left, std::int32_t& right) const {
  left = right = 0;
  if (Pointer.Visible() && Pointer.InflateMargins()) left = right = Pointer.HorizSize() + 1;
  if (stairs_) left = right = std::max(left, LinePen.Width());
}

void TCustomSeries::VerticalMargins(std::int32_t& top, std::int32_t& bottom) const {
  top = bottom = 0;
  if (Pointer.Visible() && Pointer.InflateMargins()) top = bottom = Pointer.VertSize() + 1;
  if (stairs_) {
    top = std::max(top, LinePen.Width());
    bottom = std::max(bottom, LinePen.Width() + 1);
  }
  if (lineHeight_ > 0) bottom = std::max(bottom, lineHeight_);
}

std::int32_t TCustomSeries::EdgeYPosition(std::int32_t j, double xv) const {
  const double x0 = XAt(j);
  const double dx = XAt(j + 1) - x0;
  if (dx == 0) return YPixel(j);
  const double y0 = YAt(j);
  const auto v = static_cast<double>(y0 + (static_cast<long double>(YAt(j + 1)) - y0) * (static_cast<long double>(xv) - x0) / dx);
  return PlotVertAxis()->ValueToPixel(v);
}

void TCustomSeries::DrawLineValue(std::int32_t i) {
  const TColor color = PointColor(i);
  const std::int32_t x = XPixel(i);
  const std::int32_t y = YPixel(i);
  if (InGuard(x) && InGuard(y)) {
    // Nothing is ever joined to a gap, nor to where an earlier pass left off: when the first
    // point of the range lies beyond the guard (a deep zoom), the line starts at the first one inside.
    if (PrevColor == clNone || !placed_) {
      PrevX = x;
      PrevY = y;
    }
    placed_ = true;
    if (i == FirstDrawIndex) {
      if (i > 0) {
        // The point before lies left of the chart: enter at the edge, at the line's height there.
        const TChartAxis& h = *PlotHorizAxis();
        const TRect& r = ParentChart()->ChartRect;
        PrevX = h.Inverted() ? r.Right : r.Left;
        PrevY = stairs_ ? YPixel(i - 1) : EdgeYPosition(i - 1, h.PixelToValue(PrevX));
        if (!IsGap(i - 1)) DrawSegment(x, y, color);
      }
    } else {
      DrawSegment(x, y, color);
    }
    PrevX = x;
    PrevY = y;
  }
  PrevColor = color;
}

void TCustomSeries::DrawSegment(std::int32_t x, std::int32_t y, TColor color) {
  if ((x == PrevX && y == PrevY) || color == clNone) return;
  PrepareLinePen(color);
  if (!stairs_) {
    canvas_->DrawLine(PrevX, PrevY, x, y);
  } else if (!invertedStairs_) {
    canvas_->HorizontalLine(PrevX, x, PrevY);
    canvas_->LinePenTo(x, y);
  } else {
    canvas_->VerticalLine(PrevX, PrevY, y);
    canvas_->LinePenTo(x, y);
  }
}

void TCustomSeries::PrepareLinePen(TColor color) {
  canvas_->ApplyChartPen(LinePen);
  canvas_->SetBrushStyle(bsClear);
  canvas_->SetPenColor(color);
}

bool PointOnSegment(TPoint p, TPoint q, TPoint t) {
  const std::int64_t dx = std::int64_t{q.X} - p.X, dy = std::int64_t{q.Y} - p.Y;
  const std::int64_t d = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  const std::int64_t c = (std::int64_t{t.X} - p.X) * dy - (std::int64_t{t.Y} - p.Y) * dx;
  if ((c < 0 ? -c : c) >= d) return false;
  auto between = [](std::int32_t a, std::int32_t b, std::int32_t c2) { return a < b && b < c2; };
  if (between(q.X, p.X, t.X) || between(q.Y, p.Y, t.Y) || between(t.X, p.X, q.X) || between(t.Y, p.Y, q.Y)) return false;
  if (between(p.X, q.X, t.X) || between(p.Y, q.Y, t.Y) || between(t.X, q.X, p.X) || between(t.Y, q.Y, p.Y)) return false;
  return true;
}

// Walks the range of the last drawing pass against the axes as they are now; first hit wins.
// Every press walks the whole overview, so mappings are remembered: an x equal to the last one
// and a y value seen before give the axis' own answer back without asking it again.
std::int32_t TCustomSeries::ClickedPoint(std::int32_t x, std::int32_t y) const {
  if (FirstDrawIndex == -1 || LastDrawIndex == -1) return -1;
  const TChartAxis& h = *PlotHorizAxis();
  TPixelMemo yPixel(*PlotVertAxis());
  const double* xs = XValues.Data();
  const double* ys = YValues.Data();
  const double xm = XValues.Multiplier(), ym = YValues.Multiplier();
  const TPoint t{x, y};
  const bool pointerHit = Pointer.Visible();
  TPoint previous{};
  double lastX = 0;
  std::int32_t lastXPixel = 0;
  bool haveX = false;
  for (std::int32_t i = FirstDrawIndex; i <= LastDrawIndex && i < PointCount(); ++i) {
    const double xv = xs[i] * xm;
    if (!haveX || !(xv == lastX)) {
      lastX = xv;
      lastXPixel = h.ValueToPixel(xv);
      haveX = true;
    }
    const TPoint point{lastXPixel, yPixel(ys[i] * ym)};
    if (pointerHit && std::abs(point.X - x) < Pointer.HorizSize() && std::abs(point.Y - y) < Pointer.VertSize()) return i;
    if (point == t) return i;
    if (i > FirstDrawIndex && LineHitTest && PointOnSegment(previous, point, t)) return i - 1;
    previous = point;
  }
  return -1;
}

}  // namespace ninetrace
