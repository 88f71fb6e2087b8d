// Our own raster surface: a 32-bit image and the pixel-exact drawing the chart needs.
// Lines follow the aliased Bresenham rule with the end pixel not set; rectangles are
// right- and bottom-exclusive; colours arrive as 0x00BBGGRR and are converted once when set.
#pragma once

#include <QFont>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/geometry.h"

namespace ninetrace {

// A colour in the 0x00BBGGRR encoding (the chart's own colour values, system colours resolved).
using TColorRef = std::uint32_t;

enum TPenStyle { psSolid, psDot, psClear, psAlternate };  // psAlternate: every other pixel, width 1
enum TPenMode { pmCopy, pmNotXor };
enum TBrushStyle { bsSolid, bsClear };
enum TBackgroundMode { bmTransparent = 1, bmOpaque = 2 };

// Text alignment relative to the point given to TextOut.
enum class THorzAlign { Left, Centre, Right };
enum class TVertAlign { Top, Bottom, Baseline };

// The same as one set of flags, as the canvas stores it: one horizontal and one vertical choice.
enum TTextAlignFlags : std::uint32_t {
  taLeft = 0, taCentre = 1, taRight = 2,
  taTop = 0, taBottom = 4, taBaseline = 8,
};
constexpr std::uint32_t kHorzAlignMask = 3, kVertAlignMask = 12;

namespace raster {
struct TInk;
struct TRegion;
class TSweep;
}  // namespace raster

// Owns the pixels: a QImage in Format_RGB32 so Qt can draw text into it and show it unchanged.
class TRasterImage {
 public:
  TRasterImage() = default;
  TRasterImage(std::int32_t width, std::int32_t height);

  std::int32_t Width() const { return image_.width(); }
  std::int32_t Height() const { return image_.height(); }
  bool IsNull() const { return image_.isNull(); }

  // 0x00RRGGBB of one pixel (the image's own order), for tests and tools.
  std::uint32_t PixelRgb(std::int32_t x, std::int32_t y) const;
  // 0x00BBGGRR of one pixel, comparable with the chart's colour constants.
  TColorRef PixelColor(std::int32_t x, std::int32_t y) const;

  std::uint32_t* Row(std::int32_t y) { return reinterpret_cast<std::uint32_t*>(image_.scanLine(y)); }
  const QImage& Image() const { return image_; }
  QImage& Image() { return image_; }
  bool SavePng(const std::string& path) const;
  // Every pixel becomes the nearer of black and white.
  void MakeMonochrome();

 private:
  QImage image_;
};

// Draws on one TRasterImage. Not owning; the image must outlive the surface's use of it.
class TRasterSurface {
 public:
  TRasterSurface() = default;
  explicit TRasterSurface(TRasterImage* target);
  void SetTarget(TRasterImage* target);  // also removes the clip
  TRasterImage* Target() const { return target_; }

  // Pen: width 1 lines are one pixel; wider lines are strokes of that thickness with round ends.
  void SetPen(TColorRef color, std::int32_t width = 1, TPenStyle style = psSolid, TPenMode mode = pmCopy);
  void SetPenColor(TColorRef color);
  void SetPenMode(TPenMode mode);
  TColorRef PenColor() const { return penColor_; }
  std::int32_t PenWidth() const { return penWidth_; }
  TPenStyle PenStyle() const { return penStyle_; }
  TPenMode PenMode() const { return penMode_; }

  void SetBrush(TColorRef color, TBrushStyle style = bsSolid);
  TColorRef BrushColor() const { return brushColor_; }
  TBrushStyle BrushStyle() const { return brushStyle_; }

  // The colour behind text and behind the gaps of dotted lines when the mode is opaque.
  void SetBackgroundColor(TColorRef color);
  TColorRef BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundMode(TBackgroundMode mode);
  TBackgroundMode BackgroundMode() const { return backgroundMode_; }

  // Font by family and point size (at 96 dots per inch), drawn without anti-aliasing.
  void SetFont(const QString& family, int pointSize, TColorRef color);
  void SetFontColor(TColorRef color);
  void SetFontSize(int pointSize);
  TColorRef FontColor() const { return fontColor_; }
  int FontSize() const { return font_.pointSize(); }

  // Current position and lines.
  void MoveTo(std::int32_t x, std::int32_t y) { penX_ = x; penY_ = y; }
  void LineTo(std::int32_t x, std::int32_t y);  // (x, y) becomes the current position
  TPoint PenPos() const { return {penX_, penY_}; }

  void SetPixel(std::int32_t x, std::int32_t y, TColorRef color);
  void FillRect(const TRect& r);                                         // brush, no outline
  void Rectangle(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);  // pen outline + brush fill

  // Closed shapes inside the box (x0, y0) .. (x1, y1), corners in any order, right and bottom
  // exclusive: the pen outlines them from the inside, the brush fills the rest.
  void Ellipse(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
  // Corners rounded as quarters of an ellipse ew x eh.
  void RoundRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t ew, std::int32_t eh);
  // The part of the ellipse's outline (Arc) or of the ellipse (Pie) swept counter-clockwise from
  // the direction of (xs, ys) to that of (xe, ye), seen from the box's centre.
  void Arc(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs, std::int32_t ys,
           std::int32_t xe, std::int32_t ye);
  void Pie(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs, std::int32_t ys,
           std::int32_t xe, std::int32_t ye);
  // Filled by the even-odd rule at pixel centres, outlined by the closed run of lines.
  void Polygon(const TPoint* points, std::int32_t count);
  // A picture at its own size, or scaled into r (nearest pixel).
  void DrawImage(std::int32_t x, std::int32_t y, const TRasterImage& picture);
  void StretchDrawImage(const TRect& r, const TRasterImage& picture);

  // Text at (x, y) aligned as given, in the current font and font colour; the background behind
  // it is filled only in opaque mode.
  void TextOut(std::int32_t x, std::int32_t y, const QString& text, THorzAlign h, TVertAlign v);
  // The same with the stored alignment.
  void TextOut(std::int32_t x, std::int32_t y, const QString& text);
  // Text turned counter-clockwise by `degrees` about (x, y), its top-left before turning.
  void TextOutRotated(std::int32_t x, std::int32_t y, double degrees, const QString& text);
  void SetTextAlign(std::uint32_t flags) { textAlign_ = flags; }
  std::uint32_t TextAlign() const { return textAlign_; }
  std::int32_t TextWidth(const QString& text) const;
  std::int32_t TextHeight(const QString& text) const;

  // Intersects the clip with r (right and bottom exclusive); RemoveClip makes everything drawable.
  void ClipToRect(const TRect& r);
  void RemoveClip();
  TRect ClipRect() const { return clip_; }

 private:
  raster::TInk Ink() const;
  void PaintShape(const raster::TRegion& region, bool fill, const raster::TSweep* outlineOnly);
  // How far a shape's outline reaches in from its edge: the pen's width, or nothing without a pen.
  std::int64_t PenReach() const { return penStyle_ == psClear ? 0 : penWidth_; }

  TRasterImage* target_ = nullptr;
  TRect clip_{};
  std::int32_t penX_ = 0, penY_ = 0;
  TColorRef penColor_ = 0;
  std::uint32_t penRgb_ = 0;
  std::int32_t penWidth_ = 1;
  TPenStyle penStyle_ = psSolid;
  TPenMode penMode_ = pmCopy;
  TColorRef brushColor_ = 0xFFFFFF;
  std::uint32_t brushRgb_ = 0xFFFFFF;
  TBrushStyle brushStyle_ = bsSolid;
  TColorRef backgroundColor_ = 0xFFFFFF;
  TBackgroundMode backgroundMode_ = bmOpaque;
  QFont font_;
  TColorRef fontColor_ = 0;
  std::uint32_t textAlign_ = taLeft | taTop;
};

// Solid copy-mode lines of one width in the surface's clip, many at a time: the pixels MoveTo +
// LineTo would set, without looking the image up again for every line. The image is detached
// from any shared copy once, when the batch starts, so nothing may copy, resize or replace it
// while the batch is in use.
class TLineBatch {
 public:
  TLineBatch(TRasterSurface& surface, std::int32_t width);
  bool Ready() const { return bits_ != nullptr; }
  void SetColor(TColorRef color);

  // Width 1: the line without its end pixel. Wider: the round brush on every pixel, both ends included.
  void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const;
  // Column x from yTop to yBottom inclusive, nothing when yTop > yBottom; wider pens stamp the
  // brush on each of those pixels.
  void Column(std::int32_t x, std::int32_t yTop, std::int32_t yBottom) const;

 private:
  std::uint32_t* bits_ = nullptr;
  std::ptrdiff_t stride_ = 0;
  TRect clip_{};
  std::int32_t width_ = 1;
  std::uint32_t argb_ = 0;
};

// 0x00BBGGRR -> 0x00RRGGBB.
constexpr std::uint32_t ColorRefToRgb(TColorRef c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace ninetrace
