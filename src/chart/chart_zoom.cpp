// Zooming the four axes onto a dragged rectangle and restoring the ranges from before the first zoom.
#include <cmath>

#include "chart/chart.h"

namespace ninetrace {

void TChart::ComputeZoomRanges() {
  ZoomDrag.Normalize();
  const TZoomPanningRecord& z = ZoomDrag;
  // A vertical axis that is not inverted takes its minimum from the rectangle's lower edge.
  ApplyZoom(TopAxis().PixelToValue(z.StartX), TopAxis().PixelToValue(z.EndX),  //
            LeftAxis().PixelToValue(z.EndY), LeftAxis().PixelToValue(z.StartY),
            RightAxis().PixelToValue(z.EndY), RightAxis().PixelToValue(z.StartY),
            BottomAxis().PixelToValue(z.StartX), BottomAxis().PixelToValue(z.EndX));
}

void TChart::ApplyZoom(double topMin, double topMax, double leftMin, double leftMax, double rightMin, double rightMax,
                       double bottomMin, double bottomMax) {
  // A corner dragged far outside an axis of enormous range can map beyond every double; such
  // a zoom is dropped whole rather than leaving some axes zoomed and others not.
  for (double v : {topMin, topMax, leftMin, leftMax, rightMin, rightMax, bottomMin, bottomMax})
    if (!std::isfinite(v)) return;
  if (scalesRestored_) {
    // Only the first zoom remembers the ranges: undo always goes back to before it.
    savedScales_[0] = Snapshot(TopAxis());
    savedScales_[1] = Snapshot(LeftAxis());
    savedScales_[2] = Snapshot(RightAxis());
    savedScales_[3] = Snapshot(BottomAxis());
    scalesRestored_ = false;
  }
  LeftAxis().SetRange(leftMin, leftMax);
  RightAxis().SetRange(rightMin, rightMax);
  TopAxis().SetRange(topMin, topMax);
  BottomAxis().SetRange(bottomMin, bottomMax);
  if (OnZoom) OnZoom(this);
}

void TChart::UndoZoom() {
  if (!scalesRestored_) {
    Restore(TopAxis(), savedScales_[0]);
    Restore(BottomAxis(), savedScales_[3]);
    Restore(LeftAxis(), savedScales_[1]);
    Restore(RightAxis(), savedScales_[2]);
  }
  scalesRestored_ = true;
  if (OnUndoZoom) OnUndoZoom(this);
  Invalidate();
}

TChart::TAxisScaleSnapshot TChart::Snapshot(const TChartAxis& axis) {
  return {axis.Automatic(), axis.AutomaticMinimum(), axis.AutomaticMaximum(), axis.Minimum(), axis.Maximum()};
}

void TChart::Restore(TChartAxis& axis, const TAxisScaleSnapshot& saved) {
  axis.SetAutomatic(saved.Automatic);
  axis.SetAutomaticMinimum(saved.AutomaticMinimum);
  axis.SetAutomaticMaximum(saved.AutomaticMaximum);
  if (!axis.Automatic()) axis.RestoreRange(saved.Minimum, saved.Maximum);
}

}  // namespace ninetrace
