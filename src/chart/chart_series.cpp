#include "chart/chart_series.h"

#include "chart/axis_panel.h"
#include "chart/chart_canvas.h"

namespace ninetrace {

TChartSeries::TChartSeries() : XValues(this, "X"), YValues(this, "Y") {
  XValues.Order = loAscending;
  YValues.Order = loNone;
}

TChartSeries::~TChartSeries() {
  // Empties like Clear, without the hooks or a repaint of a chart we are leaving anyway.
  XValues.RemoveAll();
  YValues.RemoveAll();
  pointColors_.Clear();
  pointLabels_.Clear();
  SetParentChart(nullptr);
}

std::int32_t TChartSeries::AddPointWithEntries(double x, double y, std::string_view label, TColor color) {
  XValues.PendingValue = x;
  YValues.PendingValue = y;
  if (OnBeforeAdd && !OnBeforeAdd(this)) return -1;
  const std::int32_t index = XValues.AddInOrder(XValues.PendingValue);
  YValues.InsertAt(index, YValues.PendingValue);
  if (color == clDefault && label.empty()) {  // every point the traces add: no entries to store
    pointColors_.InsertDefault(index);
    pointLabels_.InsertDefault(index);
  } else {
    pointColors_.Insert(index, color);
    pointLabels_.Insert(index, label.empty() ? nullptr : std::make_unique<std::string>(label));
  }
  if (OnAfterAdd) OnAfterAdd(this, index);
  if (active_) RequestRepaint();
  return index;
}

void TChartSeries::Clear() {
  XValues.RemoveAll();
  YValues.RemoveAll();
  pointColors_.Clear();
  pointLabels_.Clear();
  if (OnClearValues) OnClearValues(this);
  if (active_ && parentChart_ && !parentChart_->Destroying()) RequestRepaint();
}

TColor TChartSeries::PointColor(std::int32_t i) const {
  if (i >= pointColors_.Count()) return seriesColor_;
  const TColor* entry = pointColors_.Find(i);
  if (entry && *entry != clDefault) return *entry;
  if (colorEachPoint_) return SeriesPalette[static_cast<std::size_t>(i) % SeriesPalette.size()];
  return seriesColor_;
}

std::string TChartSeries::PointLabel(std::int32_t i) const {
  const TPointLabel* entry = pointLabels_.Find(i);
  return entry && *entry ? **entry : std::string();
}

void TChartSeries::SetTitle(const std::string& value) {
  if (value == title_) return;
  title_ = value;
  RequestRepaint();
}

void TChartSeries::SetSeriesColor(TColor value) {
  if (value == seriesColor_) return;
  seriesColor_ = value;
  RequestRepaint();
}

void TChartSeries::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  RequestRepaint();
}

void TChartSeries::SetColorEachPoint(bool value) {
  if (!value) pointColors_.ResetToDefault();
  if (value == colorEachPoint_) return;
  colorEachPoint_ = value;
  RequestRepaint();
}

void TChartSeries::SetShowInLegend(bool value) {
  if (value == showInLegend_) return;
  showInLegend_ = value;
  RequestRepaint();
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
  if (value == horizAxis_) return;
  horizAxis_ = value;
  ResolveAxes();
  RequestRepaint();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
  if (value == vertAxis_) return;
  vertAxis_ = value;
  ResolveAxes();
  RequestRepaint();
}

void TChartSeries::SetCustomHorizAxis(TChartAxis* axis) {
  customHorizAxis_ = axis;
  ResolveAxes();
}

void TChartSeries::SetCustomVertAxis(TChartAxis* axis) {
  customVertAxis_ = axis;
  ResolveAxes();
}

void TChartSeries::ResolveAxes() {
  if (!parentChart_) {
    plotHorizAxis_ = plotVertAxis_ = nullptr;
    return;
  }
  plotHorizAxis_ = &parentChart_->BottomAxis();
  if (horizAxis_ == aTopAxis)
    plotHorizAxis_ = &parentChart_->TopAxis();
  else if (horizAxis_ == aCustomHorizAxis && customHorizAxis_)
    plotHorizAxis_ = customHorizAxis_;
  plotVertAxis_ = &parentChart_->LeftAxis();
  if (vertAxis_ == aRightAxis)
    plotVertAxis_ = &parentChart_->RightAxis();
  else if (vertAxis_ == aCustomVertAxis && customVertAxis_)
    plotVertAxis_ = customVertAxis_;
}

bool TChartSeries::AssociatedWith(const TChartAxis* axis) const {
  if (axis->Horizontal()) return horizAxis_ == aBothHorizAxis || axis == plotHorizAxis_;
  return vertAxis_ == aBothVertAxis || axis == plotVertAxis_;
}

void TChartSeries::SetParentChart(TCustomAxisPanel* chart) {
  if (chart == parentChart_) return;
  if (parentChart_) {
    parentChart_->seriesList_.Remove(this);
    parentChart_->Invalidate();
  }
  parentChart_ = chart;
  ResolveAxes();
  if (chart && !chart->seriesList_.Contains(this)) {
    if (seriesColor_ == clDefault) SetSeriesColor(chart->FreeSeriesColor());
    chart->seriesList_.Add(this);
    chart->Invalidate();
  }
}

// Walks the x list against the horizontal axis; with x in ascending order inside the axis
// range both loops stop at once, so this costs nothing per paint in the normal case.
void TChartSeries::ComputeDrawRange() {
  FirstDrawIndex = LastDrawIndex = -1;
  const std::int32_t count = PointCount();
  if (count == 0) return;
  const std::int32_t last = count - 1;
  if (!LimitDrawRange || XValues.Order == loNone) {
    FirstDrawIndex = 0;
    LastDrawIndex = last;
    return;
  }
  const TChartAxis& axis = *plotHorizAxis_;
  const TRect& r = parentChart_->ChartRect;
  const double lo = axis.PixelToValue(axis.Inverted() ? r.Right : r.Left);
  std::int32_t first = 0;
  while (XAt(first) < lo) {
    if (++first > last) return;
  }
  FirstDrawIndex = first;
  const double hi = axis.PixelToValue(axis.Inverted() ? r.Left : r.Right);
  if (XValues.LastValue() <= hi) {
    LastDrawIndex = last;
    return;
  }
  std::int32_t lastDrawn = first;
  while (XAt(lastDrawn) < hi) {
    if (++lastDrawn > last) {
      lastDrawn = last;
      break;
    }
  }
  if (!ExtendPastEdge && XAt(lastDrawn) > hi) --lastDrawn;
  LastDrawIndex = lastDrawn;
}

void TChartSeries::DrawSeriesPass(TChartCanvas& canvas, bool clipPoints) {
  clipPoints = clipPoints && !canvas.ForbidsClipping();
  ComputeDrawRange();
  if (FirstDrawIndex == -1) return;
  if (BeforeDrawValues) BeforeDrawValues(this);
  if (clipPoints) canvas.ClipToPlotArea(parentChart_->ChartRect);
  canvas_ = &canvas;
  DrawValueRange();
  canvas_ = nullptr;
  if (clipPoints) canvas.RemoveClip();
  if (AfterDrawValues) AfterDrawValues(this);
}

void TChartSeries::DrawValueRange() {
  for (std::int32_t i = FirstDrawIndex; i <= LastDrawIndex; ++i) DrawLineValue(i);
}

}  // namespace ninetrace
