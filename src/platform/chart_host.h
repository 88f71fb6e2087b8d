// The contract between a custom-drawn chart and the window that hosts it: what the window
// tells the chart (paint, mouse) and what the chart asks of the window (invalidate, update,
// cursor). Kept free of widget types so the chart can be driven without a window in tests.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace ninetrace {

class TRasterImage;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys, buttons held and the double-click flag.
enum TShiftFlag : std::uint32_t {
  ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};
using TShiftState = std::uint32_t;

enum TCursor : std::int16_t { crDefault = 0, crCross = -3, crHandPoint = -21 };

class TChartHostClient {
 public:
  virtual ~TChartHostClient() = default;
  virtual void HostPaint() = 0;
  virtual void HostResized() = 0;
  virtual void HostButtonDown(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool doubleClick) = 0;
  virtual void HostButtonUp(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y) = 0;
  virtual void HostMouseMove(TShiftState shift, std::int32_t x, std::int32_t y) = 0;
  virtual void HostMouseLeave() = 0;
};

class TChartHost {
 public:
  virtual ~TChartHost() = default;
  // The image that is on screen; painting copies a finished frame into it.
  virtual TRasterImage& WindowImage() = 0;
  // Asks for a paint later, without erasing the background.
  virtual void InvalidateWindow() = 0;
  // Runs a pending paint now, before returning.
  virtual void UpdateNow() = 0;
  // Shows what was drawn into the window image outside a paint, without a new frame.
  virtual void ShowWindowImage() = 0;
  // The mouse position on the screen now, in the chart's client pixels (not clamped).
  virtual TPoint CursorPos() const = 0;
  virtual void SetCursor(TCursor cursor) = 0;
};

}  // namespace ninetrace
