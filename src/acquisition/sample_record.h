// The nine trace values of a sample record, as the chart plots them; the record's layout itself
// is the recording format's (recording/record_layout.h).
#pragma once

#include <array>
#include <cstdint>

#include "chart/colors.h"
#include "recording/record_layout.h"

namespace ninetrace {

using TTraceValues = std::array<double, TraceCount>;

// The plotted value of a level: channels as code / 4 (0..255.75), the four digital inputs as
// 8-unit steps resting on grid lines 170, 153, 136 and 119.
constexpr double TraceValue(std::size_t trace, int level) {
  const int t = static_cast<int>(trace);
  return t < 5 ? level / 4.0 : 170 - 17 * (t - 5) + 8 * level;
}

// The nine plotted values in trace order.
constexpr TTraceValues DecodeTraceValues(TSampleRecord r) {
  TTraceValues v{};
  for (std::size_t t = 0; t < TraceCount; ++t) v[t] = TraceValue(t, TraceLevel(r, t));
  return v;
}

struct TTraceInfo {
  const char* Name;
  const char* Title;
  TColor Color;
};

inline constexpr std::array<TTraceInfo, TraceCount> Traces = {{
    {"Series1", "1", clRed},
    {"Series2", "2", clYellow},
    {"Series3", "3", clLime},
    {"Series4", "4", 16750080},   // RGB 0, 150, 255
    {"Series5", "5", 13158600},   // RGB 200, 200, 200
    {"SeriesD1", "d1", 9869035},  // RGB 235, 150, 150
    {"SeriesD2", "d2", 6610140},  // RGB 220, 220, 100
    {"SeriesD3", "d3", 9889430},  // RGB 150, 230, 150
    {"SeriesD4", "d4", 16425120}, // RGB 160, 160, 250
}};

}  // namespace ninetrace
