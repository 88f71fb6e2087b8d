// Dense line drawing. The whole-file overview puts hundreds of points into every pixel column,
// and drawn one by one they are mostly one-pixel vertical strokes over each other. Here the
// chain of segments inside a column is reduced to the pixels it sets, one span per column,
// while every segment that leaves a column is drawn as before. Pixels, the pen left on the
// canvas and PrevX/PrevY/PrevColor come out exactly as the per-segment drawing leaves them.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>

#include "chart/axis_panel.h"
#include "chart/chart_canvas.h"
#include "chart/custom_series.h"
#include "chart/pixel_memo.h"

namespace ninetrace {
namespace {

bool InGuard(std::int32_t v) { return v >= -TCustomSeries::CoordinateLimit && v <= TCustomSeries::CoordinateLimit; }

// Pixels a chain of vertical steps has reached, and which of its extremes it has left again.
struct TChain {
  std::int32_t Y = 0, Low = 0, High = 0;
  bool LowLeft = false, HighLeft = false;

  void Start(std::int32_t y) {
    Y = Low = High = y;
    LowLeft = HighLeft = false;
  }
  // A step to where the chain already is sets nothing. Branch-free: in noisy data every one
  // of these comparisons is a coin toss.
  void Step(std::int32_t y) {
    const bool moved = y != Y;
    LowLeft = LowLeft | (moved & (Y == Low));
    HighLeft = HighLeft | (moved & (Y == High));
    Y = y;
    const bool lower = y < Low, higher = y > High;
    Low = lower ? y : Low;
    High = higher ? y : High;
    LowLeft = LowLeft & !lower;
    HighLeft = HighLeft & !higher;
  }
};

// The segments of one colour in one pixel column, as a chain of vertical steps from its first
// point. At width 1 a step sets the pixel it starts on and those it passes, never the one it
// ends on, so the chain sets lowest..highest except an extreme it only ever arrived at: one
// it has not left again by the time the run ends, which can only be where the chain ends.
// Wider pens stamp every pixel of every step, both ends included: lowest..highest as soon as
// the chain has moved at all.
// Segments of one colour may be drawn in any order; a change of colour flushes the run first,
// so later colours still cover earlier ones where they overlap.
class TColumnRun {
 public:
  TColumnRun(TLineBatch* batch, bool wide) : batch_(batch), wide_(wide) {}

  bool Active() const { return active_; }
  std::int32_t X() const { return x_; }
  std::int32_t Y() const { return chain_.Y; }
  TColor Color() const { return color_; }

  // Whether a segment from (x, y) in `color` carries on this chain.
  bool Continues(std::int32_t x, std::int32_t y, TColor color) const {
    return active_ && x == x_ && y == chain_.Y && color == color_;
  }

  // Whether the run knows which of its extremes it has left; Extend forgets it.
  bool KnowsExtremes() const { return extremesKnown_; }
  // Where the chain started and the index of the first point that may follow that start.
  std::int32_t StartY() const { return startY_; }
  std::int32_t StartIndex() const { return startIndex_; }
  void SetLeft(bool low, bool high) {
    chain_.LowLeft = low;
    chain_.HighLeft = high;
    extremesKnown_ = true;
  }

  // A segment the per-segment drawing would draw (not empty, not a gap's) ending on point `index`.
  // A run that does not continue must know its extremes before this is called.
  void Segment(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, TColor color, std::int32_t index) {
    if (!Continues(x0, y0, color)) {
      FlushAlone();
      if (color != color_) {
        color_ = color;
        if (batch_) batch_->SetColor(ColorToRGB(color));
      }
      active_ = true;
      Start(x0, y0, index);
    }
    if (x1 == x_) {
      Step(y1);
      return;
    }
    // The segment leaving the column starts on the chain's last pixel, the only one the chain
    // itself may have left unset, so the whole span can go without knowing the extremes.
    if (chain_.Low < chain_.High) Span(chain_.Low, chain_.High);
    if (batch_) batch_->Line(x0, y0, x1, y1);
    Start(x1, y1, index + 1);
  }

  void Step(std::int32_t y) { chain_.Step(y); }

  // Steps whose pixels reached low..high and ended on y, without tracking which extremes were left.
  void Extend(std::int32_t low, std::int32_t high, std::int32_t y) {
    chain_.Low = std::min(chain_.Low, low);
    chain_.High = std::max(chain_.High, high);
    chain_.Y = y;
    extremesKnown_ = false;
  }

  // Draws the run when nothing continues from its last pixel.
  void FlushAlone() const {
    if (!active_ || chain_.Low == chain_.High) return;
    if (wide_)
      Span(chain_.Low, chain_.High);
    else
      Span(chain_.LowLeft ? chain_.Low : chain_.Low + 1, chain_.HighLeft ? chain_.High : chain_.High - 1);
  }

 private:
  void Start(std::int32_t x, std::int32_t y, std::int32_t next) {
    x_ = x;
    chain_.Start(y);
    startY_ = y;
    startIndex_ = next;
    extremesKnown_ = true;
  }

  // Wide pens stamp nothing for a chain that never moved.
  void Span(std::int32_t top, std::int32_t bottom) const {
    if (batch_ && (top < bottom || (top == bottom && !wide_))) batch_->Column(x_, top, bottom);
  }

  TLineBatch* batch_;  // null while the pen draws nothing
  bool wide_;
  bool active_ = false;
  TColor color_ = clNone;
  std::int32_t x_ = 0;
  TChain chain_;
  bool extremesKnown_ = true;
  std::int32_t startY_ = 0, startIndex_ = 0;
};

// One drawing pass over FirstDrawIndex..LastDrawIndex: the per-point logic of DrawLineValue,
// step for step, with its segments handed to the column run.
class TMergedPass {
 public:
  TMergedPass(const TCustomSeries& series, TLineBatch* batch, bool wide)
      : series_(series),
        h_(*series.PlotHorizAxis()),
        v_(*series.PlotVertAxis()),
        xs_(series.XValues.Data()),
        ys_(series.YValues.Data()),
        xm_(series.XValues.Multiplier()),
        ym_(series.YValues.Multiplier()),
        first_(series.FirstDrawIndex),
        last_(series.LastDrawIndex),
        yMemo_(v_),
        run_(batch, wide),
        px_(series.PrevX),
        py_(series.PrevY),
        pc_(series.PrevColor) {
    lastRawX_ = std::bit_cast<std::uint64_t>(xs_[first_]);
    lastXPixel_ = h_.ValueToPixel(xs_[first_] * xm_);
  }

  std::int32_t PrevX() const { return px_; }
  std::int32_t PrevY() const { return py_; }
  TColor PrevColor() const { return pc_; }
  const TColumnRun& Run() const { return run_; }

  // Every point may carry its own colour or be a gap.
  void DrawAnyColours() {
    for (std::int32_t i = Start([this](std::int32_t k) { return series_.PointColor(k); }); i <= last_; ++i)
      Point(i, series_.PointColor(i));
    run_.FlushAlone();
  }

  // Every point has the series colour, which is not clNone: no gaps, no colour changes, and
  // after the first segment the chain is never broken, so only the end of the pass flushes a
  // run on its own and needs to know its extremes.
  void DrawPlainColour(TColor color) {
    for (std::int32_t i = Start([color](std::int32_t) { return color; }); i <= last_; ++i) {
      if (run_.Continues(px_, py_, color) && InGuard(px_)) {
        i = TakeColumn(i);
        if (i > last_) break;
      }
      Point(i, color);
    }
    if (run_.Active()) LearnExtremes(last_);
    run_.FlushAlone();
  }

 private:
  std::int32_t XPixel(std::int32_t i) {
    // Sorted x values come in long runs of equal ones.
    const auto raw = std::bit_cast<std::uint64_t>(xs_[i]);
    if (raw != lastRawX_) {
      lastRawX_ = raw;
      lastXPixel_ = h_.ValueToPixel(xs_[i] * xm_);
    }
    return lastXPixel_;
  }
  std::int32_t YPixel(std::int32_t i) { return yMemo_(ys_[i] * ym_); }

  // The first point, and when it lies beyond the guard the points up to the first inside it,
  // where the line starts afresh: nothing is joined to where an earlier pass left off. Returns
  // the index the ordinary walk goes on from.
  template <class TColourOf>
  std::int32_t Start(TColourOf colourOf) {
    if (FirstPoint(colourOf(first_))) return first_ + 1;
    for (std::int32_t i = first_ + 1; i <= last_; ++i) {
      const std::int32_t x = XPixel(i), y = YPixel(i);
      pc_ = colourOf(i);
      if (InGuard(x) && InGuard(y)) {
        px_ = x;
        py_ = y;
        return i + 1;
      }
    }
    return last_ + 1;
  }

  // Whether the first point lies inside the guard.
  bool FirstPoint(TColor color) {
    const std::int32_t i = first_, x = XPixel(i), y = YPixel(i);
    pc_ = color;
    if (InGuard(x) && InGuard(y)) {
      px_ = x;
      py_ = y;
      if (i > 0) {
        // The point before lies left of the chart: enter at the edge, at the line's height there.
        const TRect& r = series_.ParentChart()->ChartRect;
        px_ = h_.Inverted() ? r.Right : r.Left;
        py_ = series_.EdgeYPosition(i - 1, h_.PixelToValue(px_));
        if (!series_.IsGap(i - 1) && !(x == px_ && y == py_) && color != clNone) run_.Segment(px_, py_, x, y, color, i);
      }
      px_ = x;
      py_ = y;
      return true;
    }
    return false;
  }

  void Point(std::int32_t i, TColor color) {
    const std::int32_t x = XPixel(i), y = YPixel(i);
    if (InGuard(x) && InGuard(y)) {
      if (pc_ == clNone) {  // nothing is ever joined to a gap
        px_ = x;
        py_ = y;
      }
      if (!(x == px_ && y == py_) && color != clNone) run_.Segment(px_, py_, x, y, color, i);
      px_ = x;
      py_ = y;
    }
    pc_ = color;
  }

  // Points from i on that lie in the column of the chain's end, which they only extend: per
  // block of equal x, the extremes of the values give the extremes of the pixels, as the
  // mapping never runs backwards. Returns the first point left.
  std::int32_t TakeColumn(std::int32_t i) {
    const std::int32_t column = px_;
    while (i <= last_) {
      if (XPixel(i) != column) return i;
      const std::uint64_t raw = lastRawX_;
      std::int32_t end = i + 1;
      double low = ys_[i], high = low;
      bool nan = low != low;
      for (; end <= last_ && std::bit_cast<std::uint64_t>(xs_[end]) == raw; ++end) {
        const double v = ys_[end];
        low = v < low ? v : low;
        high = v > high ? v : high;
        nan = nan | (v != v);
      }
      if (!nan && ExtendByValues(low, high, end - 1)) {
        i = end;
        continue;
      }
      for (; i < end; ++i) {
        const std::int32_t y = YPixel(i);
        if (!InGuard(y)) continue;
        run_.Extend(y, y, y);
        py_ = y;
      }
    }
    return i;
  }

  // Extends the run by the points up to `lastIndex` whose values span low..high, if that
  // decides their pixels: both ends mapped in the axis' plain linear way (its fallback for
  // values beyond any pixel answers the centre, so a centre answer stays undecided) and
  // inside the guard, so every point between is too.
  bool ExtendByValues(double low, double high, std::int32_t lastIndex) {
    const std::int32_t a = yMemo_(low * ym_), b = yMemo_(high * ym_);
    if (a == v_.PixelCentre || b == v_.PixelCentre || !InGuard(a) || !InGuard(b)) return false;
    const std::int32_t y = YPixel(lastIndex);
    run_.Extend(std::min(a, b), std::max(a, b), y);
    py_ = y;
    return true;
  }

  // Before a run is flushed on its own: walks its chain again, up to `lastIndex`, to learn
  // which extremes it left. Only runs extended by blocks need it, once per pass.
  void LearnExtremes(std::int32_t lastIndex) {
    if (run_.KnowsExtremes()) return;
    TChain chain;
    chain.Start(run_.StartY());
    for (std::int32_t k = run_.StartIndex(); k <= lastIndex; ++k) {
      const std::int32_t x = XPixel(k), y = YPixel(k);
      if (InGuard(x) && InGuard(y)) chain.Step(y);
    }
    run_.SetLeft(chain.LowLeft, chain.HighLeft);
  }

  const TCustomSeries& series_;
  const TChartAxis& h_;
  const TChartAxis& v_;
  const double* xs_;
  const double* ys_;
  double xm_, ym_;
  std::int32_t first_, last_;
  std::uint64_t lastRawX_ = 0;
  std::int32_t lastXPixel_ = 0;
  TPixelMemo yMemo_;
  TColumnRun run_;
  std::int32_t px_, py_;
  TColor pc_;
};

enum class TInkKind { None, Solid, Patterned };

// What the line pen puts on the canvas, by the canvas' own pen rules: hidden and clear pens
// draw nothing; wider pens are solid copies unless dotted; width 1 may carry a pattern or not-xor.
TInkKind InkOf(const TChartPen& pen) {
  if (!pen.Visible()) return TInkKind::None;
  if (pen.SmallDots() && pen.Width() == 1) return TInkKind::Patterned;
  if (pen.Style() == psClear) return TInkKind::None;
  if (pen.Width() > 1) return pen.Style() == psDot ? TInkKind::Patterned : TInkKind::Solid;
  return pen.Style() == psSolid && pen.Mode() == pmCopy ? TInkKind::Solid : TInkKind::Patterned;
}

}  // namespace

void TCustomSeries::DrawValueRange() {
  placed_ = false;
  const TInkKind ink = InkOf(LinePen);
  // Patterns restart at every segment and not-xor toggles overlaps, so neither can be merged.
  if (PerSegmentDrawing || stairs_ || ink == TInkKind::Patterned) {
    TChartSeries::DrawValueRange();
    return;
  }
  DrawMergedRange(ink == TInkKind::Solid);
}

void TCustomSeries::DrawMergedRange(bool ink) {
  std::optional<TLineBatch> batch;
  if (ink) batch.emplace(canvas_->Surface(), LinePen.Width());
  TMergedPass pass(*this, batch && batch->Ready() ? &*batch : nullptr, LinePen.Width() > 1);
  if (!PointColors().IsMaterialized() && !ColorEachPoint() && SeriesColor() != clNone)
    pass.DrawPlainColour(SeriesColor());
  else
    pass.DrawAnyColours();

  // Leave the canvas as the last drawn segment would have left it.
  if (pass.Run().Active()) {
    PrepareLinePen(pass.Run().Color());
    canvas_->MovePenTo(pass.Run().X(), pass.Run().Y());
  }
  PrevX = pass.PrevX();
  PrevY = pass.PrevY();
  PrevColor = pass.PrevColor();
}

}  // namespace ninetrace
