// Integer pixel geometry shared by the raster surface and the chart.
#pragma once

#include <cstdint>

namespace ninetrace {

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and bottom are exclusive for fills and hit tests, as everywhere in the chart.
struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  std::int32_t Width() const { return Right - Left; }
  std::int32_t Height() const { return Bottom - Top; }
  bool Contains(std::int32_t x, std::int32_t y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Intersection of two rectangles; empty when they do not overlap.
inline bool IntersectRect(const TRect& a, const TRect& b, TRect& out) {
  TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
          a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
  if (r.IsEmpty()) {
    out = TRect{};
    return false;
  }
  out = r;
  return true;
}

}  // namespace ninetrace
