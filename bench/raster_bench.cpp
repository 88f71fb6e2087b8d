// Line drawing as the chart does it on a full-size plot: a million short segments in every
// direction, and a million vertical runs (the min/max columns of a dense trace).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "platform/raster_surface.h"

using namespace ninetrace;

namespace {

constexpr std::int32_t Width = 1000, Height = 713, Segments = 1000000;

struct TSegment {
  std::int32_t x0, y0, x1, y1;
};

std::vector<TSegment> ShortSegments() {
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::int32_t> x(0, Width - 1), y(0, Height - 1), d(-6, 6);
  std::vector<TSegment> out(Segments);
  for (TSegment& s : out) {
    s.x0 = x(rng), s.y0 = y(rng);
    s.x1 = s.x0 + d(rng), s.y1 = s.y0 + d(rng);
  }
  return out;
}

std::vector<TSegment> VerticalRuns() {
  std::mt19937 rng(8);
  std::uniform_int_distribution<std::int32_t> x(0, Width - 1), y(0, Height - 1);
  std::vector<TSegment> out(Segments);
  for (TSegment& s : out) {
    s.x0 = s.x1 = x(rng);
    s.y0 = y(rng), s.y1 = y(rng);
  }
  return out;
}

void Draw(benchmark::State& state, const std::vector<TSegment>& segments, std::int32_t width, TPenMode mode) {
  TRasterImage image(Width, Height);
  TRasterSurface surface(&image);
  surface.ClipToRect({2, 2, Width - 2, Height - 2});  // like the plot area inside its frame
  surface.SetPen(0x00FF8000, width, psSolid, mode);
  for (auto _ : state) {
    for (const TSegment& s : segments) {
      surface.MoveTo(s.x0, s.y0);
      surface.LineTo(s.x1, s.y1);
    }
    benchmark::DoNotOptimize(image.Image().constBits());
  }
  // Seconds per segment; shown with an SI prefix, so "12n" reads 12 ns.
  state.counters["per_segment"] = benchmark::Counter(
      static_cast<double>(segments.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void ShortSegmentsCopy(benchmark::State& state) { Draw(state, ShortSegments(), 1, pmCopy); }
void ShortSegmentsNotXor(benchmark::State& state) { Draw(state, ShortSegments(), 1, pmNotXor); }
void ShortSegmentsWidth2(benchmark::State& state) { Draw(state, ShortSegments(), 2, pmCopy); }
void VerticalRunsCopy(benchmark::State& state) { Draw(state, VerticalRuns(), 1, pmCopy); }

}  // namespace

BENCHMARK(ShortSegmentsCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(ShortSegmentsNotXor)->Unit(benchmark::kMillisecond);
BENCHMARK(ShortSegmentsWidth2)->Unit(benchmark::kMillisecond);
BENCHMARK(VerticalRunsCopy)->Unit(benchmark::kMillisecond);
