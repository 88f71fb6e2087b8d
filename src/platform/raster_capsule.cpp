// Strokes of pens wider than the round brush's table, as the set of pixels near the segment.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/raster_internal.h"

namespace ninetrace::raster {

void FillSpan(const TCanvas& canvas, std::int64_t y, std::int64_t xl, std::int64_t xr, std::uint32_t argb) {
  if (y < canvas.Clip.Top || y >= canvas.Clip.Bottom) return;
  xl = std::max<std::int64_t>(xl, canvas.Clip.Left);
  xr = std::min<std::int64_t>(xr, canvas.Clip.Right);
  if (xl < xr) std::fill(canvas.Row(y) + xl, canvas.Row(y) + xr, argb);
}

// Pens wider than the brush table: every pixel whose centre lies within half the width of the
// segment between the two end pixels, found row by row as one run per row (the stroke is
// convex), so the cost is the rows of the clip, whatever the width.
void CapsuleLine(const TCanvas& canvas, std::uint32_t argb, std::int32_t width, std::int64_t x0, std::int64_t y0,
                 std::int64_t x1, std::int64_t y1) {
  using TReal = long double;
  const TRect& c = canvas.Clip;
  const TReal r = static_cast<TReal>(width) / 2;
  const std::int64_t reach = width / 2 + 1;
  const std::int64_t top = std::max<std::int64_t>(std::min(y0, y1) - reach, c.Top);
  const std::int64_t bottom = std::min<std::int64_t>(std::max(y0, y1) + reach + 1, c.Bottom);
  const TReal dx = static_cast<TReal>(x1 - x0), dy = static_cast<TReal>(y1 - y0);
  const TReal length2 = dx * dx + dy * dy, length = std::sqrt(length2);
  for (std::int64_t y = top; y < bottom; ++y) {
    TReal lo = std::numeric_limits<TReal>::infinity(), hi = -lo;
    auto disc = [&](std::int64_t cx, std::int64_t cy) {
      const TReal oy = static_cast<TReal>(y - cy), room = r * r - oy * oy;
      if (room < 0) return;
      const TReal half = std::sqrt(room);
      lo = std::min(lo, static_cast<TReal>(cx) - half);
      hi = std::max(hi, static_cast<TReal>(cx) + half);
    };
    disc(x0, y0);
    disc(x1, y1);
    if (length2 > 0) {
      // Along: 0 <= (p - a).d <= |d|^2; across: |(p - a) x d| <= r |d|; both linear in x.
      const TReal oy = static_cast<TReal>(y - y0);
      TReal from = -std::numeric_limits<TReal>::infinity(), to = -from;
      auto within = [&](TReal k, TReal constant, TReal low, TReal high) {  // low <= k x' + constant <= high
        if (k == 0) {
          if (constant < low || constant > high) to = from - 1;
          return;
        }
        TReal a = (low - constant) / k, b = (high - constant) / k;
        if (a > b) std::swap(a, b);
        from = std::max(from, a);
        to = std::min(to, b);
      };
      within(dx, oy * dy, 0, length2);
      within(dy, -oy * dx, -r * length, r * length);
      if (from <= to) {
        lo = std::min(lo, static_cast<TReal>(x0) + from);
        hi = std::max(hi, static_cast<TReal>(x0) + to);
      }
    }
    if (lo > hi) continue;
    const TReal left = std::max(std::ceil(lo), static_cast<TReal>(c.Left));
    const TReal right = std::min(std::floor(hi) + 1, static_cast<TReal>(c.Right));
    if (left < right) FillSpan(canvas, y, static_cast<std::int64_t>(left), static_cast<std::int64_t>(right), argb);
  }
}

}  // namespace ninetrace::raster
