// How an axis takes its room from the chart rectangle, its label step and its label texts.
#include <algorithm>
#include <cmath>
#include <string>

#include "chart/axis_panel.h"
#include "chart/chart_axis.h"
#include "chart/chart_canvas.h"
#include "chart/chart_series.h"

namespace ninetrace {

namespace {

// 1, 2, 5, 10, 20, 50, ...: the next step up from x.
double NextNiceStep(double x) {
  if (!(x > 0) || !std::isfinite(x)) return 1;
  if (x >= 10) return NextNiceStep(x * 0.1) * 10;
  if (x < 1) return NextNiceStep(x * 10) * 0.1;
  if (x < 2) return 2;
  if (x < 5) return 5;
  return 10;
}

}  // namespace

double AxisNextNiceStep(double x) { return NextNiceStep(x); }

QString TChartAxis::LabelText(double value) const {
  QString text = FormatAxisValue(value);
  if (chart_ && chart_->OnGetAxisLabel) chart_->OnGetAxisLabel(const_cast<TChartAxis*>(this), value, text);
  return text;
}

void TChartAxis::UpdateDateTimeFlag() {
  dateTime_ = false;
  if (!chart_) return;
  for (const TChartSeries* s : chart_->SeriesList()) {
    if (s->Active() && s->AssociatedWith(this)) {
      dateTime_ = Horizontal() ? s->XValues.DateTime() : s->YValues.DateTime();
      return;
    }
  }
}

TAxisLabelStyle TChartAxis::EffectiveLabelStyle() const {
  if (labelStyle_ != talAuto) return labelStyle_;
  if (!chart_ || IsDepthAxis()) return talValue;
  bool any = false;
  for (const TChartSeries* s : chart_->SeriesList()) {
    if (!s->Active() || !s->AssociatedWith(this)) continue;
    any = true;
    if (Horizontal() && s->PointCount() > 0 && !s->PointLabel(0).empty()) return talText;
  }
  return any ? talValue : talNone;
}

std::int32_t TChartAxis::Take(TRect& rect, std::int32_t size) const {
  switch (kind_) {
    case TAxisKind::Bottom: return rect.Bottom -= size;
    case TAxisKind::Top: return rect.Top += size;
    case TAxisKind::Left: return rect.Left += size;
    default: return rect.Right -= size;
  }
}

std::int32_t TChartAxis::TickRoom() const {
  std::int32_t room = (Axis.Visible() ? Axis.Width() : 0) + (Ticks.Visible() ? tickLength_ : 0);
  if (MinorTicks.Visible() && minorTickLength_ > room) room = minorTickLength_;
  return room;
}

std::int32_t TChartAxis::WallDepth() const { return chart_ ? chart_->WallDepth(*this) : 0; }

void TChartAxis::ApplySeriesMargins(const TRect& chartRect) {
  if (!chart_) return;
  std::int32_t a = 0, b = 0;
  for (const TChartSeries* s : chart_->SeriesList()) {
    if (!s->Active() || !s->AssociatedWith(this)) continue;
    std::int32_t first = 0, second = 0;
    if (Horizontal()) {
      s->HorizontalMargins(first, second);  // left, right
      if (automaticMinimum_) a = std::max(a, first);
      if (automaticMaximum_) b = std::max(b, second);
    } else {
      s->VerticalMargins(first, second);  // top, bottom
      if (automaticMaximum_) a = std::max(a, first);
      if (automaticMinimum_) b = std::max(b, second);
    }
  }
  // Mapping the ends back and forth could move a range by a rounding step: leave it untouched.
  if (a == 0 && b == 0) return;
  const std::int32_t s0 = PixelStart, e0 = PixelEnd;
  PixelStart += a;
  PixelEnd -= b;
  PixelSize = PixelEnd - PixelStart;
  const double low = PixelToValue(s0), high = PixelToValue(e0);
  UpdatePixelRange(chartRect);
  ScaleMin = std::min(low, high);
  ScaleMax = std::max(low, high);
  ScaleRange = ScaleMax - ScaleMin;
}

std::int32_t TChartAxis::LabelSize(TChartCanvas& canvas) const {
  if (labelsSize_ != 0) return labelsSize_;
  canvas.SetFont(labelsFont_.Name, labelsFont_.Size, labelsFont_.Color);
  // Labels run across a horizontal axis at angle 0, so their height is what counts.
  if (Horizontal()) return canvas.TextHeight("W");
  const double step = LabelStep(canvas);
  auto end = [&](double v) { return roundFirstLabel_ && step > 0 ? std::trunc(v / step) * step : v; };
  const std::int32_t a = canvas.TextWidth(LabelText(end(ScaleMax)));
  const std::int32_t b = canvas.TextWidth(LabelText(end(ScaleMin)));
  return (a > b ? a : b) + canvas.TextWidth(" ");
}

void TChartAxis::ReserveAxisSpace(TChartCanvas& canvas, TRect& rect) {
  UpdateDateTimeFlag();
  if (IsDepthAxis()) {
    TitlePos = rect.Right;
  } else if (!titleCaption_.isEmpty()) {
    canvas.SetFont(titleFont_.Name, titleFont_.Size, titleFont_.Color);
    TitlePos = Take(rect, titleSize_ != 0 ? titleSize_ : canvas.TextHeight("W"));
  }
  if (labels_) LabelsPos = Take(rect, LabelSize(canvas));
  const std::int32_t room = TickRoom() + WallDepth();
  if (room > 0) Take(rect, room);
  TitlePos = MoveByPosition(TitlePos, rect);
  LabelsPos = MoveByPosition(LabelsPos, rect);
}

std::int32_t TChartAxis::MoveByPosition(std::int32_t pos, const TRect& r) const {
  if (positionPercent_ == 0) return pos;
  const long double across = Horizontal() ? r.Height() : r.Width();
  const auto d = static_cast<std::int32_t>(RoundEven(positionPercent_ * 0.01L * across));
  return (kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Right) ? pos - d : pos + d;
}

double TChartAxis::LabelStep(TChartCanvas& canvas) const {
  canvas.SetFont(labelsFont_.Name, labelsFont_.Size, labelsFont_.Color);
  const QString hi = LabelText(ScaleMax), lo = LabelText(ScaleMin);
  std::int32_t m = Horizontal() ? std::max(canvas.TextWidth(hi), canvas.TextWidth(lo))
                                : std::max(canvas.TextHeight(hi), canvas.TextHeight(lo));
  std::int64_t count = 1;
  if (m > 0) {
    const std::int64_t room = labelsSeparation_ == 0 ? m : m + RoundEven(labelsSeparation_ * 0.01L * m);
    count = RoundEven(PixelSize * 1.0L / room);
  }
  if (count < 1) return 1e-12;
  double s = increment_ > 0 ? increment_ : (std::fabs(ScaleRange) >= 1 ? 1 : 1e-12);
  if (labelsSeparation_ > 0) {
    std::int64_t n = count + 1;
    for (;;) {
      const double q = ScaleRange / s;
      if (std::fabs(q) < 2147483647.0) n = RoundEven(q);
      if (n <= count) break;
      // A range too wide for any finite step leaves the largest one; drawing then skips it.
      const double next = NextNiceStep(s);
      if (!std::isfinite(next) || !(next > s)) break;
      s = next;
    }
  }
  return s > 1e-12 ? s : 1e-12;
}

}  // namespace ninetrace
