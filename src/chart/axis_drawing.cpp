// Drawing one axis: labels and the tick list, the axis line, ticks, grid and minor ticks.
#include <cmath>

#include "chart/axis_panel.h"
#include "chart/chart_axis.h"
#include "chart/chart_canvas.h"

namespace ninetrace {

void TChartAxis::DrawLabel(TChartCanvas& canvas, std::int32_t p, const QString& text) const {
  canvas.SetFont(labelsFont_.Name, labelsFont_.Size, labelsFont_.Color);
  canvas.SetBrush(chart_ ? chart_->Color() : clWhite, bsClear);
  canvas.SetBackgroundMode(bmTransparent);  // no box behind the text
  const std::int32_t h = canvas.TextHeight(text);
  switch (kind_) {
    case TAxisKind::Bottom: canvas.TextOut(p, LabelsPos, text, THorzAlign::Centre, TVertAlign::Top); break;
    case TAxisKind::Top: canvas.TextOut(p, LabelsPos, text, THorzAlign::Centre, TVertAlign::Bottom); break;
    case TAxisKind::Left: canvas.TextOut(LabelsPos, p - h / 2, text, THorzAlign::Right); break;
    default: canvas.TextOut(LabelsPos, p - h / 2, text, THorzAlign::Left); break;
  }
}

// Value labels from the largest value down; each emitted value may add a tick and draw a label.
// Far from zero a small step can vanish in the subtraction: the walk ends where v stops moving.
void TChartAxis::EmitValueLabels(TChartCanvas& canvas, double step) {
  if (!(std::fabs(ScaleRange / step) < 10000)) return;
  double v = (ScaleMin == ScaleMax || !roundFirstLabel_) ? ScaleMax : std::trunc(ScaleMax / step) * step;
  auto down = [step](double value) { return static_cast<double>(static_cast<long double>(value) - step); };
  while (v > ScaleMax) {
    const double next = down(v);
    if (!(next < v)) return;
    v = next;
  }
  const double lower = (ScaleMin - 1e-12) / 1.000000000001;
  while (v >= lower) {
    const std::int32_t p = ValueToPixel(v);
    if (labelsOnAxis_ || (PixelStart < p && p < PixelEnd)) {
      // The list holds MaxTicks positions; labels beyond it still draw but add no tick.
      const bool room = ticks_.size() < MaxTicks;
      if (!tickOnLabelsOnly_ && room) ticks_.push_back(p);
      if (labels_) {
        if (tickOnLabelsOnly_ && room) ticks_.push_back(p);
        DrawLabel(canvas, p, LabelText(v));
      }
    }
    const double next = down(v);
    if (!(next < v)) return;
    v = next;
  }
}

void TChartAxis::DrawTick(TChartCanvas& canvas, std::int32_t p, std::int32_t length, bool inner) const {
  if (length <= 0) return;
  // Outer ticks of the bottom and left axes start beyond their wall.
  const std::int32_t wall = inner ? 0 : WallDepth();
  const std::int32_t a = kind_ == TAxisKind::Bottom ? AxisLinePos + wall : kind_ == TAxisKind::Left ? AxisLinePos - wall : AxisLinePos;
  // Outer ticks point away from the chart rectangle, inner ones into it, one pixel off the line.
  const bool away = (kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Right) != inner;
  const std::int32_t from = away ? a + 1 : a - 1;
  const std::int32_t to = away ? from + length : from - length;
  if (Horizontal())
    canvas.DrawLine(p, from, p, to);
  else
    canvas.DrawLine(from, p, to, p);
}

void TChartAxis::DrawGridLine(TChartCanvas& canvas, std::int32_t p) const {
  const TRect& r = chart_->ChartRect;
  if (Horizontal())
    canvas.DrawLine(p, r.Top, p, r.Bottom);
  else
    canvas.DrawLine(r.Left, p, r.Right, p);
}

void TChartAxis::MinorPositions(std::vector<std::int32_t>& out) const {
  out.clear();
  const std::size_t n = ticks_.size();
  const std::int32_t k = minorTickCount_;
  if (n > 1) {
    const double s = (ticks_[1] - ticks_[0]) / static_cast<double>(k + 1);
    for (std::int32_t j = 1; j <= k; ++j) {
      const auto off = static_cast<std::int32_t>(RoundEven(static_cast<long double>(j) * s));
      out.push_back(ticks_[0] - off);
      out.push_back(off + ticks_[n - 1]);
    }
  }
  for (std::size_t i = 1; i < n; ++i) {
    const double s = (ticks_[i] - ticks_[i - 1]) / static_cast<double>(k + 1);
    for (std::int32_t j = 1; j <= k; ++j) out.push_back(ticks_[i] - static_cast<std::int32_t>(RoundEven(static_cast<long double>(j) * s)));
  }
}

void TChartAxis::DrawAxis(TChartCanvas& canvas) {
  UpdateDateTimeFlag();
  canvas.SetFont(labelsFont_.Name, labelsFont_.Size, labelsFont_.Color);
  const double step = LabelStep(canvas);
  const TRect& r = chart_->ChartRect;
  const std::int32_t edge = kind_ == TAxisKind::Bottom ? r.Bottom : kind_ == TAxisKind::Top ? r.Top
                          : kind_ == TAxisKind::Left   ? r.Left   : r.Right;
  AxisLinePos = MoveByPosition(edge, r);

  ticks_.clear();
  if (step > 0 && ScaleMax >= ScaleMin && EffectiveLabelStyle() == talValue) EmitValueLabels(canvas, step);

  if (Axis.Visible()) {
    canvas.ApplyChartPen(Axis);
    // The bottom and left lines run along the front of their walls and across the other's.
    const std::int32_t wall = WallDepth();
    switch (kind_) {
      case TAxisKind::Bottom: {
        const std::int32_t y = AxisLinePos + wall;
        canvas.DrawLine(PixelStart - chart_->WallDepth(chart_->LeftAxis()), y, PixelEnd, y);
        break;
      }
      case TAxisKind::Left: {
        const std::int32_t x = AxisLinePos - wall;
        canvas.DrawLine(x, PixelStart, x, PixelEnd + chart_->WallDepth(chart_->BottomAxis()));
        break;
      }
      default:
        if (Horizontal())
          canvas.DrawLine(PixelStart, AxisLinePos, PixelEnd, AxisLinePos);
        else
          canvas.DrawLine(AxisLinePos, PixelStart, AxisLinePos, PixelEnd);
    }
  }
  if (Ticks.Visible()) {
    canvas.ApplyChartPen(Ticks);
    for (std::int32_t p : ticks_) DrawTick(canvas, p, tickLength_, false);
  }
  if (Grid.Visible()) {
    canvas.SetBrushStyle(bsClear);
    canvas.SetBackgroundMode(bmTransparent);  // the gaps of dotted lines stay untouched
    canvas.ApplyChartPen(Grid);
    if (Grid.Color() == clDefault) canvas.SetPenColor(clGray);
    for (std::size_t i = 0; i < ticks_.size(); ++i) {
      if (!gridCentered_)
        DrawGridLine(canvas, ticks_[i]);
      else if (i > 0)
        DrawGridLine(canvas, static_cast<std::int32_t>(RoundEven((ticks_[i] + ticks_[i - 1]) * 0.5L)));
    }
    canvas.SetBackgroundMode(bmOpaque);
  }
  if (TicksInner.Visible()) {
    canvas.ApplyChartPen(TicksInner);
    for (std::int32_t p : ticks_) DrawTick(canvas, p, tickInnerLength_, true);
  }
  if (ticks_.empty() || (!MinorTicks.Visible() && !MinorGrid.Visible())) return;
  MinorPositions(minor_);
  if (MinorTicks.Visible()) {
    canvas.ApplyChartPen(MinorTicks);
    for (std::int32_t m : minor_)
      if (PixelStart < m && m < PixelEnd) DrawTick(canvas, m, minorTickLength_, false);
  }
  if (MinorGrid.Visible()) {
    canvas.ApplyChartPen(MinorGrid);
    for (std::int32_t m : minor_)
      if (PixelStart < m && m < PixelEnd) DrawGridLine(canvas, m);
  }
}

}  // namespace ninetrace
