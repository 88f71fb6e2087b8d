// Value -> pixel answers of one axis, remembered for one drawing pass. The extended-precision
// mapping costs more than everything else a dense trace does per point, while the values
// themselves are converter codes that repeat endlessly; a small open-addressed table keyed by
// the value's bits gives the axis' own answer back, so the result is exact by construction.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "chart/chart_axis.h"

namespace ninetrace {

class TPixelMemo {
 public:
  explicit TPixelMemo(const TChartAxis& axis)
      : axis_(axis),
        keys_(std::make_unique_for_overwrite<std::uint64_t[]>(Slots)),
        pixels_(std::make_unique_for_overwrite<std::int32_t[]>(Slots)) {
    std::fill_n(keys_.get(), Slots, Empty);
  }

  std::int32_t operator()(double value) {
    const auto key = std::bit_cast<std::uint64_t>(value);
    if (key == Empty) [[unlikely]]
      return axis_.ValueToPixel(value);
    std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits));
    while (true) {
      const std::uint64_t k = keys_[slot];
      if (k == key) return pixels_[slot];
      if (k == Empty) break;
      slot = (slot + 1) & (Slots - 1);
    }
    const std::int32_t pixel = axis_.ValueToPixel(value);
    // Data with endless distinct values stops filling the table: probes stay short and every
    // further miss simply asks the axis.
    if (stored_ < MaxStored) {
      keys_[slot] = key;
      pixels_[slot] = pixel;
      ++stored_;
    }
    return pixel;
  }

  // Distinct values remembered so far.
  std::size_t Stored() const { return stored_; }

  static constexpr std::size_t SlotBits = 12;
  static constexpr std::size_t Slots = std::size_t{1} << SlotBits;
  static constexpr std::size_t MaxStored = Slots / 2;

 private:
  // A NaN no arithmetic produces; a value with exactly these bits is simply never stored.
  static constexpr std::uint64_t Empty = ~std::uint64_t{0};

  const TChartAxis& axis_;
  std::unique_ptr<std::uint64_t[]> keys_;
  std::unique_ptr<std::int32_t[]> pixels_;
  std::size_t stored_ = 0;
};

}  // namespace ninetrace
