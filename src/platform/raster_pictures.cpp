// Pictures on the raster surface: drawn at their own size, stretched into a rectangle, or turned
// into black and white.
#include "platform/raster_internal.h"

namespace ninetrace {

using namespace raster;

// At its own size: a plain copy of the part inside the clip, with the far corner worked out in
// 64 bits so a picture placed near the end of the coordinate range cannot wrap round.
void TRasterSurface::DrawImage(std::int32_t x, std::int32_t y, const TRasterImage& picture) {
  TCanvas canvas;
  if (picture.IsNull() || !OpenCanvas(target_, clip_, canvas)) return;
  const TRect& c = canvas.Clip;
  const std::int64_t x0 = std::max<std::int64_t>(x, c.Left), x1 = std::min<std::int64_t>(std::int64_t{x} + picture.Width(), c.Right);
  const std::int64_t y0 = std::max<std::int64_t>(y, c.Top), y1 = std::min<std::int64_t>(std::int64_t{y} + picture.Height(), c.Bottom);
  const QImage& src = picture.Image();
  for (std::int64_t row = y0; row < y1; ++row) {
    const auto* in = reinterpret_cast<const std::uint32_t*>(src.constScanLine(static_cast<int>(row - y)));
    std::uint32_t* out = canvas.Row(row);
    for (std::int64_t col = x0; col < x1; ++col) out[col] = in[col - x] | kOpaque;
  }
}

// Nearest pixel: the destination pixel's centre, scaled back, falls in the source pixel taken.
// The rectangle may span more than 2^31 pixels, so its size and the products are wide; only
// the rows and columns inside the clip are visited.
void TRasterSurface::StretchDrawImage(const TRect& r, const TRasterImage& picture) {
  TCanvas canvas;
  if (picture.IsNull() || r.IsEmpty() || !OpenCanvas(target_, clip_, canvas)) return;
  const TRect& c = canvas.Clip;
  const std::int64_t w = std::int64_t{r.Right} - r.Left, h = std::int64_t{r.Bottom} - r.Top;
  const std::int64_t sw = picture.Width(), sh = picture.Height();
  const std::int64_t x0 = std::max(r.Left, c.Left), x1 = std::min(r.Right, c.Right);
  const std::int64_t y0 = std::max(r.Top, c.Top), y1 = std::min(r.Bottom, c.Bottom);
  const QImage& src = picture.Image();
  for (std::int64_t y = y0; y < y1; ++y) {
    const auto sy = static_cast<int>((TWide{2} * (y - r.Top) + 1) * sh / (TWide{2} * h));
    const auto* row = reinterpret_cast<const std::uint32_t*>(src.constScanLine(sy));
    std::uint32_t* out = canvas.Row(y);
    for (std::int64_t x = x0; x < x1; ++x)
      out[x] = row[static_cast<std::int64_t>((TWide{2} * (x - r.Left) + 1) * sw / (TWide{2} * w))] | kOpaque;
  }
}

void TRasterImage::MakeMonochrome() {
  if (IsNull()) return;
  for (std::int32_t y = 0; y < Height(); ++y) {
    std::uint32_t* row = Row(y);
    for (std::int32_t x = 0; x < Width(); ++x) {
      const std::uint32_t p = row[x];
      // The nearer of black and white: white once the channels add up past half of 3 x 255.
      const std::uint32_t sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
      row[x] = sum > 382 ? 0xFFFFFFFFu : kOpaque;
    }
  }
}

}  // namespace ninetrace
