// "All" from the press to the finished frame: the whole file read page by page onto the nine
// traces and the main chart (1000 x 713) redrawn, for a 300-page file and a 1-hour recording.
// The file sits in the page cache, as it does right after recording or viewing it. The "no_draw"
// figures leave the redraw out: what remains is reading and plotting, the viewer's own share.
#include <benchmark/benchmark.h>

#include <stdlib.h>


#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "acquisition/trace_chart.h"
#include "chart/chart.h"
#include "playback/page_viewer.h"

using namespace ninetrace;

namespace {

// Slow sines on the channels with a little noise, square waves on the inputs.
void FillPage(TPageBuffer& page, std::int64_t pageIndex, std::mt19937& rng) {
  page.fill(0);
  for (std::size_t r = 0; r < RecordsPerPage; ++r) {
    std::uint8_t* rec = page.data() + r * RecordSize;
    const double t = static_cast<double>(pageIndex * 1000 + static_cast<std::int64_t>(r));
    for (int c = 0; c < 5; ++c) {
      const int code = static_cast<int>(511.5 + 400 * std::sin(t / (700.0 + 530 * c)) + static_cast<double>(rng() % 9));
      rec[c] = static_cast<std::uint8_t>(code >> 2);
      if (c < 4) rec[5] = static_cast<std::uint8_t>(rec[5] | ((code & 3) << (2 * c)));
      else rec[6] = static_cast<std::uint8_t>(rec[6] | ((code & 3) << 4));
    }
    for (int d = 0; d < 4; ++d)
      if ((static_cast<std::int64_t>(t) / (400 << d)) % 2) rec[6] = static_cast<std::uint8_t>(rec[6] | (1 << d));
  }
}

class TRecordingFile {
 public:
  explicit TRecordingFile(std::int64_t pages) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    TDataFile file;
    if (!file.CreateNew(Path())) throw std::runtime_error("cannot create the recording");
    std::mt19937 rng(1);
    TPageBuffer page;
    for (std::int64_t p = 0; p < pages; ++p) {
      FillPage(page, p, rng);
      file.WriteAll(page.data(), PageBytes);
    }
  }
  ~TRecordingFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TRecordingFile(const TRecordingFile&) = delete;
  TRecordingFile& operator=(const TRecordingFile&) = delete;
  std::filesystem::path Path() const { return dir_ / "recording.bin"; }

 private:
  std::filesystem::path dir_;
};

void OverviewPress(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TChart chart;
  ConfigureTraceChart(chart);
  chart.SetSize(1000, 713);
  TTraceSet traces(chart);
  TRecorder recorder(traces, {});
  const bool draw = state.range(1) != 0;
  TPageViewer viewer(recorder, traces, [&] { if (draw) chart.Refresh(); }, [](const QString&) {}, [] { return 0; });
  viewer.View(file.Path());
  for (auto _ : state) {
    viewer.ToggleOverview();
    state.PauseTiming();
    viewer.ToggleOverview();  // back to the page, ready for the next press
    state.ResumeTiming();
  }
  viewer.ToggleOverview();
  state.counters["points"] = static_cast<double>(traces[0].PointCount()) * TraceCount;
  state.counters["frames"] = static_cast<double>(chart.FramesDrawn());
}

BENCHMARK(OverviewPress)->Name("All/300_pages")->Args({300, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All/1_hour_767_pages")->Args({767, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All_no_draw/300_pages")->Args({300, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All_no_draw/1_hour_767_pages")->Args({767, 0})->Unit(benchmark::kMillisecond);

}  // namespace
