// The line series every trace is drawn with: point-to-point segments with the series' line pen.
#pragma once

#include <cstdint>
#include <functional>

#include "chart/change_notify.h"
#include "chart/chart_pen.h"
#include "chart/chart_series.h"

namespace ninetrace {

// Per-point marker; never shown by this program's traces. Its setters tell the owning series,
// which asks for a repaint, only when a value changes.
class TSeriesPointer {
 public:
  using TChangeHandler = std::function<void()>;
  explicit TSeriesPointer(TChangeHandler onChange = {}) : onChange_(std::move(onChange)) {}
  TSeriesPointer(const TSeriesPointer&) = delete;
  TSeriesPointer& operator=(const TSeriesPointer&) = delete;

  bool Visible() const { return visible_; }
  bool InflateMargins() const { return inflateMargins_; }
  std::int32_t HorizSize() const { return horizSize_; }
  std::int32_t VertSize() const { return vertSize_; }

  void SetVisible(bool value) { Change(visible_, value); }
  void SetInflateMargins(bool value) { Change(inflateMargins_, value); }
  void SetHorizSize(std::int32_t value) { Change(horizSize_, value); }
  void SetVertSize(std::int32_t value) { Change(vertSize_, value); }

 private:
  template <typename T>
  void Change(T& field, T value) {
    ChangeAndNotify(field, value, [this] { if (onChange_) onChange_(); });
  }

  TChangeHandler onChange_;
  bool visible_ = true;
  bool inflateMargins_ = true;
  std::int32_t horizSize_ = 4;
  std::int32_t vertSize_ = 4;
};

class TCustomSeries : public TChartSeries {
 public:
  TCustomSeries();

  TChartPen LinePen;  // width, style and visibility of every segment; its colour is not used
  TSeriesPointer Pointer{[this] { RequestRepaint(); }};
  bool Dark3D = true;
  bool LineHitTest = true;

  // Settings that steer drawing and margins: stored, with a repaint asked, only on a change.
  bool Stairs() const { return stairs_; }
  void SetStairs(bool value);
  bool InvertedStairs() const { return invertedStairs_; }
  void SetInvertedStairs(bool value);
  // Height of the line's band in depth; at 0 nothing is drawn for it and no room is asked.
  std::int32_t LineHeight() const { return lineHeight_; }
  void SetLineHeight(std::int32_t value);

  // Room a visible pointer, stairs or a line height needs beyond the end points.
  void HorizontalMargins(std::int32_t& left, std::int32_t& right) const override;
  void VerticalMargins(std::int32_t& top, std::int32_t& bottom) const override;

  // Where the previous point landed: the start of the next segment. Kept across passes, but
  // never joined to: a pass starts its line at its own first point inside the coordinate guard,
  // so every frame is a function of the chart's state alone.
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

  bool stairs_ = false;
  bool invertedStairs_ = false;
  std::int32_t lineHeight_ = 0;
  bool placed_ = false;  // a point of the current pass has passed the coordinate guard
};

// Whether the click t lies on the segment p..q: within one pixel of the line and not beyond
// either end. Strict comparisons throughout; a zero-length segment never hits.
bool PointOnSegment(TPoint p, TPoint q, TPoint t);

class TLineSeries : public TCustomSeries {
 public:
  TLineSeries() { Pointer.SetVisible(false); }
};

}  // namespace ninetrace
