#include "app/labelled_axes.h"

#include <cmath>

#include "app/readout_text.h"

namespace ninetrace {

namespace {

// Light grey on the black chart; the default labels are black on black.
constexpr TColor LabelColor = clSilver;

}  // namespace

TLabelledAxes::TLabelledAxes(TChart& chart, const TTraceSet& traces, const TChannelScales& channels, TBottomSource bottom)
    : chart_(chart), traces_(traces), channels_(channels), bottom_(std::move(bottom)) {}

TLabelledAxes::TAxisSettings TLabelledAxes::Take(const TChartAxis& axis) {
  return {axis.Labels(), axis.RoundFirstLabel(), axis.LabelsSize(), axis.LabelsSeparation(), axis.Increment(),
          axis.LabelsFont()};
}

void TLabelledAxes::Put(TChartAxis& axis, const TAxisSettings& s) {
  axis.SetLabels(s.Labels);
  axis.SetRoundFirstLabel(s.RoundFirstLabel);
  axis.SetLabelsSize(s.LabelsSize);
  axis.SetLabelsSeparation(s.LabelsSeparation);
  axis.SetIncrement(s.Increment);
  axis.SetLabelsFont(s.Font);
}

void TLabelledAxes::SetOn(bool on) {
  if (on == On()) return;
  TChartAxis& bottom = chart_.BottomAxis();
  TChartAxis& left = chart_.LeftAxis();
  if (!on) {
    chart_.OnGetAxisLabel = nullptr;
    Put(bottom, saved_->Bottom);
    Put(left, saved_->Left);
    saved_.reset();
    chart_.Invalidate();
    return;
  }
  saved_ = TSaved{Take(bottom), Take(left)};
  TAxisSettings b = saved_->Bottom;
  b.LabelsSize = 0;  // room for the whole text height
  b.Font.Color = LabelColor;
  Put(bottom, b);
  TAxisSettings l = saved_->Left;
  l.Labels = true;
  l.LabelsSize = 0;  // as wide as the widest label
  l.Increment = LeftIncrement;
  l.RoundFirstLabel = true;  // labels on whole hundreds of codes
  l.Font.Color = LabelColor;
  Put(left, l);
  chart_.OnGetAxisLabel = [this](TChartAxis* axis, double value, QString& text) {
    if (axis == &chart_.LeftAxis()) text = LeftText(value);
    else if (axis == &chart_.BottomAxis()) text = BottomText(value);
  };
  chart_.Invalidate();
}

const TChannelScale* TLabelledAxes::LeftScale() const {
  for (std::size_t t = 0; t < 5; ++t)
    if (channels_[t].Scaled && traces_[t].LinePen.Visible()) return &channels_[t];
  return nullptr;
}

QString TLabelledAxes::LeftText(double value) const {
  const int code = static_cast<int>(std::lround(value * 4));
  if (const TChannelScale* scale = LeftScale()) return ScaledText(*scale, code);
  return QString::number(code);
}

QString TLabelledAxes::BottomText(double value) const {
  // A label every 0.47 s on a page needs the milliseconds; on the overview seconds do.
  if (const std::optional<TRecordTime> time = bottom_.TimeAt ? bottom_.TimeAt(value) : std::nullopt)
    return FormatTimeOfDay(*time, !(bottom_.Overview && bottom_.Overview()));
  if (const std::optional<std::int64_t> record = bottom_.RecordAt ? bottom_.RecordAt(value) : std::nullopt)
    return QString::number(*record);
  return QString::fromStdString(FormatDecimal(value, 3));
}

}  // namespace ninetrace
