// Fills and closed shapes of the raster surface: rectangles, ellipses, arcs, pies, rounded
// rectangles and polygons.
//
// Every curved shape is a set of pixels, found row by row from the pixel centres, inside a
// box whose right and bottom are exclusive like a rectangle's. The pen draws the pixels of the
// set that lie within its width of a pixel outside the set, the brush the rest, so a shape
// never reaches past its box and an outline is never set twice.
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/raster_internal.h"

namespace ninetrace {

namespace raster {
namespace {

// Shapes larger than this on either side are skipped: their row arithmetic would overflow.
constexpr std::int64_t kLargestShape = std::int64_t{1} << 24;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
std::int64_t CeilDiv2(std::int64_t a) { return -FloorDiv(-a, 2); }

std::int64_t ISqrt(TWide v) {
  if (v <= 0) return 0;
  auto r = static_cast<std::int64_t>(std::sqrt(static_cast<long double>(v)));
  while (TWide{r} * r > v) --r;
  while (TWide{r + 1} * (r + 1) <= v) ++r;
  return r;
}

}  // namespace

struct TSpan {
  std::int64_t L, R;  // inclusive
};

namespace {

struct TBoxSize {
  std::int64_t L, T, W, H;
};

// Corners in any order; empty or too large boxes give false.
bool NormalBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TBoxSize& box) {
  box = {std::min(x0, x1), std::min(y0, y1), x0 > x1 ? x0 - x1 : x1 - x0, y0 > y1 ? y0 - y1 : y1 - y0};
  return box.W > 0 && box.H > 0 && box.W <= kLargestShape && box.H <= kLargestShape;
}

// Row k (0 .. h - 1) of the ellipse inscribed in a w x h box: the columns, from 0, whose pixel
// centres lie inside it. In half pixels from the centre a centre lies at (2i + 1 - w, 2k + 1 - h),
// and it is inside when dx^2 h^2 + dy^2 w^2 <= w^2 h^2.
TSpan EllipseRow(std::int64_t w, std::int64_t h, std::int64_t k) {
  const std::int64_t dy = 2 * k + 1 - h;
  const TWide w2 = TWide{w} * w, h2 = TWide{h} * h;
  const std::int64_t m = ISqrt((w2 * h2 - TWide{dy} * dy * w2) / h2);
  return {CeilDiv2(w - 1 - m), FloorDiv(w - 1 + m, 2)};
}


// A box with corners rounded as quarters of an ew x eh ellipse (at its full size, an ellipse),
// row by row: the pixel centres inside a convex outline.
struct TRoundedBox {
  TBoxSize Box;
  std::int64_t Ew, Eh;

  TRoundedBox(const TBoxSize& b, std::int64_t ew, std::int64_t eh)
      : Box(b), Ew(std::min(ew < 0 ? -ew : ew, b.W)), Eh(std::min(eh < 0 ? -eh : eh, b.H)) {}
  // Row j of the box, from 0: its run, in image columns.
  TSpan Row(std::int64_t j) const {
    const std::int64_t fromBottom = Box.H - 1 - j;
    if (Ew > 0 && Eh > 0 && (j < Eh / 2 || fromBottom < Eh / 2)) {
      const TSpan e = EllipseRow(Ew, Eh, j < Eh / 2 ? j : Eh - 1 - fromBottom);
      return {Box.L + e.L, Box.L + Box.W - Ew + e.R};
    }
    return {Box.L, Box.L + Box.W - 1};
  }
  // The pixels of image row y whose neighbours `reach` steps left, right, up and down are inside:
  // in a convex outline those four decide for every pixel between them.
  void DeepRun(std::int64_t y, std::int64_t reach, std::vector<TSpan>& deep) const {
    const std::int64_t k = y - Box.T;
    if (k - reach < 0 || k + reach >= Box.H) return;
    const TSpan mid = Row(k), up = Row(k - reach), down = Row(k + reach);
    const std::int64_t l = std::max({mid.L + reach, up.L, down.L}), r = std::min({mid.R - reach, up.R, down.R});
    if (l <= r) deep.push_back({l, r});
  }
};

}  // namespace

// A set of pixels as runs per row, rows from Top down. Only the rows and columns of the window
// the drawing can reach are held (the clip, grown by the pen's width), so a shape far larger than
// the image costs what its visible part costs.
struct TRegion {
  std::int64_t Top = 0;
  std::vector<std::vector<TSpan>> Rows;
  // Set for a whole ellipse or rounded box, whose pixels are the pixel centres inside a convex
  // outline: a pixel is then deep inside exactly when the four pixels `reach` steps away are
  // inside, so the test needs three rows of the box, computed on the spot, instead of every row
  // within reach.
  const TRoundedBox* Convex = nullptr;

  const std::vector<TSpan>* Row(std::int64_t y) const {
    if (y < Top || y >= Top + static_cast<std::int64_t>(Rows.size())) return nullptr;
    return &Rows[static_cast<std::size_t>(y - Top)];
  }
  // The pixels of row y whose every neighbour within `reach` steps (up, down, left, right) lies
  // inside the set: for each row y + dy, the runs shrunk by reach - |dy| on both sides, and the
  // intersection of those over all dy. A row outside the set leaves nothing.
  void DeepRuns(std::int64_t y, std::int64_t reach, std::vector<TSpan>& deep, std::vector<TSpan>& scratch) const {
    deep.clear();
    if (Convex != nullptr) {
      Convex->DeepRun(y, reach, deep);
      return;
    }
    for (std::int64_t dy = -reach; dy <= reach; ++dy) {
      const std::vector<TSpan>* row = Row(y + dy);
      if (row == nullptr) {
        deep.clear();
        return;
      }
      const std::int64_t run = reach - (dy < 0 ? -dy : dy);
      scratch.clear();
      for (const TSpan& s : *row)
        if (s.L + run <= s.R - run) scratch.push_back({s.L + run, s.R - run});
      if (dy == -reach) {
        deep.swap(scratch);
      } else {
        Intersect(deep, scratch);
      }
      if (deep.empty()) return;
    }
  }

 private:
  // a := a intersected with b; both sorted runs that do not overlap.
  static void Intersect(std::vector<TSpan>& a, const std::vector<TSpan>& b) {
    std::vector<TSpan> out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
      const std::int64_t l = std::max(a[i].L, b[j].L), r = std::min(a[i].R, b[j].R);
      if (l <= r) out.push_back({l, r});
      if (a[i].R < b[j].R) ++i; else ++j;
    }
    a.swap(out);
  }
};

// The rows and columns a drawing may need to look at: right and bottom exclusive.
struct TWindow {
  std::int64_t Left, Top, Right, Bottom;
};

namespace {

// Rows of the box inside the window, each run cut to the window's columns.
template <class TRowFn>
TRegion BoxRegion(const TBoxSize& b, const TWindow& w, TRowFn rowOf) {
  const std::int64_t first = std::max(b.T, w.Top), last = std::min(b.T + b.H, w.Bottom);
  TRegion region{first, {}};
  if (first >= last) return region;
  region.Rows.resize(static_cast<std::size_t>(last - first));
  for (std::int64_t y = first; y < last; ++y) {
    const TSpan s = rowOf(y - b.T);
    const std::int64_t l = std::max(s.L, w.Left), r = std::min(s.R, w.Right - 1);
    if (l <= r) region.Rows[static_cast<std::size_t>(y - first)].push_back({l, r});
  }
  return region;
}

TRegion RoundedRegion(const TRoundedBox& shape, const TWindow& w) {
  return BoxRegion(shape.Box, w, [&](std::int64_t j) { return shape.Row(j); });
}

}  // namespace

// The sweep of an arc or pie: counter-clockwise on screen from the direction of the start point
// to that of the end point, both seen from the box centre; equal directions sweep all round.
class TSweep {
 public:
  TSweep(const TBoxSize& b, std::int64_t xs, std::int64_t ys, std::int64_t xe, std::int64_t ye)
      : cx2_(2 * b.L + b.W), cy2_(2 * b.T + b.H) {
    start_ = Angle(2 * xs - cx2_, 2 * ys - cy2_);
    span_ = Relative(Angle(2 * xe - cx2_, 2 * ye - cy2_));
    if (span_ == 0) span_ = 2 * std::numbers::pi_v<long double>;
  }
  bool Contains(std::int64_t x, std::int64_t y) const { return Relative(Angle(2 * x + 1 - cx2_, 2 * y + 1 - cy2_)) <= span_; }

  // The runs of pixels l..r of row y inside the sweep, appended to `out`. Along a row the
  // direction from the centre turns one way only, so being inside can change only where the row
  // crosses the start or the end direction, or passes the centre: the pixels near those places
  // are tested one by one, and each stretch between them by one of its pixels.
  void AddRuns(std::int64_t y, std::int64_t l, std::int64_t r, std::vector<TSpan>& out) const {
    std::int64_t marks[16];
    std::size_t n = 0;
    auto near = [&](long double x) {
      if (!(x > static_cast<long double>(l) - 3 && x < static_cast<long double>(r) + 3)) return;
      const auto c = static_cast<std::int64_t>(std::floor(x));
      for (std::int64_t d = -2; d <= 2; ++d) marks[n++] = c + d;
    };
    const long double dy2 = static_cast<long double>(2 * y + 1 - cy2_);
    for (const long double a : {start_, start_ + span_}) {
      const long double sine = std::sin(a), cosine = std::cos(a);
      // The ray's points have dx = t cos a, dy = -t sin a with t > 0.
      if (sine != 0 && -dy2 / sine > 0) near((-dy2 * cosine / sine + static_cast<long double>(cx2_ - 1)) / 2);
    }
    near(static_cast<long double>(cx2_ - 1) / 2);
    std::sort(marks, marks + n);
    auto add = [&](std::int64_t from, std::int64_t to) {  // from..to inclusive is inside
      if (!out.empty() && out.back().R + 1 == from) out.back().R = to;
      else out.push_back({from, to});
    };
    std::int64_t x = l;
    for (std::size_t i = 0; i <= n && x <= r; ++i) {
      const std::int64_t mark = i < n ? std::clamp(marks[i], l - 1, r + 1) : r + 1;
      if (x < mark) {  // a stretch without a change
        if (Contains(x, y)) add(x, mark - 1);
        x = mark;
      }
      if (x == mark && x <= r) {
        if (Contains(x, y)) add(x, x);
        ++x;
      }
    }
  }

 private:
  // Screen rows grow downwards, so counter-clockwise means towards smaller y.
  static long double Angle(std::int64_t dx, std::int64_t dy) {
    return std::atan2(static_cast<long double>(-dy), static_cast<long double>(dx));
  }
  long double Relative(long double a) const {
    constexpr long double kTurn = 2 * std::numbers::pi_v<long double>;
    long double r = std::fmod(a - start_, kTurn);
    if (r < 0) r += kTurn;
    return r;
  }
  std::int64_t cx2_, cy2_;
  long double start_ = 0, span_ = 0;
};

namespace {

TRegion SectorOf(const TRegion& whole, const TSweep& sweep) {
  TRegion region{whole.Top, {}};
  region.Rows.resize(whole.Rows.size());
  for (std::size_t k = 0; k < whole.Rows.size(); ++k) {
    const std::int64_t y = whole.Top + static_cast<std::int64_t>(k);
    for (const TSpan& s : whole.Rows[k]) sweep.AddRuns(y, s.L, s.R, region.Rows[k]);
  }
  return region;
}

// Even-odd rule at pixel centres, as a pixel row is crossed half way down.
TRegion PolygonRegion(const TPoint* points, std::int32_t count, const TWindow& w) {
  std::int64_t top = points[0].Y, bottom = points[0].Y;
  for (std::int32_t i = 1; i < count; ++i) {
    top = std::min<std::int64_t>(top, points[i].Y);
    bottom = std::max<std::int64_t>(bottom, points[i].Y);
  }
  top = std::max(top, w.Top);
  bottom = std::min(bottom, w.Bottom);
  TRegion region{top, {}};
  if (bottom <= top) return region;
  region.Rows.resize(static_cast<std::size_t>(bottom - top));
  std::vector<long double> crossings;
  for (std::int64_t y = top; y < bottom; ++y) {
    const long double yc = static_cast<long double>(y) + 0.5L;
    crossings.clear();
    for (std::int32_t i = 0; i < count; ++i) {
      const TPoint& a = points[i];
      const TPoint& b = points[(i + 1) % count];
      if ((a.Y <= yc) == (b.Y <= yc)) continue;
      crossings.push_back(a.X + (yc - a.Y) * (static_cast<long double>(b.X) - a.X) / (static_cast<long double>(b.Y) - a.Y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
      // Pixels whose centre x + 0.5 lies in [from, to).
      const long double from = std::clamp<long double>(crossings[i], w.Left - 1, w.Right + 1);
      const long double to = std::clamp<long double>(crossings[i + 1], w.Left - 1, w.Right + 1);
      const auto l = std::max(static_cast<std::int64_t>(std::ceil(from - 0.5L)), w.Left);
      const auto r = std::min(static_cast<std::int64_t>(std::ceil(to - 0.5L)) - 1, w.Right - 1);
      if (l <= r) region.Rows[static_cast<std::size_t>(y - top)].push_back({l, r});
    }
  }
  return region;
}

}  // namespace

struct TShapePaint {
  TInk Ink;
  std::int32_t PenWidth = 1;
  bool Pen = true;    // outline with the pen
  bool Brush = true;  // fill the rest with the brush
  std::uint32_t BrushArgb = 0;
  const TSweep* OutlineOnly = nullptr;  // an arc: only the outline pixels in this sweep
};

namespace {

void PaintRegion(const TCanvas& canvas, const TRegion& region, const TShapePaint& paint) {
  const TRect& c = canvas.Clip;
  const std::int64_t first = std::max<std::int64_t>(region.Top, c.Top);
  const std::int64_t last = std::min<std::int64_t>(region.Top + static_cast<std::int64_t>(region.Rows.size()), c.Bottom);
  std::vector<TSpan> deep, scratch;
  for (std::int64_t y = first; y < last; ++y) {
    if (paint.Pen) region.DeepRuns(y, paint.PenWidth, deep, scratch);
    std::size_t d = 0;
    for (const TSpan& s : *region.Row(y)) {
      const std::int64_t l = std::max<std::int64_t>(s.L, c.Left), r = std::min<std::int64_t>(s.R, std::int64_t{c.Right} - 1);
      for (std::int64_t x = l; x <= r; ++x) {
        while (d < deep.size() && deep[d].R < x) ++d;
        std::uint32_t& pixel = canvas.Row(y)[x];
        const bool outline = paint.Pen && !(d < deep.size() && deep[d].L <= x);
        if (paint.OutlineOnly != nullptr) {
          if (outline && paint.OutlineOnly->Contains(x, y)) PlotInk(paint.Ink, pixel, x + y);
        } else if (outline) {
          PlotInk(paint.Ink, pixel, x + y);
        } else if (paint.Brush) {
          pixel = paint.BrushArgb;
        }
      }
    }
  }
}

}  // namespace

void FillBox(const TCanvas& canvas, const TBox& box, std::uint32_t argb) {
  const std::int64_t l = std::max<std::int64_t>(box.Left, canvas.Clip.Left);
  const std::int64_t r = std::min<std::int64_t>(box.Right, canvas.Clip.Right);
  const std::int64_t t = std::max<std::int64_t>(box.Top, canvas.Clip.Top);
  const std::int64_t b = std::min<std::int64_t>(box.Bottom, canvas.Clip.Bottom);
  if (l >= r || t >= b) return;
  for (std::int64_t y = t; y < b; ++y) std::fill(canvas.Row(y) + l, canvas.Row(y) + r, argb);
}

}  // namespace raster

using namespace raster;

// ---------------------------------------------------------------------------------------------

void TRasterSurface::FillRect(const TRect& r) {
  TCanvas canvas;
  if (brushStyle_ == bsClear || !OpenCanvas(target_, clip_, canvas)) return;
  FillBox(canvas, ToBox(r), brushRgb_ | kOpaque);
}

void TRasterSurface::Rectangle(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas)) return;
  const std::int64_t l = std::min(x0, x1), r = std::max(x0, x1);
  const std::int64_t t = std::min(y0, y1), b = std::max(y0, y1);
  if (l == r || t == b) return;
  const bool fill = brushStyle_ == bsSolid;
  if (penStyle_ == psClear) {
    if (fill) FillBox(canvas, {l, t, r - 1, b - 1}, brushRgb_ | kOpaque);
    return;
  }

  // One clockwise walk round the border, each pixel once so not-xor toggles corners once too;
  // the pattern carries on from side to side.
  const TInk ink = Ink();
  const std::int64_t w = r - l, h = b - t;
  ThinLine(canvas, ink, l, t, r, t, 0);
  ThinLine(canvas, ink, r - 1, t + 1, r - 1, b, w);
  if (w >= 2 && h >= 2) {
    ThinLine(canvas, ink, r - 2, b - 1, l - 1, b - 1, w + h - 1);
    ThinLine(canvas, ink, l, b - 2, l, t, 2 * w + h - 2);
  }
  if (fill) FillBox(canvas, {l + 1, t + 1, r - 1, b - 1}, brushRgb_ | kOpaque);
}

// The pen and brush as a shape uses them: a clear pen leaves the whole shape to the brush.
void TRasterSurface::PaintShape(const TRegion& region, bool fill, const TSweep* outlineOnly) {
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas)) return;
  TShapePaint paint;
  paint.Ink = Ink();
  paint.PenWidth = penWidth_;
  paint.Pen = penStyle_ != psClear;
  paint.Brush = fill && brushStyle_ == bsSolid;
  paint.BrushArgb = brushRgb_ | kOpaque;
  paint.OutlineOnly = outlineOnly;
  PaintRegion(canvas, region, paint);
}

namespace {

// The clip grown by the pen's reach, which is all a shape's outline test looks at; a pen too
// wide for any pixel of the box to lie deeper than its reach needs no more than the clip.
bool ShapeWindow(TRasterImage* target, const TRect& clip, const TBoxSize& b, std::int64_t reach, TWindow& w) {
  TCanvas canvas;
  if (!OpenCanvas(target, clip, canvas)) return false;
  if (2 * reach + 1 > std::min(b.W, b.H)) reach = 0;
  const TRect& c = canvas.Clip;
  w = {c.Left - reach, c.Top - reach, std::int64_t{c.Right} + reach, std::int64_t{c.Bottom} + reach};
  return true;
}

}  // namespace

// Ellipses and rounded boxes need no rows beyond the clip for their outline (TRegion::Convex).
void TRasterSurface::Ellipse(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  TBoxSize b;
  TWindow w;
  if (!NormalBox(x0, y0, x1, y1, b) || !ShapeWindow(target_, clip_, b, 0, w)) return;
  const TRoundedBox shape(b, b.W, b.H);
  TRegion region = RoundedRegion(shape, w);
  region.Convex = &shape;
  PaintShape(region, true, nullptr);
}

void TRasterSurface::RoundRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t ew,
                               std::int32_t eh) {
  TBoxSize b;
  TWindow w;
  if (!NormalBox(x0, y0, x1, y1, b) || !ShapeWindow(target_, clip_, b, 0, w)) return;
  const TRoundedBox shape(b, ew, eh);
  TRegion region = RoundedRegion(shape, w);
  region.Convex = &shape;
  PaintShape(region, true, nullptr);
}

void TRasterSurface::Arc(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
                         std::int32_t ys, std::int32_t xe, std::int32_t ye) {
  TBoxSize b;
  TWindow w;
  if (penStyle_ == psClear || !NormalBox(x0, y0, x1, y1, b) || !ShapeWindow(target_, clip_, b, 0, w)) return;
  const TSweep sweep(b, xs, ys, xe, ye);
  const TRoundedBox shape(b, b.W, b.H);
  TRegion region = RoundedRegion(shape, w);
  region.Convex = &shape;
  PaintShape(region, false, &sweep);
}

void TRasterSurface::Pie(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
                         std::int32_t ys, std::int32_t xe, std::int32_t ye) {
  TBoxSize b;
  TWindow w;
  if (!NormalBox(x0, y0, x1, y1, b) || !ShapeWindow(target_, clip_, b, PenReach(), w)) return;
  PaintShape(SectorOf(RoundedRegion(TRoundedBox(b, b.W, b.H), w), TSweep(b, xs, ys, xe, ye)), true, nullptr);
}

void TRasterSurface::Polygon(const TPoint* points, std::int32_t count) {
  if (points == nullptr || count < 2) return;
  if (brushStyle_ == bsSolid && count >= 3) {
    TCanvas canvas;
    if (OpenCanvas(target_, clip_, canvas)) {
      const TRect& c = canvas.Clip;
      const TRegion region = PolygonRegion(points, count, {c.Left, c.Top, c.Right, c.Bottom});
      TShapePaint fill;
      fill.Pen = false;
      fill.BrushArgb = brushRgb_ | kOpaque;
      PaintRegion(canvas, region, fill);
    }
  }
  // The outline is the closed run of lines, so every vertex is set exactly once.
  const TPoint keep = PenPos();
  MoveTo(points[0].X, points[0].Y);
  for (std::int32_t i = 1; i < count; ++i) LineTo(points[i].X, points[i].Y);
  LineTo(points[0].X, points[0].Y);
  MoveTo(keep.X, keep.Y);
}

}  // namespace ninetrace
