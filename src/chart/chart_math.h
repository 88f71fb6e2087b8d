// The chart's integer arithmetic: rounding to even in extended precision and MulDiv.
#pragma once

#include <cmath>
#include <cstdint>

namespace ninetrace {

// Round to nearest, halves to the even neighbour, in the 80-bit extended type.
// The default floating-point environment rounds to nearest-even, which lrint honours.
inline std::int64_t RoundEven(long double v) { return std::llrint(v); }

// a * b / c with a 64-bit product, rounded to nearest with halves away from zero; -1 for c = 0.
inline std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  std::int64_t q = p / c;
  const std::int64_t r = p % c;
  const std::int64_t twice = (r < 0 ? -r : r) * 2;
  const std::int64_t absc = c < 0 ? -static_cast<std::int64_t>(c) : c;
  if (twice >= absc) q += ((p < 0) != (c < 0)) ? -1 : 1;
  return static_cast<std::int32_t>(q);
}

}  // namespace ninetrace
