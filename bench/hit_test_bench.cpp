// The press hit test over the whole-file overview of a 300-page recording: nine series of
// 300,000 points each, walked from the last series to the first on every left press.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "acquisition/trace_chart.h"
#include "acquisition/trace_set.h"
#include "chart/chart.h"
#include "simulator.h"

using namespace ninetrace;

namespace {

struct Overview {
  TChart chart;
  TTraceSet traces{chart};
  Overview() {
    ConfigureTraceChart(chart);
    chart.SetSize(1000, 713);
    const simulator::TWaveforms waves;
    constexpr std::int64_t pages = 300, size = pages * static_cast<std::int64_t>(PageSize);
    TPageBuffer page{};
    for (std::int64_t p = 0; p < pages; ++p) {
      for (std::size_t r = 0; r < RecordsPerPage; ++r) {
        const auto rec = waves.Record(static_cast<std::uint64_t>(p) * RecordsPerPage + r);
        std::copy(rec.begin(), rec.end(), page.begin() + static_cast<std::ptrdiff_t>(r * RecordSize));
      }
      const std::int64_t offset = p * static_cast<std::int64_t>(PageSize);
      for (std::int64_t n = 0; n < 1000; ++n)
        traces.PlotRecord(page, static_cast<std::size_t>(n), ((7 * n + offset) * 1000) / size);
    }
    chart.Refresh();  // the drawn range the hit test walks comes from the last frame
  }
};

// A press that hits no series walks every point of every series: the worst case.
void PressMissingEverySeries(benchmark::State& state) {
  Overview o;
  for (auto _ : state) benchmark::DoNotOptimize(o.chart.HitTestParts(1500, 900));
}
BENCHMARK(PressMissingEverySeries)->Unit(benchmark::kMillisecond);

void PressInThePlotArea(benchmark::State& state) {
  Overview o;
  for (auto _ : state) benchmark::DoNotOptimize(o.chart.HitTestParts(500, 690));
}
BENCHMARK(PressInThePlotArea)->Unit(benchmark::kMillisecond);

}  // namespace
