#include "chart/axis_panel.h"

#include "chart/chart_series.h"

namespace ninetrace {

TCustomAxisPanel::TCustomAxisPanel() {
  axes_[0] = std::make_unique<TChartAxis>(this, TAxisKind::Bottom);
  axes_[1] = std::make_unique<TChartAxis>(this, TAxisKind::Top);
  axes_[2] = std::make_unique<TChartAxis>(this, TAxisKind::Left);
  axes_[3] = std::make_unique<TChartAxis>(this, TAxisKind::Right);
  axes_[4] = std::make_unique<TChartAxis>(this, TAxisKind::Depth);
}

TCustomAxisPanel::~TCustomAxisPanel() {
  destroying_ = true;
  while (seriesList_.Count() > 0) seriesList_[0]->SetParentChart(nullptr);
}

bool TCustomAxisPanel::HasActiveSeries() const {
  for (const TChartSeries* s : seriesList_)
    if (s->Active()) return true;
  return false;
}

void TCustomAxisPanel::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Invalidate();
}

bool TCustomAxisPanel::IsFreeSeriesColor(TColor color) const {
  for (const TChartSeries* s : seriesList_)
    if (s->SeriesColor() == color) return false;
  return color != color_ && color != BackWallColor();
}

TColor TCustomAxisPanel::FreeSeriesColor() const {
  for (TColor c : SeriesPalette)
    if (IsFreeSeriesColor(c)) return c;
  return SeriesPalette[0];
}

}  // namespace ninetrace
