// What the raster surface's files share: direct access to the image's scanlines, the ink of a
// one-pixel pen, and the width-1 line walker. Not for use outside src/platform/raster_*.cpp.
#pragma once

#include <QImage>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/raster_surface.h"

namespace ninetrace::raster {

// 96 dots per inch, so an 8-point font is as many pixels high as on a common desktop screen.
constexpr int kDotsPerMeter = 3780;
constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

// Products of two coordinate spans overflow 64 bits for extreme coordinates.
__extension__ typedef __int128 TWide;

// Right/bottom exclusive, wide enough for clips grown by a brush and for coordinates near the
// ends of the 32-bit range.
struct TBox {
  std::int64_t Left, Top, Right, Bottom;
};

inline TBox ToBox(const TRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

// Where and how to write: the image's first pixel, the row stride in pixels and the clip,
// which is already inside the image.
struct TCanvas {
  std::uint32_t* Bits = nullptr;
  std::ptrdiff_t Stride = 0;
  TRect Clip{};

  std::uint32_t* Row(std::int64_t y) const { return Bits + static_cast<std::ptrdiff_t>(y) * Stride; }
};

// The clip is intersected with the image every time, so an image resized after SetTarget can
// never be written outside. False when there is nothing to draw on.
bool OpenCanvas(TRasterImage* target, const TRect& clip, TCanvas& canvas);

void FillBox(const TCanvas& canvas, const TBox& box, std::uint32_t argb);

// How a one-pixel pen writes: colour, the colour of dotted gaps, style and raster mode.
struct TInk {
  std::uint32_t PenRgb, BackRgb;
  TPenStyle Style;
  TPenMode Mode;
  bool Opaque;
};

// Writes one pixel with the ink; k is the pixel's place in the pen pattern.
void PlotInk(const TInk& ink, std::uint32_t& pixel, std::int64_t k);

// Width-1 line without its end pixel; `phase` is the pattern position of the first pixel.
void ThinLine(const TCanvas& canvas, const TInk& ink, std::int64_t x0, std::int64_t y0, std::int64_t x1,
              std::int64_t y1, std::int64_t phase);

// Row y from column xl to xr (exclusive), cut to the clip.
void FillSpan(const TCanvas& canvas, std::int64_t y, std::int64_t xl, std::int64_t xr, std::uint32_t argb);

// A solid stroke `width` pixels thick between the centres of two pixels, for any width.
void CapsuleLine(const TCanvas& canvas, std::uint32_t argb, std::int32_t width, std::int64_t x0, std::int64_t y0,
                 std::int64_t x1, std::int64_t y1);

// Text metrics are always taken at 96 dpi, with or without a target.
const QImage& MetricsDevice();

}  // namespace ninetrace::raster
