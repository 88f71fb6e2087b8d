// An axis of the chart: its range settings and the value <-> pixel mappings every position goes through.
#pragma once

#include <QString>

#include <cmath>
#include <cstdint>
#include <vector>

#include "chart/change_notify.h"
#include "chart/chart_math.h"
#include "chart/chart_pen.h"
#include "platform/geometry.h"

namespace ninetrace {

class TCustomAxisPanel;
class TChartCanvas;

enum TAxisLabelStyle { talAuto = 0, talNone = 1, talValue = 2, talMark = 3, talText = 4 };

struct TChartFont {
  QString Name = "Arial";
  int Size = 8;
  TColor Color = clBlack;
  friend bool operator==(const TChartFont&, const TChartFont&) = default;
};

enum class TAxisKind { Bottom, Top, Left, Right, Depth };

// The thousands and decimal separators a label is written with.
struct TNumberSeparators {
  QString Thousands = QStringLiteral(",");
  QString Decimal = QStringLiteral(".");
};
// The current numeric locale's (LC_NUMERIC) separators; "," and "." in the C locale.
TNumberSeparators LocaleNumberSeparators();

// A label value as "#,##0.###": integer digits grouped by three, at most three decimals without
// trailing zeros, any magnitude; separators from the current locale, or the ones given.
QString FormatAxisValue(double value);
QString FormatAxisValue(double value, const TNumberSeparators& separators);
// 1, 2, 5, 10, 20, 50, ...: the next label step up from x.
double AxisNextNiceStep(double x);

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
  // Undo's way back: both ends exactly as they were saved, without SetRange's widening, so an
  // axis that was 0 .. 0 before a zoom is 0 .. 0 again afterwards.
  void RestoreRange(double minimum, double maximum);

  // Checked range and step settings (AxisException with the engine's texts).
  void SetMinimum(double value);
  void SetMaximum(double value);
  double Increment() const { return increment_; }
  void SetIncrement(double value);
  void SetAutomatic(bool value);
  void SetAutomaticMinimum(bool value);
  void SetAutomaticMaximum(bool value);
  // While the form settings are applied the minimum/maximum cross checks are off.
  bool Loading = false;

  // Pens: the axis line, grid, ticks.
  TChartAxisPen Axis;
  TDottedGrayPen Grid;
  TChartHiddenPen MinorGrid;
  TDarkGrayPen Ticks;
  TDarkGrayPen TicksInner;
  TDarkGrayPen MinorTicks;

  // Tick and label settings.
  std::int32_t TickLength() const { return tickLength_; }
  void SetTickLength(std::int32_t v) { Change(tickLength_, v); }
  std::int32_t TickInnerLength() const { return tickInnerLength_; }
  void SetTickInnerLength(std::int32_t v) { Change(tickInnerLength_, v); }
  std::int32_t MinorTickLength() const { return minorTickLength_; }
  void SetMinorTickLength(std::int32_t v) { Change(minorTickLength_, v); }
  std::int32_t MinorTickCount() const { return minorTickCount_; }
  void SetMinorTickCount(std::int32_t v) { Change(minorTickCount_, v); }
  bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
  void SetTickOnLabelsOnly(bool v) { Change(tickOnLabelsOnly_, v); }
  bool Labels() const { return labels_; }
  void SetLabels(bool v) { Change(labels_, v); }
  bool LabelsOnAxis() const { return labelsOnAxis_; }
  void SetLabelsOnAxis(bool v) { Change(labelsOnAxis_, v); }
  std::int32_t LabelsSize() const { return labelsSize_; }
  void SetLabelsSize(std::int32_t v) { Change(labelsSize_, v); }
  std::int32_t LabelsSeparation() const { return labelsSeparation_; }
  void SetLabelsSeparation(std::int32_t v);
  TAxisLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TAxisLabelStyle v) { Change(labelStyle_, v); }
  bool RoundFirstLabel() const { return roundFirstLabel_; }
  void SetRoundFirstLabel(bool v) { Change(roundFirstLabel_, v); }
  bool GridCentered() const { return gridCentered_; }
  void SetGridCentered(bool v) { Change(gridCentered_, v); }
  double PositionPercent() const { return positionPercent_; }
  void SetPositionPercent(double v) { Change(positionPercent_, v); }
  const QString& TitleCaption() const { return titleCaption_; }
  void SetTitleCaption(const QString& v) { Change(titleCaption_, v); }
  std::int32_t TitleSize() const { return titleSize_; }
  void SetTitleSize(std::int32_t v) { Change(titleSize_, v); }
  const TChartFont& LabelsFont() const { return labelsFont_; }
  void SetLabelsFont(const TChartFont& v) { Change(labelsFont_, v); }
  const TChartFont& TitleFont() const { return titleFont_; }
  void SetTitleFont(const TChartFont& v) { Change(titleFont_, v); }

  // Layout and drawing (one drawing pass).
  void ReserveAxisSpace(TChartCanvas& canvas, TRect& rect);
  double LabelStep(TChartCanvas& canvas) const;
  void DrawAxis(TChartCanvas& canvas);
  QString LabelText(double value) const;
  TAxisLabelStyle EffectiveLabelStyle() const;
  // Tick positions of the last DrawAxis, largest value first.
  const std::vector<std::int32_t>& TickList() const { return ticks_; }
  static constexpr std::size_t MaxTicks = 2000;

  std::int32_t AxisLinePos = 0;
  std::int32_t LabelsPos = 0;
  std::int32_t TitlePos = 0;

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
  // Widens an automatic end's value range so the room its series ask for (a visible pointer,
  // stairs) fits inside the axis' pixels; without such room the axis stays as laid out.
  void ApplySeriesMargins(const TRect& chartRect);

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

  // Where the axis starts and ends along its edge, in percent of the chart rectangle.
  double StartPosition() const { return startPosition_; }
  void SetStartPosition(double v) { Change(startPosition_, v); }
  double EndPosition() const { return endPosition_; }
  void SetEndPosition(double v) { Change(endPosition_, v); }

 private:
  std::int32_t LabelSize(TChartCanvas& canvas) const;
  std::int32_t Take(TRect& rect, std::int32_t size) const;
  void UpdateDateTimeFlag();
  std::int32_t TickRoom() const;
  std::int32_t WallDepth() const;
  std::int32_t MoveByPosition(std::int32_t pos, const TRect& r) const;
  void EmitValueLabels(TChartCanvas& canvas, double step);
  void DrawLabel(TChartCanvas& canvas, std::int32_t p, const QString& text) const;
  void DrawTick(TChartCanvas& canvas, std::int32_t p, std::int32_t length, bool inner) const;
  void DrawGridLine(TChartCanvas& canvas, std::int32_t p) const;
  void MinorPositions(std::vector<std::int32_t>& out) const;
  std::vector<std::int32_t> minor_;

 protected:
  // Stores a changed value and asks the chart to repaint.
  template <typename T>
  void Change(T& field, const T& value) {
    ChangeAndNotify(field, value, [this] { RequestRepaint(); });
  }
  void RequestRepaint();

  std::int32_t tickLength_ = 4;
  std::int32_t tickInnerLength_ = 0;
  std::int32_t minorTickLength_ = 2;
  std::int32_t minorTickCount_ = 3;
  bool tickOnLabelsOnly_ = true;
  bool labels_ = true;
  bool labelsOnAxis_ = true;
  std::int32_t labelsSize_ = 0;
  std::int32_t labelsSeparation_ = 10;
  TAxisLabelStyle labelStyle_ = talAuto;
  bool roundFirstLabel_ = true;
  bool gridCentered_ = false;
  double positionPercent_ = 0;
  QString titleCaption_;
  std::int32_t titleSize_ = 0;
  double increment_ = 0;
  double startPosition_ = 0;
  double endPosition_ = 100;
  TChartFont labelsFont_;
  TChartFont titleFont_;
  std::vector<std::int32_t> ticks_;

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
  bool dateTime_ = false;
};

}  // namespace ninetrace
