// The chart canvas: the two-dimensional drawing operations of the chart over our raster surface,
// clipping, and the off-screen image every frame is built in before it reaches the window.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

#include "chart/chart_pen.h"
#include "chart/colors.h"
#include "platform/geometry.h"
#include "platform/raster_surface.h"

namespace ninetrace {

class TChartCanvas {
 public:
  TChartCanvas() = default;
  TChartCanvas(const TChartCanvas&) = delete;
  TChartCanvas& operator=(const TChartCanvas&) = delete;

  // The window's own image: where drawing goes outside a paint.
  void SetWindowImage(TRasterImage* image);
  TRasterImage* WindowImage() const { return window_; }
  bool HasSurface() const { return surface_.Target() != nullptr; }

  // Pens and brushes.
  void ApplyChartPen(const TChartPen& pen);
  void SetPen(TColor color, std::int32_t width = 1, TPenStyle style = psSolid, TPenMode mode = pmCopy) {
    surface_.SetPen(ColorToRGB(color), width, style, mode);
  }
  void SetPenColor(TColor color) { surface_.SetPenColor(ColorToRGB(color)); }
  void SetPenMode(TPenMode mode) { surface_.SetPenMode(mode); }
  void SetBrush(TColor color, TBrushStyle style) { surface_.SetBrush(ColorToRGB(color), style); }
  void SetBrushStyle(TBrushStyle style) { surface_.SetBrush(surface_.BrushColor(), style); }
  void SetBackgroundMode(TBackgroundMode mode) { surface_.SetBackgroundMode(mode); }
  void SetBackgroundColor(TColor color) { surface_.SetBackgroundColor(ColorToRGB(color)); }
  void SetFont(const QString& family, int pointSize, TColor color) { surface_.SetFont(family, pointSize, ColorToRGB(color)); }

  // Lines: the end pixel is never set.
  void MovePenTo(std::int32_t x, std::int32_t y) { surface_.MoveTo(x, y); }
  void LinePenTo(std::int32_t x, std::int32_t y) { surface_.LineTo(x, y); }
  void DrawLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    surface_.MoveTo(x0, y0);
    surface_.LineTo(x1, y1);
  }
  void HorizontalLine(std::int32_t x0, std::int32_t x1, std::int32_t y) { DrawLine(x0, y, x1, y); }
  void VerticalLine(std::int32_t x, std::int32_t y0, std::int32_t y1) { DrawLine(x, y0, x, y1); }

  void SetPixel(std::int32_t x, std::int32_t y, TColor color) { surface_.SetPixel(x, y, ColorToRGB(color)); }
  void FillRect(const TRect& r) { surface_.FillRect(r); }
  void EraseBackground(const TRect& r) { FillRect(r); }
  void Rectangle(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) { surface_.Rectangle(x0, y0, x1, y1); }
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // `count` rings of one-pixel lines, top-left and bottom-right colours, shrinking inward (and,
  // once they have crossed, growing inverted); rings that cannot reach the clip are not walked.
  void FramedBorder(TRect r, TColor topLeft, TColor bottomRight, std::int32_t count);

  // Shapes in the box (x0, y0) .. (x1, y1), right and bottom exclusive; arcs and pies sweep
  // counter-clockwise from the direction of (xs, ys) to that of (xe, ye).
  void Ellipse(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) { surface_.Ellipse(x0, y0, x1, y1); }
  void RoundRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t ew, std::int32_t eh) {
    surface_.RoundRect(x0, y0, x1, y1, ew, eh);
  }
  void Arc(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs, std::int32_t ys,
           std::int32_t xe, std::int32_t ye) {
    surface_.Arc(x0, y0, x1, y1, xs, ys, xe, ye);
  }
  void Pie(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs, std::int32_t ys,
           std::int32_t xe, std::int32_t ye) {
    surface_.Pie(x0, y0, x1, y1, xs, ys, xe, ye);
  }
  // Points 0 .. lastIndex, filled and outlined.
  void Polygon(const TPoint* points, std::int32_t lastIndex) { surface_.Polygon(points, lastIndex + 1); }
  // A picture at its own size (nothing for none or an empty one), or scaled into r.
  void Draw(std::int32_t x, std::int32_t y, const TRasterImage* picture);
  void StretchDraw(const TRect& r, const TRasterImage* picture);

  // Text at (x, y) placed by the stored alignment, or by the one given.
  void TextOut(std::int32_t x, std::int32_t y, const QString& text) { surface_.TextOut(x, y, text); }
  void TextOut(std::int32_t x, std::int32_t y, const QString& text, THorzAlign h, TVertAlign v = TVertAlign::Top) {
    surface_.TextOut(x, y, text, h, v);
  }
  // Text turned counter-clockwise about (x, y); an angle above 360 is first reduced by 360.
  void RotateLabel(std::int32_t x, std::int32_t y, const QString& text, double degrees) {
    surface_.TextOutRotated(x, y, degrees, text);
  }
  std::uint32_t TextAlign() const { return surface_.TextAlign(); }
  void SetTextAlign(std::uint32_t flags) { surface_.SetTextAlign(flags); }
  TColor BackColor() const { return surface_.BackgroundColor(); }
  TBackgroundMode BackMode() const { return surface_.BackgroundMode(); }
  std::int32_t TextWidth(const QString& text) const { return surface_.TextWidth(text); }
  std::int32_t TextHeight(const QString& text) const { return surface_.TextHeight(text); }

  // Clipping: the plot area leaves out the rectangle's left and top lines and its bottom row.
  void ClipToRect(const TRect& r) { surface_.ClipToRect(r); }
  void ClipToPlotArea(const TRect& r) { ClipToRect({r.Left + 1, r.Top + 1, r.Right, r.Bottom - 1}); }
  void RemoveClip() { surface_.RemoveClip(); }

  // Pen black 1 solid, brush white solid, font colour black, background white, transparent.
  void ResetCanvas();

  // Two capability queries of the canvas interface; this canvas answers false to both. The
  // first, when true, would forbid clipping (series then draw unclipped); nothing here depends
  // on the second.
  bool ForbidsClipping() const { return false; }
  bool SecondQuery() const { return false; }
  // Copies the settings of another canvas: its monochrome flag (with the effects of SetMonochrome).
  void AssignSettings(const TChartCanvas& other) { SetMonochrome(other.Monochrome()); }

  // Buffered display: frames are drawn into the off-screen image and copied to the window.
  bool BufferedDisplay() const { return buffered_; }
  void SetBufferedDisplay(bool value);
  // A monochrome canvas hands out frames of black and white only. A change drops the
  // off-screen image and asks for a repaint through OnChange.
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool value);
  std::function<void()> OnChange;
  bool Dirty() const { return dirty_; }
  void MarkDirty() { dirty_ = true; }
  const TRasterImage& OffscreenImage() const { return offscreen_; }

  // Starts a frame of bounds' size; returns the rectangle to draw it in. Buffered, that is the
  // off-screen image; unbuffered, the frame goes straight onto `surface` within bounds.
  TRect BeginPaint(TRasterImage* surface, const TRect& bounds);
  // Copies a buffered frame to `target` at `at`, marks it clean, and draws on the window again.
  void EndPaint(TRasterImage* target, TPoint at);
  // When clean, copies the last frame to `target` and answers true.
  bool RedrawFromImage(TRasterImage* target);

  TRasterSurface& Surface() { return surface_; }

 private:
  TRasterSurface surface_;
  TRasterImage* window_ = nullptr;
  TRasterImage offscreen_;
  bool buffered_ = true;
  bool dirty_ = true;
  bool monochrome_ = false;
};

// Copies `from` onto `to` with its top-left at `at`, clipped to `to`.
void CopyImage(const TRasterImage& from, TRasterImage& to, TPoint at);

}  // namespace ninetrace
