// Text of the raster surface: QPainter with anti-aliasing off, so every pixel of a glyph is
// either the font colour or untouched.
#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include <cmath>

#include "platform/raster_internal.h"

namespace ninetrace {

namespace raster {

const QImage& MetricsDevice() {
  static const QImage device = [] {
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    return image;
  }();
  return device;
}

}  // namespace raster

using namespace raster;

void TRasterSurface::TextOut(std::int32_t x, std::int32_t y, const QString& text, THorzAlign h, TVertAlign v) {
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas)) return;
  const QFontMetrics metrics(font_, &MetricsDevice());
  const std::int64_t width = metrics.horizontalAdvance(text), height = metrics.height();
  std::int64_t left = x, top = y;
  if (h == THorzAlign::Centre) left -= width / 2;
  if (h == THorzAlign::Right) left -= width;
  if (v == TVertAlign::Bottom) top -= height;
  if (v == TVertAlign::Baseline) top -= metrics.ascent();

  const TBox cell{left, top, left + width, top + height};
  const TRect& c = canvas.Clip;
  if (cell.Right <= c.Left || cell.Left >= c.Right || cell.Bottom <= c.Top || cell.Top >= c.Bottom) return;
  if (backgroundMode_ == bmOpaque) FillBox(canvas, cell, ColorRefToRgb(backgroundColor_) | kOpaque);
  if (text.isEmpty()) return;

  QPainter painter(&target_->Image());
  painter.setClipRect(QRect(c.Left, c.Top, c.Width(), c.Height()));
  painter.setFont(font_);
  painter.setPen(QColor::fromRgb(ColorRefToRgb(fontColor_)));
  painter.drawText(QPoint(static_cast<int>(left), static_cast<int>(top) + metrics.ascent()), text);
}

void TRasterSurface::TextOut(std::int32_t x, std::int32_t y, const QString& text) {
  const std::uint32_t horz = textAlign_ & kHorzAlignMask, vert = textAlign_ & kVertAlignMask;
  TextOut(x, y, text, horz == taCentre ? THorzAlign::Centre : horz == taRight ? THorzAlign::Right : THorzAlign::Left,
          vert == taBottom ? TVertAlign::Bottom : vert == taBaseline ? TVertAlign::Baseline : TVertAlign::Top);
}

void TRasterSurface::TextOutRotated(std::int32_t x, std::int32_t y, double degrees, const QString& text) {
  TCanvas canvas;
  if (!OpenCanvas(target_, clip_, canvas) || !std::isfinite(degrees)) return;
  if (degrees > 360) degrees -= 360;
  const QFontMetrics metrics(font_, &MetricsDevice());
  const TRect& c = canvas.Clip;
  QPainter painter(&target_->Image());
  // Turned glyphs are drawn as outlines: keep every edge hard, as unturned text is.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setClipRect(QRect(c.Left, c.Top, c.Width(), c.Height()));
  painter.translate(x, y);
  painter.rotate(-degrees);  // the image's rows grow downwards, so counter-clockwise is negative
  if (backgroundMode_ == bmOpaque)
    painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(text), metrics.height()), QColor::fromRgb(ColorRefToRgb(backgroundColor_)));
  if (text.isEmpty()) return;
  painter.setFont(font_);
  painter.setPen(QColor::fromRgb(ColorRefToRgb(fontColor_)));
  painter.drawText(QPoint(0, metrics.ascent()), text);
}

std::int32_t TRasterSurface::TextWidth(const QString& text) const {
  return QFontMetrics(font_, &MetricsDevice()).horizontalAdvance(text);
}

std::int32_t TRasterSurface::TextHeight(const QString&) const {
  return QFontMetrics(font_, &MetricsDevice()).height();
}

}  // namespace ninetrace
