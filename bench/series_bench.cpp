// Filling the nine traces as the whole-file overview does: 300,000 points per series,
// 300 equal x values in a row, then Clear. Reports time per AddPoint and bytes per point.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "acquisition/trace_set.h"
#include "chart/axis_panel.h"

using namespace ninetrace;

namespace {

constexpr std::int64_t PointsPerSeries = 300000;

std::int64_t StoredBytes(const TTraceSet& traces) {
  std::int64_t bytes = 0;
  for (std::size_t t = 0; t < TraceCount; ++t) {
    const TLineSeries& s = traces[t];
    bytes += (s.XValues.Capacity() + s.YValues.Capacity()) * std::int64_t{sizeof(double)};
    bytes += s.PointColors().Capacity() * std::int64_t{sizeof(TColor)};
    bytes += s.PointLabels().Capacity() * std::int64_t{sizeof(TPointLabel)};
  }
  return bytes;
}

void OverviewFill(benchmark::State& state) {
  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TPageBuffer page{};
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 37);
  std::int64_t bytesBeforeClear = 0, bytesAfterClear = 0;

  for (auto _ : state) {
    for (std::int64_t n = 0; n < PointsPerSeries; ++n)
      traces.PlotRecord(page, static_cast<std::size_t>(n % 1000), n / 300);
    state.PauseTiming();
    bytesBeforeClear = StoredBytes(traces);
    state.ResumeTiming();
    traces.Clear();
    bytesAfterClear = StoredBytes(traces);
  }
  const double points = static_cast<double>(PointsPerSeries * TraceCount);
  // A rate inverted is time per unit: counting points in billions gives nanoseconds per point.
  state.counters["ns_per_AddPoint"] = benchmark::Counter(points * static_cast<double>(state.iterations()) * 1e-9,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["bytes_per_point"] = static_cast<double>(bytesBeforeClear) / points;
  state.counters["bytes_after_Clear"] = static_cast<double>(bytesAfterClear);
}
BENCHMARK(OverviewFill)->Unit(benchmark::kMillisecond)->UseRealTime();


}  // namespace
