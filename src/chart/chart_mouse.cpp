// The chart's own press, move, release and leave: hit test, click events, the zoom drag.
#include <cstdlib>

#include "chart/chart.h"

namespace ninetrace {

void TChart::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  if (host_) host_->SetCursor(cursor);
}

void TChart::OfferBackgroundClick(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool& handled) {
  if (!OnClickBackground) return;
  MouseActionCancelled = true;
  OnClickBackground(this, button, shift, x, y);
  handled = MouseActionCancelled;
}

void TChart::StartZoomOrPan(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool& handled) {
  if (allowZoom_ && button == ZoomButton && (shift & ZoomShiftKeys) == ZoomShiftKeys) {
    SetCursor(crDefault);
    ZoomDrag.Start(x, y);
    InvertZoomFrame();
    handled = true;
  }
  if (allowPanning_ != pmNoPanning && button == PanButton && (shift & PanShiftKeys) == PanShiftKeys) {
    SetCursor(crDefault);
    PanDrag.Start(x, y);
    handled = true;
  }
}

void TChart::MouseDown(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
  if (ZoomDrag.Active || PanDrag.Active) return;  // another button during a drag changes nothing
  if (MouseActionCancelled) {
    MouseActionCancelled = false;
    return;
  }
  const TClickedPartInfo info = HitTestParts(x, y);
  bool handled = false;
  switch (info.Part) {
    case cpLegend:
      if (OnClickLegend) {
        MouseActionCancelled = true;
        OnClickLegend(this, button, shift, x, y);
        handled = MouseActionCancelled;
      }
      break;
    case cpAxis:
      if (OnClickAxis) {
        MouseActionCancelled = true;
        OnClickAxis(this, info.Axis, button, shift, x, y);
        handled = MouseActionCancelled;
      }
      if (!handled) StartZoomOrPan(button, shift, x, y, handled);
      break;
    case cpSeries: {
      // The series' own click first, then the chart's.
      TChartSeries& s = *info.Series;
      MouseActionCancelled = false;
      if ((shift & ssDouble) && s.OnDblClick) {
        MouseActionCancelled = true;
        s.OnDblClick(&s, info.PointIndex, button, shift, x, y);
      } else if (s.OnClick) {
        MouseActionCancelled = true;
        s.OnClick(&s, info.PointIndex, button, shift, x, y);
      }
      handled = MouseActionCancelled;
      if (OnClickSeries) {
        MouseActionCancelled = true;
        OnClickSeries(this, &s, info.PointIndex, button, shift, x, y);
        handled = MouseActionCancelled;
      }
      if (!handled) StartZoomOrPan(button, shift, x, y, handled);
      break;
    }
    case cpChartRect:
      OfferBackgroundClick(button, shift, x, y, handled);
      if (!handled) StartZoomOrPan(button, shift, x, y, handled);
      break;
    default:
      break;
  }
  if (!handled) OfferBackgroundClick(button, shift, x, y, handled);
  MouseActionCancelled = false;
}

void TChart::MouseMove(TShiftState shift, std::int32_t x, std::int32_t y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
  if (ZoomDrag.Active) {
    if (x == ZoomDrag.EndX && y == ZoomDrag.EndY) return;
    InvertZoomFrame();  // off with the old outline, on with the new one
    ZoomDrag.EndX = x;
    ZoomDrag.EndY = y;
    InvertZoomFrame();
    return;
  }
  if (PanDrag.Active) return;  // panning is never enabled in this program
  // Hover: only series with a cursor of their own are hit-tested.
  for (TChartSeries* s : SeriesList()) {
    if (s->Active() && s->Cursor != crDefault && s->ClickedPoint(x, y) != -1) {
      SetCursor(s->Cursor);
      return;
    }
  }
  SetCursor(IdleCursor);
}

void TChart::MouseUp(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
  if (ZoomDrag.Active && button == ZoomButton) {
    ZoomDrag.Active = false;
    InvertZoomFrame();
    canvas_.SetPenMode(pmCopy);
    ZoomDrag.EndX = x;
    ZoomDrag.EndY = y;
    const std::int32_t dx = ZoomDrag.EndX - ZoomDrag.StartX, dy = ZoomDrag.EndY - ZoomDrag.StartY;
    if (std::abs(dx) > ZoomThreshold && std::abs(dy) > ZoomThreshold) {
      if (dx > 0 && dy > 0)
        ComputeZoomRanges();
      else
        UndoZoom();
      Invalidate();
    }
  }
  PanDrag.Active = false;
}

void TChart::MouseLeave() {
  SetCursor(IdleCursor);
  PanDrag.Active = false;
}

TChart::TClickedPartInfo TChart::HitTestParts(std::int32_t x, std::int32_t y) const {
  TClickedPartInfo info;
  const TChartSeriesList& list = SeriesList();
  for (std::int32_t i = list.Count() - 1; i >= 0; --i) {
    TChartSeries* s = list[i];
    if (!s->Active()) continue;
    const std::int32_t index = s->ClickedPoint(x, y);
    if (index != -1) return {cpSeries, index, s, nullptr};
  }
  for (std::size_t i = 0; i < AxisCount; ++i)
    if (InAxisClickBand(Axis(i), x, y)) return {cpAxis, -1, nullptr, &Axis(i)};
  // Titles and the legend take no room in this chart, so they are never under the mouse.
  if (ChartRect.Contains(x, y) && HasActiveSeries()) info.Part = cpChartRect;
  return info;
}

bool TChart::InAxisClickBand(const TChartAxis& axis, std::int32_t x, std::int32_t y) const {
  if (!IsAxisShown(axis)) return false;
  const std::int32_t alongFrom = std::min(axis.PixelStart, axis.PixelEnd), alongTo = std::max(axis.PixelStart, axis.PixelEnd);
  std::int32_t acrossFrom, acrossTo;
  if (axis.LabelsPos < axis.AxisLinePos) {
    acrossFrom = axis.LabelsPos;
    acrossTo = axis.AxisLinePos + AxisClickTolerance;
  } else {
    acrossFrom = axis.AxisLinePos - AxisClickTolerance;
    acrossTo = axis.LabelsPos;
  }
  const TRect band = axis.Horizontal() ? TRect{alongFrom, acrossFrom, alongTo, acrossTo}
                                       : TRect{acrossFrom, alongFrom, acrossTo, alongTo};
  return band.Contains(x, y);
}

}  // namespace ninetrace
