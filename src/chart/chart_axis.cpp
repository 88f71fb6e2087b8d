#include "chart/chart_axis.h"

#include <utility>

#include "chart/axis_panel.h"

namespace ninetrace {

TChartAxis::TChartAxis(TCustomAxisPanel* chart, TAxisKind kind) : visible_(kind != TAxisKind::Depth), chart_(chart), kind_(kind) {}

void TChartAxis::RequestRepaint() {
  if (chart_) chart_->Invalidate();
}

void TChartAxis::SetInverted(bool value) { Change(inverted_, value); }
void TChartAxis::SetVisible(bool value) { Change(visible_, value); }

void TChartAxis::SetRange(double minimum, double maximum) {
  automatic_ = automaticMinimum_ = automaticMaximum_ = false;
  if (minimum > maximum) std::swap(minimum, maximum);
  Change(minimum_, minimum);
  Change(maximum_, maximum);
  if (maximum_ - minimum_ < 1e-10) Change(maximum_, minimum_ + 1e-10);
}

void TChartAxis::UpdatePixelRange(const TRect& r) {
  const std::int32_t origin = Horizontal() ? r.Left : r.Top;
  const long double extent = Horizontal() ? r.Width() : r.Height();
  PixelStart = origin + static_cast<std::int32_t>(RoundEven(extent * 0.01L * StartPosition));
  PixelEnd = origin + static_cast<std::int32_t>(RoundEven(extent * 0.01L * EndPosition));
  PixelSize = PixelEnd - PixelStart;
  PixelCentre = (PixelStart + PixelEnd) / 2;
}

}  // namespace ninetrace
