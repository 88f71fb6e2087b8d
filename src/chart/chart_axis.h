// An axis of the chart: its range settings and the value <-> pixel mappings every position goes through.
#pragma once

#include <cmath>
#include <cstdint>

#include "chart/chart_math.h"
#include "platform/geometry.h"

namespace ninetrace {

class TCustomAxisPanel;

enum class TAxisKind { Bottom, Top, Left, Right, Depth };

class TChartAxis {
 public:
  TChartAxis(TCustomAxisPanel* chart, TAxisKind kind);
  virtual ~TChartAxis() = default;
  TChartAxis(const TChartAxis&) = delete;
  TChartAxis& operator=(const TChartAxis&) = delete;

  TAxisKind Kind() const { return kind_; }
  bool Horizontal() const { return kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Top; }
  bool OtherSide() const { return kind_ == TAxisKind::Top || kind_ == TAxisKind::Right || kind_ == TAxisKind::Depth; }
  bool IsDepthAxis() const { return kind_ == TAxisKind::Depth; }
  TCustomAxisPanel* ParentChart() const { return chart_; }

  // Range settings.
  bool Automatic() const { return automatic_; }
  bool AutomaticMinimum() const { return automaticMinimum_; }
  bool AutomaticMaximum() const { return automaticMaximum_; }
  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }
  bool Inverted() const { return inverted_; }
  bool Visible() const { return visible_; }
  void SetInverted(bool value);
  void SetVisible(bool value);

  // Unchecked range change used by zoom and undo: clears the automatic flags, orders the ends,
  // and keeps the range at least 1e-10 wide.
  void SetRange(double minimum, double maximum);

  // Working fields, recomputed by every drawing pass.
  double ScaleMin = 0, ScaleMax = 0, ScaleRange = 0;
  std::int32_t PixelStart = 0, PixelEnd = 0, PixelSize = 0, PixelCentre = 0;

  // ScaleMin..ScaleMax from Minimum..Maximum.
  void FixScale() {
    ScaleMax = maximum_;
    ScaleMin = minimum_;
    ScaleRange = ScaleMax - ScaleMin;
  }

  // Pixel fields from the chart rectangle and the start and end percentages.
  void UpdatePixelRange(const TRect& chartRect);

  // Linear mapping in extended precision, halves rounded to even; values are not clamped.
  std::int32_t ValueToPixel(double value) const {
    if (ScaleRange == 0) return PixelCentre;
    const double t = static_cast<double>((static_cast<long double>(value) - ScaleMin) * PixelSize / ScaleRange);
    if (!(std::fabs(t) < 2147483647.0)) return PixelCentre;
    const auto r = static_cast<std::int32_t>(RoundEven(t));
    if (Horizontal()) return inverted_ ? PixelEnd - r : PixelStart + r;
    return inverted_ ? PixelStart + r : PixelEnd - r;
  }

  double PixelToValue(std::int32_t pixel) const {
    if (PixelSize < 1) return 0;
    const std::int32_t d = inverted_ ? PixelEnd - pixel : pixel - PixelStart;
    const double a = static_cast<double>(static_cast<long double>(d) * ScaleRange / PixelSize);
    return Horizontal() ? ScaleMin + a : ScaleMax - a;
  }

  double StartPosition = 0;
  double EndPosition = 100;

 protected:
  // Stores a changed value and asks the chart to repaint.
  template <typename T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    RequestRepaint();
  }
  void RequestRepaint();

  bool automatic_ = true;
  bool automaticMinimum_ = true;
  bool automaticMaximum_ = true;
  double minimum_ = 0;
  double maximum_ = 0;
  bool inverted_ = false;
  bool visible_ = true;

 private:
  TCustomAxisPanel* chart_;
  TAxisKind kind_;
};

}  // namespace ninetrace
