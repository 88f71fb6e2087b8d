// Whole frames of the main chart: a page (nine series x 1000 points) and the whole-file
// overview of a 300-page recording (nine series x 300,000 points), with a realistic signal
// and with random noise; the overview also with 2-pixel lines, drawn segment by segment (the
// reference the merged drawing must match), and for a one-hour recording (767 pages, 6.9
// million points). The same segments drawn by QPainter give the baseline ratio.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "acquisition/trace_chart.h"
#include "acquisition/trace_set.h"
#include "chart/chart.h"

using namespace ninetrace;

namespace {

constexpr std::int64_t Pages = 300;
constexpr std::int64_t HourPages = 767;

// One page of records: slow sines on the channels, square waves on the inputs, or pure noise.
TPageBuffer MakePage(std::int64_t pageIndex, bool noise, std::mt19937& rng) {
  TPageBuffer page{};
  for (std::size_t r = 0; r < RecordsPerPage; ++r) {
    std::uint8_t* rec = page.data() + r * RecordSize;
    const double t = static_cast<double>(pageIndex * 1000 + static_cast<std::int64_t>(r));
    if (noise) {
      for (std::size_t b = 0; b < RecordSize; ++b) rec[b] = static_cast<std::uint8_t>(rng());
      continue;
    }
    for (int c = 0; c < 5; ++c) {
      const double v = 511.5 + 400 * std::sin(t / (700.0 + 530 * c)) + static_cast<double>(rng() % 9);
      const int code = static_cast<int>(v);
      rec[c] = static_cast<std::uint8_t>(code >> 2);
      if (c < 4) rec[5] = static_cast<std::uint8_t>(rec[5] | ((code & 3) << (2 * c)));
      else rec[6] = static_cast<std::uint8_t>(rec[6] | ((code & 3) << 4));
    }
    for (int d = 0; d < 4; ++d)
      if ((static_cast<std::int64_t>(t) / (400 << d)) % 2) rec[6] = static_cast<std::uint8_t>(rec[6] | (1 << d));
  }
  return page;
}

struct MainChartBench {
  TChart chart;
  TTraceSet traces{chart};
  MainChartBench() {
    ConfigureTraceChart(chart);
    chart.SetSize(1000, 713);
    for (std::size_t t = 5; t < 9; ++t) traces[t].LinePen.SetVisible(true);
  }
  void FillPage(bool noise) {
    std::mt19937 rng(1);
    const TPageBuffer page = MakePage(0, noise, rng);
    for (std::size_t r = 0; r < RecordsPerPage; ++r) traces.PlotRecord(page, r, static_cast<std::int64_t>(r));
  }
  // X index as the overview computes it: ((7n + offset) * 1000) / size.
  void FillOverview(bool noise, std::int64_t pages = Pages) {
    std::mt19937 rng(1);
    const std::int64_t size = pages * static_cast<std::int64_t>(PageSize);
    for (std::int64_t p = 0; p < pages; ++p) {
      const TPageBuffer page = MakePage(p, noise, rng);
      const std::int64_t offset = p * static_cast<std::int64_t>(PageSize);
      for (std::int64_t n = 0; n < 1000; ++n)
        traces.PlotRecord(page, static_cast<std::size_t>(n), ((7 * n + offset) * 1000) / size);
    }
  }
  // The segments the chart draws, as pixel pairs per series, for the QPainter baseline.
  std::vector<std::vector<QLine>> Segments() {
    chart.Refresh();
    std::vector<std::vector<QLine>> out(TraceCount);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      const TLineSeries& s = traces[t];
      for (std::int32_t i = 1; i < s.PointCount(); ++i) {
        const QLine l(s.XPixel(i - 1), s.YPixel(i - 1), s.XPixel(i), s.YPixel(i));
        if (l.p1() != l.p2()) out[t].push_back(l);
      }
    }
    return out;
  }
};

void Frame(benchmark::State& state, bool overview, bool noise) {
  MainChartBench b;
  overview ? b.FillOverview(noise) : b.FillPage(noise);
  for (auto _ : state) b.chart.Refresh();
  state.counters["points"] = static_cast<double>(b.traces[0].PointCount() * 9);
}

struct TOverviewFrame {
  bool Noise = false;
  std::int32_t Width = 1;
  bool PerSegment = false;
  std::int64_t Pages = ::Pages;
};

void OverviewFrame(benchmark::State& state, TOverviewFrame f) {
  MainChartBench b;
  b.FillOverview(f.Noise, f.Pages);
  for (std::size_t t = 0; t < TraceCount; ++t) {
    b.traces[t].LinePen.SetWidth(f.Width);
    b.traces[t].PerSegmentDrawing = f.PerSegment;
  }
  for (auto _ : state) b.chart.Refresh();
  state.counters["points"] = static_cast<double>(b.traces[0].PointCount() * 9);
}

void QPainterBaseline(benchmark::State& state, bool overview, bool noise) {
  MainChartBench b;
  overview ? b.FillOverview(noise) : b.FillPage(noise);
  const auto segments = b.Segments();
  QImage image(1000, 713, QImage::Format_RGB32);
  std::size_t count = 0;
  for (const auto& s : segments) count += s.size();
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setClipRect(3, 3, 997, 699);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      painter.setPen(QPen(QColor::fromRgb(ColorRefToRgb(Traces[t].Color)), 0));
      for (const QLine& l : segments[t]) painter.drawLine(l);
    }
  }
  state.counters["segments"] = static_cast<double>(count);
}

BENCHMARK_CAPTURE(Frame, page_realistic, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, overview_realistic, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, overview_noise, true, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, realistic_width2, TOverviewFrame{.Width = 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, noise_width2, TOverviewFrame{.Noise = true, .Width = 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, hour_realistic, TOverviewFrame{.Pages = HourPages})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, hour_noise, TOverviewFrame{.Noise = true, .Pages = HourPages})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, realistic_per_segment, TOverviewFrame{.PerSegment = true})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, noise_per_segment, TOverviewFrame{.Noise = true, .PerSegment = true})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OverviewFrame, realistic_width2_per_segment, TOverviewFrame{.Width = 2, .PerSegment = true})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QPainterBaseline, page_realistic, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QPainterBaseline, overview_realistic, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QPainterBaseline, overview_noise, true, true)->Unit(benchmark::kMillisecond);

}  // namespace
