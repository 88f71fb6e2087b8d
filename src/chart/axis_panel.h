// What a series needs of its chart: the axes, the chart rectangle, the colours, the series list
// and the repaint request. The drawing chart builds on this class.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "chart/chart_axis.h"
#include "chart/colors.h"
#include "chart/series_list.h"
#include "platform/geometry.h"

namespace ninetrace {

class TChartSeries;

class TCustomAxisPanel {
 public:
  TCustomAxisPanel();
  // Series are owned by whoever created them; the chart lets go of those still attached.
  virtual ~TCustomAxisPanel();
  TCustomAxisPanel(const TCustomAxisPanel&) = delete;
  TCustomAxisPanel& operator=(const TCustomAxisPanel&) = delete;

  // Axes in list order: bottom, top, left, right, depth.
  TChartAxis& BottomAxis() const { return *axes_[0]; }
  TChartAxis& TopAxis() const { return *axes_[1]; }
  TChartAxis& LeftAxis() const { return *axes_[2]; }
  TChartAxis& RightAxis() const { return *axes_[3]; }
  TChartAxis& DepthAxis() const { return *axes_[4]; }
  TChartAxis& Axis(std::size_t i) const { return *axes_[i]; }
  static constexpr std::size_t AxisCount = 5;

  const TChartSeriesList& SeriesList() const { return seriesList_; }
  std::int32_t SeriesCount() const { return seriesList_.Count(); }
  TChartSeries* Series(std::int32_t i) const { return seriesList_[i]; }
  bool HasActiveSeries() const;

  // The area inside the axes in which series are drawn; set by every drawing pass.
  TRect ChartRect;

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  virtual TColor BackWallColor() const { return clDefault; }
  // Room of the wall beside an axis, which moves that axis out; none without walls.
  virtual std::int32_t WallDepth(const TChartAxis&) const { return 0; }

  // The single repaint request; only marks the chart while AutoRepaint is true.
  virtual void Invalidate() {
    if (AutoRepaint) ++invalidateCount_;
  }
  bool AutoRepaint = true;
  std::int64_t InvalidateCount() const { return invalidateCount_; }
  bool Destroying() const { return destroying_; }

  // The label-text hook: may replace the text of every value label an axis makes (and measures).
  std::function<void(TChartAxis* sender, double value, QString& text)> OnGetAxisLabel;

  // A colour no attached series uses and that differs from the chart and back-wall colours.
  bool IsFreeSeriesColor(TColor color) const;
  TColor FreeSeriesColor() const;

 protected:
  // Axes are created in list order by the constructor; derived charts may supply richer axes.
  std::array<std::unique_ptr<TChartAxis>, AxisCount> axes_;

 private:
  friend class TChartSeries;  // attaches and detaches itself
  TChartSeriesList seriesList_;
  TColor color_ = clBtnFace;
  std::int64_t invalidateCount_ = 0;
  bool destroying_ = false;
};

}  // namespace ninetrace
