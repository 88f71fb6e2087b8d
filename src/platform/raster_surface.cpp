// The raster image and the surface's drawing state: pen, brush, background, font, clip.
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/data_file.h"
#include "platform/raster_internal.h"

namespace ninetrace {

namespace raster {

// The clip is intersected with the image every time, so an image resized after SetTarget can
// never be written outside.
// Each call into QImage costs a few nanoseconds per segment, so this asks for as little as it can.
bool OpenCanvas(TRasterImage* target, const TRect& clip, TCanvas& canvas) {
  if (target == nullptr) return false;
  QImage& image = target->Image();
  if (image.format() != QImage::Format_RGB32) return false;  // also false for a null image
  const QSize size = image.size();
  if (!IntersectRect(clip, TRect{0, 0, size.width(), size.height()}, canvas.Clip)) return false;
  canvas.Bits = reinterpret_cast<std::uint32_t*>(image.bits());  // detaches a shared copy first
  canvas.Stride = image.bytesPerLine() / static_cast<std::ptrdiff_t>(sizeof(std::uint32_t));
  return true;
}

}  // namespace raster

using namespace raster;

// ---------------------------------------------------------------------------------------------

TRasterImage::TRasterImage(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return;
  image_ = QImage(width, height, QImage::Format_RGB32);
  image_.setDotsPerMeterX(kDotsPerMeter);
  image_.setDotsPerMeterY(kDotsPerMeter);
  image_.fill(kOpaque);
}

std::uint32_t TRasterImage::PixelRgb(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  return image_.pixel(x, y) & kColourBits;  // any format, should someone have replaced the image
}

TColorRef TRasterImage::PixelColor(std::int32_t x, std::int32_t y) const {
  // The swap of red and blue is its own inverse.
  return ColorRefToRgb(PixelRgb(x, y));
}

bool TRasterImage::SavePng(const std::string& path) const {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image_.save(&buffer, "PNG")) return false;
  try {
    WriteWholeFile(path, png.constData(), static_cast<std::size_t>(png.size()));  // whole or not at all
    return true;
  } catch (const TFileError&) {
    return false;
  }
}

// ---------------------------------------------------------------------------------------------

TRasterSurface::TRasterSurface(TRasterImage* target) { SetTarget(target); }

void TRasterSurface::SetTarget(TRasterImage* target) {
  target_ = target;
  RemoveClip();
}

void TRasterSurface::SetPen(TColorRef color, std::int32_t width, TPenStyle style, TPenMode mode) {
  SetPenColor(color);
  penWidth_ = std::max(width, 1);
  penStyle_ = style;
  penMode_ = mode;
}

void TRasterSurface::SetPenColor(TColorRef color) {
  penColor_ = color;
  penRgb_ = ColorRefToRgb(color);
}

void TRasterSurface::SetPenMode(TPenMode mode) { penMode_ = mode; }

void TRasterSurface::SetBrush(TColorRef color, TBrushStyle style) {
  brushColor_ = color;
  brushRgb_ = ColorRefToRgb(color);
  brushStyle_ = style;
}

void TRasterSurface::SetBackgroundColor(TColorRef color) { backgroundColor_ = color; }
void TRasterSurface::SetBackgroundMode(TBackgroundMode mode) { backgroundMode_ = mode; }

void TRasterSurface::SetFont(const QString& family, int pointSize, TColorRef color) {
  font_ = QFont(family);
  if (pointSize > 0) font_.setPointSize(pointSize);
  font_.setStyleStrategy(QFont::NoAntialias);
  fontColor_ = color;
}

void TRasterSurface::SetFontColor(TColorRef color) { fontColor_ = color; }

void TRasterSurface::SetFontSize(int pointSize) {
  if (pointSize > 0) font_.setPointSize(pointSize);
}

TInk TRasterSurface::Ink() const {
  return {penRgb_, ColorRefToRgb(backgroundColor_), penStyle_, penMode_, backgroundMode_ == bmOpaque};
}


void TRasterSurface::SetPixel(std::int32_t x, std::int32_t y, TColorRef color) {
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas) || !canvas.Clip.Contains(x, y)) return;
  canvas.Row(y)[x] = ColorRefToRgb(color) | kOpaque;
}


void TRasterSurface::ClipToRect(const TRect& r) { IntersectRect(clip_, r, clip_); }

void TRasterSurface::RemoveClip() {
  clip_ = target_ != nullptr ? TRect{0, 0, target_->Width(), target_->Height()} : TRect{};
}

}  // namespace ninetrace
