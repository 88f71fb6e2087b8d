#include "chart/chart_canvas.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cstdint>
#include <cstring>

namespace ninetrace {

namespace {

std::int32_t Saturate(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

void TChartCanvas::SetWindowImage(TRasterImage* image) {
  window_ = image;
  surface_.SetTarget(image);
}

void TChartCanvas::ApplyChartPen(const TChartPen& pen) {
  if (!pen.Visible()) {
    surface_.SetPen(surface_.PenColor(), surface_.PenWidth(), psClear, surface_.PenMode());
    return;
  }
  if (pen.SmallDots() && pen.Width() == 1) {
    surface_.SetPen(ColorToRGB(pen.Color()), 1, psAlternate, pmCopy);
    return;
  }
  surface_.SetPen(ColorToRGB(pen.Color()), pen.Width(), pen.Style(), pen.Mode());
}

// Ring k draws along column L + k, row T + k, column R - k and row B - k, so it can touch the clip
// only when one of those lies in the clip's columns or rows: four runs of k, each no longer than
// the clip. Only the rings in them are drawn; the pen ends where the last ring would leave it.
void TChartCanvas::FramedBorder(TRect r, TColor topLeft, TColor bottomRight, std::int32_t count) {
  if (count <= 0) return;
  const std::int64_t left = r.Left, top = r.Top, right = std::int64_t{r.Right} - 1, bottom = std::int64_t{r.Bottom} - 1;
  const TRect c = surface_.ClipRect();
  // k with lo <= base + sign * k < hi, within 0 .. count - 1.
  auto run = [count](std::int64_t base, std::int64_t sign, std::int64_t lo, std::int64_t hi) {
    const std::int64_t a = sign > 0 ? lo - base : base - hi + 1, b = sign > 0 ? hi - base : base - lo + 1;
    return std::pair{std::max<std::int64_t>(a, 0), std::min<std::int64_t>(b, count)};
  };
  std::array<std::pair<std::int64_t, std::int64_t>, 4> runs = {
      run(left, 1, c.Left, c.Right), run(top, 1, c.Top, c.Bottom), run(right, -1, c.Left, c.Right),
      run(bottom, -1, c.Top, c.Bottom)};
  std::sort(runs.begin(), runs.end());
  std::int64_t next = 0;  // rings below this are drawn or known not to touch the clip
  for (const auto& [from, to] : runs) {
    for (std::int64_t k = std::max(from, next); k < to; ++k) {
      // A side pushed past the 32-bit range lies outside any image: held at the range's end.
      const std::int32_t l = Saturate(left + k), t = Saturate(top + k), rr = Saturate(right - k), b = Saturate(bottom - k);
      SetPen(topLeft);
      MovePenTo(l, b);
      LinePenTo(l, t);
      LinePenTo(rr, t);
      SetPen(bottomRight);
      LinePenTo(rr, b);
      LinePenTo(l - 1, b);
    }
    next = std::max(next, to);
  }
  SetPen(bottomRight);
  const std::int64_t k = count - 1;
  MovePenTo(Saturate(left + k - 1), Saturate(bottom - k));
}

void TChartCanvas::Draw(std::int32_t x, std::int32_t y, const TRasterImage* picture) {
  if (picture == nullptr || picture->IsNull()) return;
  surface_.SetBackgroundColor(surface_.BrushColor());
  surface_.DrawImage(x, y, *picture);
}

void TChartCanvas::StretchDraw(const TRect& r, const TRasterImage* picture) {
  if (picture == nullptr || picture->IsNull()) return;
  surface_.StretchDrawImage(r, *picture);
}

void TChartCanvas::ResetCanvas() {
  surface_.SetPen(ColorToRGB(clBlack), 1, psSolid, pmCopy);
  surface_.SetBrush(ColorToRGB(clWhite), bsSolid);
  surface_.SetFontColor(ColorToRGB(clBlack));
  surface_.SetFontSize(10);
  surface_.SetBackgroundColor(ColorToRGB(clWhite));
  surface_.SetBackgroundMode(bmTransparent);
}

void TChartCanvas::SetBufferedDisplay(bool value) {
  if (value == buffered_) return;
  buffered_ = value;
  if (!value) {
    offscreen_ = TRasterImage();
    dirty_ = true;
  }
}

void TChartCanvas::SetMonochrome(bool value) {
  if (value == monochrome_) return;
  monochrome_ = value;
  offscreen_ = TRasterImage();
  dirty_ = true;
  if (OnChange) OnChange();
}

TRect TChartCanvas::BeginPaint(TRasterImage* surface, const TRect& bounds) {
  if (!buffered_) {
    surface_.SetTarget(surface);
    return bounds;
  }
  const std::int32_t w = bounds.Width(), h = bounds.Height();
  if (!offscreen_.IsNull() && (offscreen_.Width() != w || offscreen_.Height() != h)) offscreen_ = TRasterImage();
  if (offscreen_.IsNull()) offscreen_ = TRasterImage(w, h);
  surface_.SetTarget(&offscreen_);
  return {0, 0, w, h};
}

void TChartCanvas::EndPaint(TRasterImage* target, TPoint at) {
  if (buffered_) {
    if (monochrome_) offscreen_.MakeMonochrome();
    if (target) CopyImage(offscreen_, *target, at);
    dirty_ = false;
  }
  surface_.SetTarget(window_);
}

bool TChartCanvas::RedrawFromImage(TRasterImage* target) {
  if (dirty_ || offscreen_.IsNull() || !target) return false;
  CopyImage(offscreen_, *target, {0, 0});
  return true;
}

void CopyImage(const TRasterImage& from, TRasterImage& to, TPoint at) {
  const std::int32_t x0 = std::max(0, at.X), y0 = std::max(0, at.Y);
  const std::int32_t x1 = std::min(to.Width(), at.X + from.Width());
  const std::int32_t y1 = std::min(to.Height(), at.Y + from.Height());
  if (x1 <= x0 || y1 <= y0) return;
  const QImage& src = from.Image();
  for (std::int32_t y = y0; y < y1; ++y) {
    const auto* s = reinterpret_cast<const std::uint32_t*>(src.constScanLine(y - at.Y)) + (x0 - at.X);
    std::memcpy(to.Row(y) + x0, s, sizeof(std::uint32_t) * static_cast<std::size_t>(x1 - x0));
  }
}

}  // namespace ninetrace
