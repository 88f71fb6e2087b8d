// The line series every trace is drawn with: point-to-point segments with the series' line pen.
#pragma once

#include <cstdint>

#include "chart/chart_pen.h"
#include "chart/chart_series.h"

namespace ninetrace {

// Per-point marker; never shown by this program's traces.
struct TSeriesPointer {
  bool Visible = true;
  bool InflateMargins = true;
  std::int32_t HorizSize = 4;
  std::int32_t VertSize = 4;
};

class TCustomSeries : public TChartSeries {
 public:
  TCustomSeries();

  TChartPen LinePen;  // width, style and visibility of every segment; its colour is not used
  TSeriesPointer Pointer;
  bool Stairs = false;
  bool InvertedStairs = false;
  bool Dark3D = true;
  bool LineHitTest = true;
  // Height of the line's band in depth; at 0 nothing is drawn for it and no room is asked.
  std::int32_t LineHeight = 0;

  // Room a visible pointer, stairs or a line height needs beyond the end points.
  void HorizontalMargins(std::int32_t& left, std::int32_t& right) const override;
  void VerticalMargins(std::int32_t& top, std::int32_t& bottom) const override;

  // Where the previous point landed: the start of the next segment. Kept across passes.
  std::int32_t PrevX = 0, PrevY = 0;
  TColor PrevColor = 0;

  // Points whose pixel lies beyond this on either axis are left out of the line.
  static constexpr std::int32_t CoordinateLimit = 32766;

  // Draws every segment on its own, point by point: the reference the merged drawing must match
  // pixel for pixel. Off, the points that share a pixel column are merged into one vertical span.
  bool PerSegmentDrawing = false;

  std::int32_t ClickedPoint(std::int32_t x, std::int32_t y) const override;

  // Pixel row where the line from point j to point j + 1 crosses the value xv.
  std::int32_t EdgeYPosition(std::int32_t j, double xv) const;

 protected:
  void DrawValueRange() override;
  void DrawLineValue(std::int32_t i) override;

 private:
  void DrawSegment(std::int32_t x, std::int32_t y, TColor color);
  void PrepareLinePen(TColor color);
  void DrawMergedRange(bool ink);
};

// Whether the click t lies on the segment p..q: within one pixel of the line and not beyond
// either end. Strict comparisons throughout; a zero-length segment never hits.
bool PointOnSegment(TPoint p, TPoint q, TPoint t);

class TLineSeries : public TCustomSeries {
 public:
  TLineSeries() { Pointer.Visible = false; }
};

}  // namespace ninetrace
