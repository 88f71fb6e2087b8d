// Lines and strokes of the raster surface. The chart draws millions of short segments per
// frame, so lines never go through QPainter: they are walked with an integer error term
// straight on the image's scanlines.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "platform/raster_internal.h"

namespace ninetrace {
namespace raster {
namespace {

// Bounds the round brush table; wider pens are drawn as a capsule, row by row.
constexpr std::int32_t kWidestPen = 1024;

std::int64_t ClampToSteps(TWide v, std::int64_t count) {
  if (v < 0) return 0;
  if (v > count) return count;
  return static_cast<std::int64_t>(v);
}

// Division rounding up, for a positive divisor.
TWide CeilDiv(TWide num, TWide den) {
  TWide q = num / den;
  if (num % den != 0 && num > 0) ++q;
  return q;
}

// Right/bottom exclusive, wide enough for clips grown by a brush and for coordinates near the

// ---------------------------------------------------------------------------------------------
// The line rule. A line is walked along its major axis one pixel per step i; the minor
// coordinate after i steps is floor((2*i*dMinor + dMajor) / (2*dMajor)), i.e. the ideal line
// rounded with halves going away from the start.

struct TLineWalk {
  std::int64_t A0, B0;          // start on the major and the minor axis
  std::int64_t DMajor, DMinor;  // DMajor >= DMinor >= 0
  std::int64_t SA, SB;          // step directions: -1, 0 or +1
  bool XMajor;
};

std::int64_t Sign(std::int64_t v) { return (v > 0) - (v < 0); }

TLineWalk MakeWalk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  const std::int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
  const std::int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
  if (dx >= dy) return {x0, y0, dx, dy, Sign(x1 - x0), Sign(y1 - y0), true};
  return {y0, x0, dy, dx, Sign(y1 - y0), Sign(x1 - x0), false};
}

struct TSteps {
  std::int64_t First, Last;  // [First, Last)
  bool Empty() const { return First >= Last; }
};

// Steps i in [0, count) whose pixel lies inside the box. The major coordinate moves one pixel per
// step and the minor one never goes back, so each axis gives one contiguous range of steps.
TSteps StepsInside(const TLineWalk& w, const TBox& box, std::int64_t count) {
  const std::int64_t majLo = w.XMajor ? box.Left : box.Top, majHi = w.XMajor ? box.Right : box.Bottom;
  const std::int64_t minLo = w.XMajor ? box.Top : box.Left, minHi = w.XMajor ? box.Bottom : box.Right;
  TSteps s{0, count};

  if (w.SA > 0) {
    s.First = std::max(s.First, majLo - w.A0);
    s.Last = std::min(s.Last, majHi - w.A0);
  } else if (w.SA < 0) {
    s.First = std::max(s.First, w.A0 - majHi + 1);
    s.Last = std::min(s.Last, w.A0 - majLo + 1);
  } else if (w.A0 < majLo || w.A0 >= majHi) {
    return {0, 0};
  }
  if (s.Empty()) return s;

  if (w.DMinor == 0) {
    if (w.B0 < minLo || w.B0 >= minHi) return {0, 0};
    return s;
  }
  // Range [kLo, kHi) the minor offset must stay in, then the steps where it does.
  const std::int64_t kLo = w.SB > 0 ? minLo - w.B0 : w.B0 - minHi + 1;
  const std::int64_t kHi = w.SB > 0 ? minHi - w.B0 : w.B0 - minLo + 1;
  const TWide twoMaj = TWide{2} * w.DMajor, twoMin = TWide{2} * w.DMinor;
  s.First = std::max(s.First, ClampToSteps(CeilDiv(twoMaj * kLo - w.DMajor, twoMin), count));
  s.Last = std::min(s.Last, ClampToSteps(CeilDiv(twoMaj * kHi - w.DMajor, twoMin), count));
  return s;
}

// Position and error term at step `first`; the error is (2*i*dMinor + dMajor) mod 2*dMajor
// shifted down by 2*dMajor, so "err >= 0" after adding 2*dMinor means the minor offset grew.
struct TWalkState {
  std::int64_t X, Y, Err;
};

TWalkState WalkStart(const TLineWalk& w, std::int64_t first) {
  std::int64_t minorOffset = 0, err = -w.DMajor;
  if (first != 0 && w.DMinor != 0) {
    const TWide num = TWide{2} * first * w.DMinor + w.DMajor, den = TWide{2} * w.DMajor;
    minorOffset = static_cast<std::int64_t>(num / den);
    err = static_cast<std::int64_t>(num % den - den);
  }
  const std::int64_t a = w.A0 + w.SA * first, b = w.B0 + w.SB * minorOffset;
  return w.XMajor ? TWalkState{a, b, err} : TWalkState{b, a, err};
}

// ---------------------------------------------------------------------------------------------
// Per-pixel writers and pen patterns, as small value types so each combination compiles into
// its own tight loop.

struct TCopy {
  std::uint32_t Argb;
  void operator()(std::uint32_t& p) const { p = Argb; }
};

// NOT(colour XOR pixel) on the colour bits is an XOR with the inverted colour.
struct TNotXor {
  std::uint32_t Mask;
  void operator()(std::uint32_t& p) const { p = (p ^ Mask) | kOpaque; }
};

template <class TWrite>
struct TSolid {
  TWrite On;
  void operator()(std::uint32_t& p, std::int64_t) const { On(p); }
};

template <class TWrite>
struct TAlternate {
  TWrite On;
  void operator()(std::uint32_t& p, std::int64_t k) const {
    if ((k & 1) == 0) On(p);
  }
};

template <class TWrite>
struct TDotted {
  TWrite On;
  void operator()(std::uint32_t& p, std::int64_t k) const {
    if (k % 6 < 3) On(p);
  }
};

template <class TWrite>
struct TDottedOpaque {
  TWrite On, Off;
  void operator()(std::uint32_t& p, std::int64_t k) const {
    if (k % 6 < 3)
      On(p);
    else
      Off(p);
  }
};

template <class TWrite, class TFn>
void WithPattern(const TInk& ink, TWrite on, TWrite off, TFn&& fn) {
  switch (ink.Style) {
    case psSolid: fn(TSolid<TWrite>{on}); break;
    case psAlternate: fn(TAlternate<TWrite>{on}); break;
    case psDot:
      if (ink.Opaque)
        fn(TDottedOpaque<TWrite>{on, off});
      else
        fn(TDotted<TWrite>{on});
      break;
    case psClear: break;
  }
}

template <class TFn>
void WithPlotter(const TInk& ink, TFn&& fn) {
  if (ink.Mode == pmNotXor)
    WithPattern(ink, TNotXor{~ink.PenRgb & kColourBits}, TNotXor{~ink.BackRgb & kColourBits}, fn);
  else
    WithPattern(ink, TCopy{ink.PenRgb | kOpaque}, TCopy{ink.BackRgb | kOpaque}, fn);
}

// k counts pixels from the start of the pattern, offsets are into the image.
template <class TPlot>
void RunStraight(std::uint32_t* bits, std::ptrdiff_t off, std::ptrdiff_t step, std::int64_t k,
                 std::int64_t end, const TPlot& plot) {
  for (; k < end; ++k, off += step) plot(bits[off], k);
}

template <class TPlot>
void RunSloped(std::uint32_t* bits, std::ptrdiff_t off, std::ptrdiff_t majorStep, std::ptrdiff_t minorStep,
               std::int64_t err, std::int64_t inc, std::int64_t dec, std::int64_t k, std::int64_t end,
               const TPlot& plot) {
  for (; k < end; ++k) {
    plot(bits[off], k);
    off += majorStep;
    err += inc;
    if (err >= 0) {
      err -= dec;
      off += minorStep;
    }
  }
}

// Width-1 line without its end pixel; `phase` is the pattern position of the first pixel.

}  // namespace

void ThinLine(const TCanvas& canvas, const TInk& ink, std::int64_t x0, std::int64_t y0, std::int64_t x1,
              std::int64_t y1, std::int64_t phase) {
  if (ink.Style == psClear) return;
  const TLineWalk w = MakeWalk(x0, y0, x1, y1);
  if (w.DMajor == 0) return;

  const TRect& c = canvas.Clip;
  const std::int64_t xl = std::min(x0, x1), xr = std::max(x0, x1);
  const std::int64_t yt = std::min(y0, y1), yb = std::max(y0, y1);
  if (xr < c.Left || xl >= c.Right || yb < c.Top || yt >= c.Bottom) return;
  TSteps steps{0, w.DMajor};
  if (xl < c.Left || xr >= c.Right || yt < c.Top || yb >= c.Bottom) {
    steps = StepsInside(w, ToBox(c), w.DMajor);
    if (steps.Empty()) return;
  }

  const TWalkState at = WalkStart(w, steps.First);
  const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(at.Y) * canvas.Stride + static_cast<std::ptrdiff_t>(at.X);
  const std::ptrdiff_t majorStep = static_cast<std::ptrdiff_t>(w.XMajor ? w.SA : w.SA * canvas.Stride);
  const std::ptrdiff_t minorStep = static_cast<std::ptrdiff_t>(w.XMajor ? w.SB * canvas.Stride : w.SB);

  if (w.DMinor == 0 && w.XMajor && ink.Style == psSolid && ink.Mode == pmCopy) {
    const std::int64_t n = steps.Last - steps.First;
    std::uint32_t* p = canvas.Bits + off - (w.SA < 0 ? n - 1 : 0);
    std::fill(p, p + n, ink.PenRgb | kOpaque);
    return;
  }
  WithPlotter(ink, [&](const auto& plot) {
    if (w.DMinor == 0)
      RunStraight(canvas.Bits, off, majorStep, phase + steps.First, phase + steps.Last, plot);
    else
      RunSloped(canvas.Bits, off, majorStep, minorStep, at.Err, 2 * w.DMinor, 2 * w.DMajor,
                phase + steps.First, phase + steps.Last, plot);
  });
}


void PlotInk(const TInk& ink, std::uint32_t& pixel, std::int64_t k) {
  WithPlotter(ink, [&](const auto& plot) { plot(pixel, k); });
}

namespace {

// ---------------------------------------------------------------------------------------------
// Wide lines: a round brush stamped on every pixel of the width-1 line, both ends included.

// The brush covers, in row oy, the columns [Lo(oy), Hi(oy)]; rows and columns run over
// [-(w/2), (w-1)/2] and a cell is inside when its centre, measured from the brush centre in
// half pixels, lies within the circle of diameter w.
class TRoundBrush {
 public:
  explicit TRoundBrush(std::int32_t width) : width_(std::min(width, kWidestPen)), half_(width_ / 2) {
    const std::int64_t odd = width_ % 2, diameter2 = std::int64_t{width_} * width_;
    for (std::int32_t row = 0; row < width_; ++row) {
      const std::int64_t t = 2 * (row - half_) + 1 - odd;
      std::int32_t inset = 0;
      while (true) {
        const std::int64_t s = 2 * (inset - half_) + 1 - odd;
        if (s * s + t * t <= diameter2) break;
        ++inset;
      }
      inset_[static_cast<std::size_t>(row)] = inset;
    }
  }
  std::int32_t Top() const { return -half_; }
  std::int32_t Bottom() const { return (width_ - 1) / 2; }
  std::int32_t Lo(std::int64_t oy) const { return -half_ + Inset(oy); }
  std::int32_t Hi(std::int64_t oy) const { return (width_ - 1) / 2 - Inset(oy); }

 private:
  std::int32_t Inset(std::int64_t oy) const { return inset_[static_cast<std::size_t>(oy + half_)]; }
  std::int32_t width_, half_;
  std::array<std::int32_t, kWidestPen> inset_;  // only the first width_ rows are used
};


// The steps of a wide line's walk (ends included) whose stamps can reach the clip: only centres
// within the clip grown by the brush can touch a clipped pixel.
TSteps StampsReachingClip(const TLineWalk& w, const TRect& c, const TRoundBrush& brush, std::int64_t x0,
                          std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  const TBox reach{std::int64_t{c.Left} - brush.Bottom(), std::int64_t{c.Top} - brush.Bottom(),
                   std::int64_t{c.Right} - brush.Top(), std::int64_t{c.Bottom} - brush.Top()};
  const std::int64_t xl = std::min(x0, x1), xr = std::max(x0, x1);
  const std::int64_t yt = std::min(y0, y1), yb = std::max(y0, y1);
  if (xr < reach.Left || xl >= reach.Right || yb < reach.Top || yt >= reach.Bottom) return {0, 0};
  if (xl < reach.Left || xr >= reach.Right || yt < reach.Top || yb >= reach.Bottom) return StepsInside(w, reach, w.DMajor + 1);
  return {0, w.DMajor + 1};
}

void WideLine(const TCanvas& canvas, std::uint32_t argb, std::int32_t width, std::int64_t x0, std::int64_t y0,
              std::int64_t x1, std::int64_t y1) {
  const TRoundBrush brush(width);
  const TRect& c = canvas.Clip;

  if (x0 == x1) {
    // Union of the stamps: full-width rows between the ends, the brush's own rows beyond them.
    const std::int64_t ya = std::min(y0, y1), yb = std::max(y0, y1);
    const std::int64_t top = std::max<std::int64_t>(ya + brush.Top(), c.Top);
    const std::int64_t bottom = std::min<std::int64_t>(yb + brush.Bottom() + 1, c.Bottom);
    for (std::int64_t y = top; y < bottom; ++y) {
      const std::int64_t oy = y < ya ? y - ya : (y > yb ? y - yb : 0);
      FillSpan(canvas, y, x0 + brush.Lo(oy), x0 + brush.Hi(oy) + 1, argb);
    }
    return;
  }
  if (y0 == y1) {
    const std::int64_t xa = std::min(x0, x1), xb = std::max(x0, x1);
    for (std::int32_t oy = brush.Top(); oy <= brush.Bottom(); ++oy)
      FillSpan(canvas, y0 + oy, xa + brush.Lo(oy), xb + brush.Hi(oy) + 1, argb);
    return;
  }

  const TLineWalk w = MakeWalk(x0, y0, x1, y1);
  const TSteps steps = StampsReachingClip(w, c, brush, x0, y0, x1, y1);
  if (steps.Empty()) return;
  TWalkState at = WalkStart(w, steps.First);
  std::int64_t& a = w.XMajor ? at.X : at.Y;
  std::int64_t& b = w.XMajor ? at.Y : at.X;
  for (std::int64_t i = steps.First; i < steps.Last; ++i) {
    for (std::int32_t oy = brush.Top(); oy <= brush.Bottom(); ++oy)
      FillSpan(canvas, at.Y + oy, at.X + brush.Lo(oy), at.X + brush.Hi(oy) + 1, argb);
    a += w.SA;
    at.Err += 2 * w.DMinor;
    if (at.Err >= 0) {
      at.Err -= 2 * w.DMajor;
      b += w.SB;
    }
  }
}

// A solid stroke of any width: the round brush up to the width of its table, the capsule beyond.
void SolidStroke(const TCanvas& canvas, std::uint32_t argb, std::int32_t width, std::int64_t x0, std::int64_t y0,
                 std::int64_t x1, std::int64_t y1) {
  if (width > kWidestPen)
    CapsuleLine(canvas, argb, width, x0, y0, x1, y1);
  else
    WideLine(canvas, argb, width, x0, y0, x1, y1);
}

// A dotted wide pen keeps its style: dashes of three widths every six along the line (a dotted
// one-pixel pen's pattern, scaled to the width), each a solid stroke; in opaque mode the gaps
// are the background colour. Only dashes that can reach the clip are drawn.
void DottedStroke(const TCanvas& canvas, std::uint32_t argb, std::uint32_t backArgb, bool opaque, std::int32_t width,
                  std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  if (opaque) SolidStroke(canvas, backArgb, width, x0, y0, x1, y1);
  const TLineWalk w = MakeWalk(x0, y0, x1, y1);
  // A dash is drawn as its own line between two pixels of this one, which may stray a pixel from it.
  const std::int64_t grow = width / 2 + 2;
  const TRect& c = canvas.Clip;
  const TSteps steps = StepsInside(w, TBox{c.Left - grow, c.Top - grow, c.Right + grow, c.Bottom + grow}, w.DMajor + 1);
  if (steps.Empty()) return;
  const std::int64_t dash = 3 * std::int64_t{width}, period = 2 * dash;
  for (std::int64_t start = steps.First / period * period; start < steps.Last; start += period) {
    const std::int64_t last = std::min(start + dash, w.DMajor + 1) - 1;
    const TWalkState a = WalkStart(w, start), b = WalkStart(w, last);
    SolidStroke(canvas, argb, width, a.X, a.Y, b.X, b.Y);
  }
}

// The stamps of centres in one column, ya..yb, as WideLine's vertical case: the brush's centre
// row on every row between the ends, its own rows beyond them; the long middle written straight.
void WideColumn(const TCanvas& canvas, std::uint32_t argb, const TRoundBrush& brush, std::int64_t x, std::int64_t ya,
                std::int64_t yb) {
  const TRect& c = canvas.Clip;
  for (std::int64_t oy = brush.Top(); oy < 0; ++oy) FillSpan(canvas, ya + oy, x + brush.Lo(oy), x + brush.Hi(oy) + 1, argb);
  const std::int64_t l = std::max<std::int64_t>(x + brush.Lo(0), c.Left);
  const std::int64_t r = std::min<std::int64_t>(x + brush.Hi(0) + 1, c.Right);
  const std::int64_t t = std::max<std::int64_t>(ya, c.Top), b = std::min<std::int64_t>(yb + 1, c.Bottom);
  if (l < r && t < b) {
    // Two pixels a row at width 2: a plain pair of stores beats a fill call on every row.
    std::uint32_t* p = canvas.Row(t) + l;
    const std::int64_t n = r - l;
    if (n == 2)
      for (std::int64_t y = t; y < b; ++y, p += canvas.Stride) p[0] = p[1] = argb;
    else
      for (std::int64_t y = t; y < b; ++y, p += canvas.Stride) std::fill(p, p + n, argb);
  }
  for (std::int64_t oy = 1; oy <= brush.Bottom(); ++oy) FillSpan(canvas, yb + oy, x + brush.Lo(oy), x + brush.Hi(oy) + 1, argb);
}

// The stamps of centres in one row, xa..xb, as WideLine's horizontal case.
void WideRow(const TCanvas& canvas, std::uint32_t argb, const TRoundBrush& brush, std::int64_t y, std::int64_t xa,
             std::int64_t xb) {
  for (std::int32_t oy = brush.Top(); oy <= brush.Bottom(); ++oy)
    FillSpan(canvas, y + oy, xa + brush.Lo(oy), xb + brush.Hi(oy) + 1, argb);
}

// The same pixels as WideLine: its centres grouped into the straight runs the walk makes (runs
// down a column for steep lines, along a row for flat ones), each run's stamps filled at once
// the way the straight cases are. The steep segments between the columns of a dense trace
// become two or three runs instead of a stamp per row.
void WideLineByRuns(const TCanvas& canvas, std::uint32_t argb, std::int32_t width, std::int64_t x0, std::int64_t y0,
                    std::int64_t x1, std::int64_t y1) {
  const TRoundBrush brush(width);
  const TRect& c = canvas.Clip;
  const TLineWalk w = MakeWalk(x0, y0, x1, y1);
  const TSteps steps = StampsReachingClip(w, c, brush, x0, y0, x1, y1);
  if (steps.Empty()) return;
  TWalkState at = WalkStart(w, steps.First);
  std::int64_t& a = w.XMajor ? at.X : at.Y;
  std::int64_t& b = w.XMajor ? at.Y : at.X;
  std::int64_t runStart = a;
  auto fillRun = [&](std::int64_t runEnd) {
    const std::int64_t lo = std::min(runStart, runEnd), hi = std::max(runStart, runEnd);
    if (w.XMajor)
      WideRow(canvas, argb, brush, at.Y, lo, hi);
    else
      WideColumn(canvas, argb, brush, at.X, lo, hi);
  };
  for (std::int64_t i = steps.First; i + 1 < steps.Last; ++i) {
    at.Err += 2 * w.DMinor;
    if (at.Err >= 0) {
      at.Err -= 2 * w.DMajor;
      fillRun(a);
      b += w.SB;
      runStart = a + w.SA;
    }
    a += w.SA;
  }
  fillRun(a);
}

// Text metrics are always taken at 96 dpi, with or without a target.

}  // namespace
}  // namespace raster

using namespace raster;

void TRasterSurface::LineTo(std::int32_t x, std::int32_t y) {
  const std::int64_t x0 = penX_, y0 = penY_;
  penX_ = x;
  penY_ = y;
  if (penStyle_ == psClear) return;
  // Dense traces give many empty and off-screen segments: reject them before touching the image.
  if (penWidth_ <= 1 && ((x0 == x && y0 == y) || std::max<std::int64_t>(x0, x) < clip_.Left ||
                         std::min<std::int64_t>(x0, x) >= clip_.Right || std::max<std::int64_t>(y0, y) < clip_.Top ||
                         std::min<std::int64_t>(y0, y) >= clip_.Bottom))
    return;
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas)) return;
  if (penWidth_ <= 1) {
    const TInk ink{penRgb_, ColorRefToRgb(backgroundColor_), penStyle_, penMode_, backgroundMode_ == bmOpaque};
    ThinLine(canvas, ink, x0, y0, x, y, 0);
  } else {
    // Stamps overlap, so a wide stroke is always copied: not-xor is a width-1 mode.
    if (penStyle_ == psDot)
      DottedStroke(canvas, penRgb_ | kOpaque, ColorRefToRgb(backgroundColor_) | kOpaque, backgroundMode_ == bmOpaque,
                   penWidth_, x0, y0, x, y);
    else
      SolidStroke(canvas, penRgb_ | kOpaque, penWidth_, x0, y0, x, y);
  }
}

// ---------------------------------------------------------------------------------------------

TLineBatch::TLineBatch(TRasterSurface& surface, std::int32_t width) : width_(std::max(width, 1)) {
  TCanvas canvas;
  if (!OpenCanvas(surface.Target(), surface.ClipRect(), canvas)) return;
  bits_ = canvas.Bits;
  stride_ = canvas.Stride;
  clip_ = canvas.Clip;
}

void TLineBatch::SetColor(TColorRef color) { argb_ = ColorRefToRgb(color) | kOpaque; }

void TLineBatch::Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const {
  if (bits_ == nullptr) return;
  const TCanvas canvas{bits_, stride_, clip_};
  if (width_ > kWidestPen) {
    CapsuleLine(canvas, argb_, width_, x0, y0, x1, y1);
    return;
  }
  if (width_ > 1) {
    WideLineByRuns(canvas, argb_, width_, x0, y0, x1, y1);
    return;
  }
  if ((x0 == x1 && y0 == y1) || std::max(x0, x1) < clip_.Left || std::min(x0, x1) >= clip_.Right ||
      std::max(y0, y1) < clip_.Top || std::min(y0, y1) >= clip_.Bottom)
    return;
  const TInk ink{argb_ & kColourBits, 0, psSolid, pmCopy, false};
  ThinLine(canvas, ink, x0, y0, x1, y1, 0);
}

void TLineBatch::Column(std::int32_t x, std::int32_t yTop, std::int32_t yBottom) const {
  if (bits_ == nullptr || yTop > yBottom) return;
  if (width_ > kWidestPen) {
    CapsuleLine(TCanvas{bits_, stride_, clip_}, argb_, width_, x, yTop, x, yBottom);
    return;
  }
  if (width_ > 1) {
    WideColumn(TCanvas{bits_, stride_, clip_}, argb_, TRoundBrush(width_), x, yTop, yBottom);
    return;
  }
  if (x < clip_.Left || x >= clip_.Right) return;
  const std::int32_t top = std::max(yTop, clip_.Top), bottom = std::min(yBottom, clip_.Bottom - 1);
  if (top > bottom) return;
  std::uint32_t* p = bits_ + static_cast<std::ptrdiff_t>(top) * stride_ + x;
  for (std::int32_t y = top; y <= bottom; ++y, p += stride_) *p = argb_;
}


}  // namespace ninetrace
