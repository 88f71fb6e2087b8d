#include "chart/chart.h"

#include <algorithm>
#include <cstdint>

#include "chart/chart_errors.h"
#include "chart/chart_math.h"
#include "chart/chart_series.h"
#include "platform/raster_surface.h"

namespace ninetrace {

TChart::TChart()
    : BackWall([this] { Invalidate(); }),
      LeftWall([this] { Invalidate(); }),
      BottomWall([this] { Invalidate(); }),
      Title([this] { Invalidate(); }),
      Foot([this] { Invalidate(); }),
      Legend([this] { Invalidate(); }) {
  BackWall.SetBrushStyle(bsClear);
  LeftWall.SetColor(0x80FFFF);
  BottomWall.SetColor(0xFFFFFF);
  canvas_.SetWindowImage(&WindowImage());
  canvas_.OnChange = [this] { Invalidate(); };
}

TChart::~TChart() { canvas_.SetWindowImage(nullptr); }

void TChart::SetHost(TChartHost* host) {
  host_ = host;
  HostResized();
}

void TChart::SetSize(std::int32_t width, std::int32_t height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  if (!host_) canvas_.SetWindowImage(&WindowImage());
  Invalidate();
}

void TChart::HostResized() {
  if (host_) {
    width_ = host_->WindowImage().Width();
    height_ = host_->WindowImage().Height();
  }
  canvas_.SetWindowImage(&WindowImage());
  Invalidate();
}

TRasterImage& TChart::WindowImage() {
  if (host_) return host_->WindowImage();
  if (ownWindow_.Width() != width_ || ownWindow_.Height() != height_) ownWindow_ = TRasterImage(width_, height_);
  return ownWindow_;
}

void TChart::SetChart3DPercent(std::int32_t value) {
  if (value < 1 || value > 100) throw ChartException(FormatMessage("3D effect percent must be between %d and %d", 1, 100));
  if (value == chart3DPercent_) return;
  chart3DPercent_ = value;
  Invalidate();
}

// ---- Repaint path -------------------------------------------------------------------------

void TChart::Invalidate() {
  if (!AutoRepaint) return;
  TCustomAxisPanel::Invalidate();
  canvas_.MarkDirty();
  // Thousands of requests between two paints ask the window only once.
  if (host_ && !paintRequested_) {
    paintRequested_ = true;
    host_->InvalidateWindow();
  }
}

void TChart::Refresh() {
  Invalidate();
  if (host_)
    host_->UpdateNow();
  else
    Paint();
}

void TChart::Paint() {
  paintRequested_ = false;
  TRasterImage& window = WindowImage();
  if (canvas_.RedrawFromImage(&window)) return;
  Draw(&window, {0, 0, window.Width(), window.Height()});
}

void TChart::Draw(TRasterImage* target, const TRect& rect) {
  const TRect bounds = canvas_.BeginPaint(target, rect);
  RenderChart(bounds);
  canvas_.EndPaint(target, {rect.Left, rect.Top});
  ++framesDrawn_;
}

TPoint TChart::GetCursorPos() const {
  if (CursorSource) return CursorSource();
  return host_ ? host_->CursorPos() : TPoint{};
}

// ---- Drawing pass -------------------------------------------------------------------------

void TChart::NormalizeChartRect(const TRect& bounds) {
  TRect& r = ChartRect;
  if (r.Left < bounds.Left) r.Left = bounds.Left;
  if (r.Top < bounds.Top) r.Top = bounds.Top;
  if (r.Left > r.Right)
    r.Right = r.Left + 1;
  else if (r.Left == r.Right)
    r.Right = r.Left + width_;
  if (r.Top > r.Bottom)
    r.Bottom = r.Top + 1;
  else if (r.Top == r.Bottom)
    r.Bottom = r.Top + height_;
}

bool TChart::IsAxisShown(const TChartAxis& axis) const {
  if (!axisVisible_ || !axis.Visible()) return false;
  if (axis.IsDepthAxis()) return view3D_;
  bool anyActive = false;
  for (const TChartSeries* s : SeriesList()) {
    if (!s->Active()) continue;
    anyActive = true;
    if (s->AssociatedWith(&axis)) return true;
  }
  return !anyActive;
}

std::int32_t TChart::WallDepth(const TChartAxis& axis) const {
  if (!view3D_ || !view3DWalls_) return 0;
  if (&axis == &LeftAxis()) return LeftWall.Size();
  if (&axis == &BottomAxis()) return BottomWall.Size();
  return 0;
}

namespace {

// The rectangle moved in by n on every side; huge widths saturate instead of wrapping round.
TRect Inset(const TRect& r, std::int32_t n) {
  auto at = [](std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {at(std::int64_t{r.Left} + n), at(std::int64_t{r.Top} + n), at(std::int64_t{r.Right} - n), at(std::int64_t{r.Bottom} - n)};
}

}  // namespace

void TChart::DrawPanelFrame(const TRect& bounds) {
  TRect r = bounds;
  auto bevel = [&](TPanelBevel kind) {
    if (kind == bvNone) return;
    const bool lowered = kind == bvLowered;
    const std::int32_t n = bevelWidth_;
    canvas_.FramedBorder(r, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow, n);
    r = Inset(r, n);
  };
  canvas_.SetBrushStyle(bsClear);
  bevel(bevelOuter_);
  if (borderWidth_ > 0) {
    const std::int32_t b = borderWidth_;
    canvas_.FramedBorder(r, Color(), Color(), b);
    r = Inset(r, b);
  }
  bevel(bevelInner_);
}

void TChart::LayoutChart(const TRect& bounds) {
  for (std::size_t i = 0; i < AxisCount; ++i) Axis(i).FixScale();
  NormalizeChartRect(bounds);
  TRect r = ChartRect;
  for (std::size_t i = 0; i < AxisCount; ++i) {
    if (!IsAxisShown(Axis(i))) continue;
    TRect t = r;
    Axis(i).ReserveAxisSpace(canvas_, t);
    TRect both;
    if (IntersectRect(t, r, both)) r = both;
  }
  ChartRect = r;
  NormalizeChartRect(bounds);
  for (std::size_t i = 0; i < AxisCount; ++i) Axis(i).UpdatePixelRange(ChartRect);
  for (TChartAxis* axis : {&TopAxis(), &LeftAxis(), &RightAxis(), &BottomAxis()}) axis->ApplySeriesMargins(ChartRect);
}

void TChart::DrawBackWall() {
  canvas_.ApplyChartPen(BackWall.Pen);
  if (BackWall.Color() == clDefault && BackWall.Brush().Style == bsSolid)
    canvas_.SetBrushStyle(bsClear);
  else
    canvas_.SetBrush(BackWall.Color(), BackWall.Brush().Style);
  const TRect& r = ChartRect;
  canvas_.Rectangle(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
}

void TChart::RenderChart(const TRect& bounds) {
  const std::int32_t w = bounds.Width(), h = bounds.Height(), b = borderWidth_;
  ChartRect = {bounds.Left + MulDiv(marginLeft_, w, 100) + b, bounds.Top + MulDiv(marginTop_, h, 100) + b,
               bounds.Right - b - MulDiv(marginRight_, w, 100), bounds.Bottom - b - MulDiv(marginBottom_, h, 100)};
  NormalizeChartRect(bounds);

  canvas_.SetBrush(Color(), bsSolid);
  canvas_.FillRect(bounds);
  canvas_.SetPen(clBlack);
  DrawPanelFrame(bounds);
  // Titles with text and a visible legend would take room here; this chart shows neither.
  LayoutChart(bounds);
  DrawBackWall();

  if (axisVisible_) {
    if (OnBeforeDrawAxes) OnBeforeDrawAxes(this);
    for (std::size_t i = 0; i < AxisCount; ++i)
      if (IsAxisShown(Axis(i))) Axis(i).DrawAxis(canvas_);
  }
  if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
  for (TChartSeries* s : SeriesList())
    if (s->Active()) s->DrawSeriesPass(canvas_, clipPoints_);
  if (ZoomDrag.Active) InvertZoomFrame();
  canvas_.ResetCanvas();
  if (OnAfterDraw) OnAfterDraw(this);
}

void TChart::InvertZoomFrame() {
  TColor pen = ColorToRGB(Color());
  if (pen == 0xFFFFFF) pen = clBlack;
  canvas_.SetPen(pen, 1, psSolid, pmNotXor);
  canvas_.SetBrushStyle(bsClear);
  canvas_.Rectangle(ZoomDrag.StartX, ZoomDrag.StartY, ZoomDrag.EndX, ZoomDrag.EndY);
  // Outside a paint the outline went straight onto the window image: show it.
  if (host_ && canvas_.Surface().Target() == &host_->WindowImage()) host_->ShowWindowImage();
}

// ---- Mouse --------------------------------------------------------------------------------

void TChart::HostButtonDown(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool doubleClick) {
  if (button == mbLeft) {
    if (doubleClick) {
      if (OnDblClick) OnDblClick(this);
      shift |= ssDouble;
    } else {
      clickedMark_ = true;
    }
  }
  MouseDown(button, shift, x, y);
}

void TChart::HostButtonUp(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y) {
  if (button == mbLeft && clickedMark_) {
    clickedMark_ = false;
    if (x >= 0 && x < width_ && y >= 0 && y < height_ && OnClick) OnClick(this);
  }
  MouseUp(button, shift, x, y);
}

}  // namespace ninetrace
