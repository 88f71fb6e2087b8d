// The base of every series: its points (x, y, colour, label), axes, chart attachment and hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "chart/chart_axis.h"
#include "chart/chart_value_list.h"
#include "chart/colors.h"
#include "chart/axis_panel.h"
#include "chart/point_attribute_list.h"
#include "platform/chart_host.h"

namespace ninetrace {

class TCustomAxisPanel;
class TChartCanvas;

enum THorizAxis { aTopAxis = 0, aBottomAxis = 1, aBothHorizAxis = 2, aCustomHorizAxis = 3 };
enum TVertAxis { aLeftAxis = 0, aRightAxis = 1, aBothVertAxis = 2, aCustomVertAxis = 3 };

// Point labels; only their visibility matters to this program.
struct TSeriesMarks {
  bool Visible = false;
};

class TChartSeries {
 public:
  TChartSeries();
  virtual ~TChartSeries();
  TChartSeries(const TChartSeries&) = delete;
  TChartSeries& operator=(const TChartSeries&) = delete;

  // Points.
  // Inline for the hot case, a point with the default colour, no label and no hooks: the
  // overview adds millions of them between two frames.
  std::int32_t AddPoint(double x, double y, std::string_view label = {}, TColor color = clDefault) {
    if (OnBeforeAdd || OnAfterAdd || color != clDefault || !label.empty()) return AddPointWithEntries(x, y, label, color);
    XValues.PendingValue = x;
    YValues.PendingValue = y;
    const std::int32_t index = XValues.AddInOrder(x);
    YValues.InsertAt(index, y);
    pointColors_.InsertDefault(index);
    pointLabels_.InsertDefault(index);
    if (active_) RequestRepaint();
    return index;
  }
  void Clear();
  std::int32_t PointCount() const { return XValues.Count(); }
  double XAt(std::int32_t i) const { return XValues.ValueAt(i); }
  double YAt(std::int32_t i) const { return YValues.ValueAt(i); }
  TColor PointColor(std::int32_t i) const;
  bool IsGap(std::int32_t i) const { return PointColor(i) == clNone; }
  std::string PointLabel(std::int32_t i) const;
  const TPointColorList& PointColors() const { return pointColors_; }
  const TPointLabelList& PointLabels() const { return pointLabels_; }

  std::int32_t XPixel(std::int32_t i) const { return plotHorizAxis_->ValueToPixel(XAt(i)); }
  std::int32_t YPixel(std::int32_t i) const { return plotVertAxis_->ValueToPixel(YAt(i)); }

  double MinXValue() { return XValues.LowestValue(); }
  double MaxXValue() { return XValues.HighestValue(); }
  double MinYValue() { return YValues.LowestValue(); }
  double MaxYValue() { return YValues.HighestValue(); }

  // Drawn range: FirstDrawIndex..LastDrawIndex, -1 for none.
  void ComputeDrawRange();
  std::int32_t FirstDrawIndex = -1;
  std::int32_t LastDrawIndex = -1;
  bool LimitDrawRange = true;
  bool ExtendPastEdge = false;

  // One series' part of the chart's drawing pass: drawn range, hooks, clip, values.
  void DrawSeriesPass(TChartCanvas& canvas, bool clipPoints);
  // Extra room asked of automatic axes (left, right / top, bottom); none by default.
  virtual void HorizontalMargins(std::int32_t& left, std::int32_t& right) const { left = right = 0; }
  virtual void VerticalMargins(std::int32_t& top, std::int32_t& bottom) const { top = bottom = 0; }
  // Index of the point whose line or pixel lies under (x, y) as last drawn, or -1.
  virtual std::int32_t ClickedPoint(std::int32_t, std::int32_t) const { return -1; }
  using TSeriesClick = std::function<void(TChartSeries* sender, std::int32_t valueIndex, TMouseButton, TShiftState,
                                          std::int32_t x, std::int32_t y)>;
  TSeriesClick OnClick;
  TSeriesClick OnDblClick;
  TCursor Cursor = crDefault;

  std::function<void(TChartSeries* sender)> BeforeDrawValues;
  std::function<void(TChartSeries* sender)> AfterDrawValues;

  // Asks the chart for a repaint; never draws.
  void RequestRepaint();  // defined after the chart panel, below

  // Properties that repaint only when they change.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value);
  TColor SeriesColor() const { return seriesColor_; }
  void SetSeriesColor(TColor value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  bool ColorEachPoint() const { return colorEachPoint_; }
  void SetColorEachPoint(bool value);
  bool ShowInLegend() const { return showInLegend_; }
  void SetShowInLegend(bool value);

  // Axes.
  THorizAxis HorizAxis() const { return horizAxis_; }
  void SetHorizAxis(THorizAxis value);
  TVertAxis VertAxis() const { return vertAxis_; }
  void SetVertAxis(TVertAxis value);
  void SetCustomHorizAxis(TChartAxis* axis);
  void SetCustomVertAxis(TChartAxis* axis);
  TChartAxis* PlotHorizAxis() const { return plotHorizAxis_; }
  TChartAxis* PlotVertAxis() const { return plotVertAxis_; }
  bool AssociatedWith(const TChartAxis* axis) const;

  // Attachment to a chart (nullptr detaches).
  TCustomAxisPanel* ParentChart() const { return parentChart_; }
  void SetParentChart(TCustomAxisPanel* chart);

  std::string Name;
  std::string ValueFormat = "#,##0.###";
  std::string PercentFormat = "##0.## %";
  TSeriesMarks Marks;

  TChartValueList XValues;
  TChartValueList YValues;

  std::function<bool(TChartSeries* sender)> OnBeforeAdd;
  std::function<void(TChartSeries* sender, std::int32_t valueIndex)> OnAfterAdd;
  std::function<void(TChartSeries* sender)> OnClearValues;

 protected:
  std::int32_t AddPointWithEntries(double x, double y, std::string_view label, TColor color);

  // Draws points FirstDrawIndex..LastDrawIndex; the base series draws nothing per value.
  virtual void DrawValueRange();
  virtual void DrawLineValue(std::int32_t) {}
  TChartCanvas* canvas_ = nullptr;  // set while the series draws

 private:
  void ResolveAxes();

  std::string title_;
  TColor seriesColor_ = clDefault;
  bool active_ = true;
  bool colorEachPoint_ = false;
  bool showInLegend_ = true;
  THorizAxis horizAxis_ = aBottomAxis;
  TVertAxis vertAxis_ = aLeftAxis;
  TChartAxis* customHorizAxis_ = nullptr;
  TChartAxis* customVertAxis_ = nullptr;
  TChartAxis* plotHorizAxis_ = nullptr;
  TChartAxis* plotVertAxis_ = nullptr;
  TCustomAxisPanel* parentChart_ = nullptr;
  TPointColorList pointColors_;
  TPointLabelList pointLabels_;
};

inline void TChartSeries::RequestRepaint() {
  if (parentChart_) parentChart_->Invalidate();
}

}  // namespace ninetrace
