#include "chart/chart_axis.h"

#include <cmath>
#include <utility>

#include "chart/axis_panel.h"
#include "chart/chart_errors.h"

namespace ninetrace {

TChartAxis::TChartAxis(TCustomAxisPanel* chart, TAxisKind kind) : visible_(kind != TAxisKind::Depth), chart_(chart), kind_(kind) {
  for (TChartPen* pen : {static_cast<TChartPen*>(&Axis), static_cast<TChartPen*>(&Grid), static_cast<TChartPen*>(&MinorGrid),
                         static_cast<TChartPen*>(&Ticks), static_cast<TChartPen*>(&TicksInner), static_cast<TChartPen*>(&MinorTicks)})
    pen->SetOnChange([this] { RequestRepaint(); });
  ticks_.reserve(MaxTicks);
}

void TChartAxis::RequestRepaint() {
  if (chart_) chart_->Invalidate();
}

void TChartAxis::SetInverted(bool value) { Change(inverted_, value); }
void TChartAxis::SetVisible(bool value) { Change(visible_, value); }

namespace {
// Drawing walks labels from one end to the other: an infinite or undefined end never gets there.
void CheckFinite(double value, const char* message) {
  if (!std::isfinite(value)) throw AxisException(message);
}
constexpr const char* kMinimumNotFinite = "Axis Minimum Value must be a finite number";
constexpr const char* kMaximumNotFinite = "Axis Maximum Value must be a finite number";
}  // namespace

void TChartAxis::SetMinimum(double value) {
  CheckFinite(value, kMinimumNotFinite);
  if (!Loading && value > maximum_) throw AxisException("Axis Minimum Value must be <= Maximum");
  Change(minimum_, value);
}

void TChartAxis::SetMaximum(double value) {
  CheckFinite(value, kMaximumNotFinite);
  if (!Loading && value < minimum_) throw AxisException("Axis Maximum Value must be >= Minimum");
  Change(maximum_, value);
}

void TChartAxis::SetIncrement(double value) {
  if (!(value >= 0)) throw AxisException("Axis increment must be >= 0");
  Change(increment_, value);
}

void TChartAxis::SetLabelsSeparation(std::int32_t value) {
  if (value < 0) throw AxisException("Labels Separation % must be greater than 0");
  Change(labelsSeparation_, value);
}

void TChartAxis::SetAutomatic(bool value) {
  Change(automatic_, value);
  if (!Loading) {
    Change(automaticMinimum_, value);
    Change(automaticMaximum_, value);
  }
}

void TChartAxis::SetAutomaticMinimum(bool value) {
  Change(automaticMinimum_, value);
  if (!value || automaticMaximum_) Change(automatic_, value);
}

void TChartAxis::SetAutomaticMaximum(bool value) {
  Change(automaticMaximum_, value);
  if (!value || automaticMinimum_) Change(automatic_, value);
}

void TChartAxis::SetRange(double minimum, double maximum) {
  CheckFinite(minimum, kMinimumNotFinite);
  CheckFinite(maximum, kMaximumNotFinite);
  automatic_ = automaticMinimum_ = automaticMaximum_ = false;
  if (minimum > maximum) std::swap(minimum, maximum);
  Change(minimum_, minimum);
  Change(maximum_, maximum);
  if (maximum_ - minimum_ < 1e-10) Change(maximum_, minimum_ + 1e-10);
}

void TChartAxis::RestoreRange(double minimum, double maximum) {
  CheckFinite(minimum, kMinimumNotFinite);
  CheckFinite(maximum, kMaximumNotFinite);
  automatic_ = automaticMinimum_ = automaticMaximum_ = false;
  Change(minimum_, minimum);
  Change(maximum_, maximum);
}

void TChartAxis::UpdatePixelRange(const TRect& r) {
  const std::int32_t origin = Horizontal() ? r.Left : r.Top;
  const long double extent = Horizontal() ? r.Width() : r.Height();
  PixelStart = origin + static_cast<std::int32_t>(RoundEven(extent * 0.01L * startPosition_));
  PixelEnd = origin + static_cast<std::int32_t>(RoundEven(extent * 0.01L * endPosition_));
  PixelSize = PixelEnd - PixelStart;
  PixelCentre = (PixelStart + PixelEnd) / 2;
}

}  // namespace ninetrace
