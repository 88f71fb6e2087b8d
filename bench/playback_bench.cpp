// "All" from the press to the finished frame on recordings of 300 pages, an hour, a day and a
// week, the resident memory it takes on the way, and one redraw of the overview afterwards. The
// files are made in a temporary folder and sit in the page cache, as they do right after
// recording or viewing them; they are deleted afterwards. The "no_draw" figures leave the
// redraw out: what remains is reading and reducing, the viewer's own share.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/trace_chart.h"
#include "chart/chart.h"
#include "app/chart_reading.h"
#include "playback/page_viewer.h"
#include "recording/summary_builder.h"
#include "recording/summary_file.h"

using namespace ninetrace;

namespace {

// Slow sines on the channels with a little noise, square waves on the inputs: table driven,
// so that a week of recording is written in seconds.
class TSignal {
 public:
  TSignal() {
    for (std::size_t i = 0; i < sine_.size(); ++i)
      sine_[i] = static_cast<int>(511.5 + 400 * std::sin(2 * M_PI * static_cast<double>(i) / static_cast<double>(sine_.size())));
  }
  void Fill(std::uint8_t* rec, std::int64_t t) {
    rec[5] = rec[6] = 0;
    for (int c = 0; c < 5; ++c) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 7;
      state_ ^= state_ << 17;
      const auto phase = static_cast<std::size_t>(t * 4096 / (4400 + 3330 * c)) % sine_.size();
      const int code = sine_[phase] + static_cast<int>(state_ % 9);
      rec[c] = static_cast<std::uint8_t>(code >> 2);
      if (c < 4) rec[5] = static_cast<std::uint8_t>(rec[5] | ((code & 3) << (2 * c)));
      else rec[6] = static_cast<std::uint8_t>(rec[6] | ((code & 3) << 4));
    }
    for (int d = 0; d < 4; ++d)
      if ((t / (400 << d)) % 2) rec[6] = static_cast<std::uint8_t>(rec[6] | (1 << d));
  }

 private:
  std::array<int, 4096> sine_{};
  std::uint64_t state_ = 88172645463325252ull;
};

class TRecordingFile {
 public:
  explicit TRecordingFile(std::int64_t pages) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    TDataFile file;
    if (!file.CreateNew(Path())) throw std::runtime_error("cannot create the recording");
    TSignal signal;
    constexpr std::int64_t PagesPerWrite = 256;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(PagesPerWrite * PageBytes));
    for (std::int64_t p = 0; p < pages; p += PagesPerWrite) {
      const std::int64_t n = std::min(PagesPerWrite, pages - p);
      for (std::int64_t r = 0; r < n * 1000; ++r) signal.Fill(block.data() + r * 7, p * 1000 + r);
      file.WriteAll(block.data(), n * PageBytes);
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

// Resident memory in bytes: now ("VmRSS:") or the peak since the last reset ("VmHWM:").
double Resident(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word)
    if (word == key) {
      double kb = 0;
      status >> kb;
      return kb * 1024;
    }
  return 0;
}

double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Sets the peak back to what is resident now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

TChart& Configured(TChart& chart) {
  ConfigureTraceChart(chart);
  chart.SetSize(1000, 713);
  return chart;
}

// The main chart, its traces and a viewer on them, as the window wires them.
struct TViewerRig {
  explicit TViewerRig(bool draw = true)
      : viewer(recorder, traces, [this, draw] { if (draw) chart.Refresh(); }, [](const QString&) {}, [] { return 0; }) {}
  // A drag onto a thin band around the digital traces, as a person zooms.
  void ZoomOntoThinBand() {
    chart.ZoomDrag = {};
    chart.ZoomDrag.Start(100, 340);
    chart.ZoomDrag.EndX = 900;
    chart.ZoomDrag.EndY = 358;
    chart.ComputeZoomRanges();
    chart.Refresh();
  }

  TChart chart;
  TTraceSet traces{Configured(chart)};
  TRecorder recorder{traces, {}};
  TPageViewer viewer;
};

void OverviewPress(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TViewerRig rig(state.range(1) != 0);
  TChart& chart = rig.chart;
  TTraceSet& traces = rig.traces;
  TPageViewer& viewer = rig.viewer;
  viewer.View(file.Path());
  // The peak from here on, against what the page view holds: everything "All" ever takes,
  // including what the allocator keeps for the next press.
  ResetPeak();
  const double before = Resident("VmRSS:");
  viewer.ToggleOverview();  // once untimed: the file in the page cache
  viewer.ToggleOverview();
  for (auto _ : state) {
    viewer.ToggleOverview();
    state.PauseTiming();
    viewer.ToggleOverview();  // back to the page, ready for the next press
    state.ResumeTiming();
  }
  viewer.ToggleOverview();
  const double growth = Resident("VmHWM:") - before;
  // The timer's redraw of the overview: the median of a few, as other work shares the machine.
  std::vector<double> redraws, redrawsCpu;
  for (int i = 0; i < 21; ++i) {
    const double cpu = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    chart.Refresh();
    redraws.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    redrawsCpu.push_back(ThreadCpuMs() - cpu);
  }
  std::nth_element(redraws.begin(), redraws.begin() + 10, redraws.end());
  std::nth_element(redrawsCpu.begin(), redrawsCpu.begin() + 10, redrawsCpu.end());
  state.counters["MB"] = static_cast<double>(state.range(0)) * PageBytes / 1e6;
  state.counters["rss_growth_MB"] = growth / 1e6;
  state.counters["redraw_ms"] = redraws[10];
  state.counters["redraw_cpu_ms"] = redrawsCpu[10];
  state.counters["points"] = static_cast<double>(traces[0].PointCount()) * TraceCount;
}

// A second zoom onto a thin band maps far levels beyond the drawing's coordinate guard: the
// overview is read again for that view. Timed: that zoom and its frame, then the undo and its frame
// (read again, plainly).
void DeepZoom(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TViewerRig rig;
  TChart& chart = rig.chart;
  TPageViewer& viewer = rig.viewer;
  chart.OnZoom = chart.OnUndoZoom = [&viewer](TChart*) { viewer.AxesChanged(); };
  viewer.View(file.Path());
  viewer.ToggleOverview();
  for (auto _ : state) {
    state.PauseTiming();
    rig.ZoomOntoThinBand();  // within the guard still
    state.ResumeTiming();
    rig.ZoomOntoThinBand();
    chart.UndoZoom();
    chart.Refresh();
  }
  state.counters["MB"] = static_cast<double>(state.range(0)) * PageBytes / 1e6;
}

// "All" pressed on a page view zoomed twice onto a thin band: the overview is reduced for that
// view from the start. Timed: the press and its frame; the page view keeps the zoom in between.
void AllAfterPageZoom(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TViewerRig rig;
  TPageViewer& viewer = rig.viewer;
  viewer.View(file.Path());
  for (int i = 0; i < 2; ++i) rig.ZoomOntoThinBand();
  viewer.ToggleOverview();  // once untimed: the file in the page cache
  viewer.ToggleOverview();
  for (auto _ : state) {
    viewer.ToggleOverview();
    state.PauseTiming();
    viewer.ToggleOverview();
    state.ResumeTiming();
  }
  state.counters["MB"] = static_cast<double>(state.range(0)) * PageBytes / 1e6;
}

// A window following a growing recording reads its open overview again at most once a second,
// keeping the zoom: the cost of one such refresh, with its frame. Arg 1: zoomed onto a thin band
// first (twice, so the refresh reduces for that view).
void FollowOverviewRefresh(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TViewerRig rig;
  TPageViewer& viewer = rig.viewer;
  viewer.View(file.Path());
  for (int i = 0; i < state.range(1); ++i) rig.ZoomOntoThinBand();
  viewer.ToggleOverview();
  for (auto _ : state) viewer.RebuildOverview();
  state.counters["MB"] = static_cast<double>(state.range(0)) * PageBytes / 1e6;
}

// Drops a file from the page cache (its pages are clean: written and synced before).
void DropFromCache(const std::filesystem::path& path) {
  const TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  ::fdatasync(fd.Get());
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A recording of 30 days (3.9 GB), made once in the temporary folder: building its summary warm
// and cold, then "All" press to frame with the summary on disk, warm and with both files dropped
// from the page cache, the memory that takes, a zoom inside the overview and a deep zoom.
void Month(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  DropFromCache(file.Path());  // synced, so the cold runs can drop it
  const auto build = [&file] {
    TDataFile f;
    f.OpenRead(file.Path());
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ThreadCpuMs();
    TSummaryBuilder builder(f.Descriptor(), f.Size(), "month");
    while (!builder.Step()) {
    }
    const double ms = MsSince(start), cpuMs = ThreadCpuMs() - cpu;
    SaveSummary(SummaryPathFor(file.Path()), builder.Take(), *StampOf(f.Descriptor()));
    const double mb = static_cast<double>(f.Size()) / 1e3;
    return std::pair{mb / ms, mb / cpuMs};  // MB/s of wall and of CPU time
  };
  const auto [buildCold, buildColdCpu] = build();
  const auto [buildWarm, buildWarmCpu] = build();
  DropFromCache(SummaryPathFor(file.Path()));
  std::vector<double> warm, cold, warmCpu, coldCpu, zooms, growth;
  for (auto _ : state) {
    for (int run = 0; run < 10; ++run) {
      const bool dropped = run % 2 == 0;
      if (dropped) {
        DropFromCache(file.Path());
        DropFromCache(SummaryPathFor(file.Path()));
      }
      TViewerRig rig;
      rig.viewer.View(file.Path());
      rig.chart.OnZoom = rig.chart.OnUndoZoom = [&rig](TChart*) { rig.viewer.AxesChanged(); };
      ResetPeak();
      const double before = Resident("VmRSS:");
      const auto start = std::chrono::steady_clock::now();
      const double cpu = ThreadCpuMs();
      rig.viewer.ToggleOverview();
      (dropped ? cold : warm).push_back(MsSince(start));
      (dropped ? coldCpu : warmCpu).push_back(ThreadCpuMs() - cpu);
      growth.push_back((Resident("VmHWM:") - before) / 1e6);
      // A zoom onto a part of the overview and its frame, then back.
      const auto zoom = std::chrono::steady_clock::now();
      rig.chart.ZoomDrag = {};
      rig.chart.ZoomDrag.Start(200 + 60 * run, 150);
      rig.chart.ZoomDrag.EndX = 300 + 60 * run;
      rig.chart.ZoomDrag.EndY = 600;
      rig.chart.ComputeZoomRanges();
      rig.chart.Refresh();
      zooms.push_back(MsSince(zoom));
      rig.chart.UndoZoom();
    }
  }
  // Levels beyond the coordinate guard: reduced from the summary for that view, each time by a
  // window that has just opened the recording (so no page it checked before helps): first with
  // the recording dropped from the page cache, then warm (the median of a few); and the same zoom
  // once more in the last window.
  double deepCold = 0, deepAgain = 0;
  std::vector<double> deepWarm, deepWarmCpu;
  for (int run = 0; run < 6; ++run) {
    if (run == 0) DropFromCache(file.Path());
    TViewerRig rig;
    rig.viewer.View(file.Path());
    rig.chart.OnZoom = rig.chart.OnUndoZoom = [&rig](TChart*) { rig.viewer.AxesChanged(); };
    rig.viewer.ToggleOverview();
    for (int again = 0; again < (run == 5 ? 2 : 1); ++again) {
      rig.ZoomOntoThinBand();
      const auto deep = std::chrono::steady_clock::now();
      const double cpu = ThreadCpuMs();
      rig.ZoomOntoThinBand();
      const double ms = MsSince(deep);
      (again ? deepAgain : run == 0 ? deepCold : deepWarm.emplace_back()) = ms;
      if (!again && run > 0) deepWarmCpu.push_back(ThreadCpuMs() - cpu);
      rig.chart.UndoZoom();
      rig.chart.UndoZoom();
    }
  }
  state.counters["MB"] = static_cast<double>(state.range(0)) * PageBytes / 1e6;
  state.counters["build_MBps_cold"] = buildCold;
  state.counters["build_MBps_warm"] = buildWarm;
  state.counters["build_MBps_cold_cpu"] = buildColdCpu;
  state.counters["build_MBps_warm_cpu"] = buildWarmCpu;
  state.counters["all_warm_cpu_ms"] = Median(warmCpu);
  state.counters["all_cold_cpu_ms"] = Median(coldCpu);
  state.counters["summary_pct"] =
      100.0 * static_cast<double>(std::filesystem::file_size(SummaryPathFor(file.Path()))) / (state.counters["MB"] * 1e6);
  state.counters["all_warm_ms"] = Median(warm);
  state.counters["all_cold_ms"] = Median(cold);
  state.counters["all_cold_max_ms"] = *std::max_element(cold.begin(), cold.end());
  state.counters["rss_growth_MB"] = *std::max_element(growth.begin(), growth.end());
  state.counters["zoom_ms"] = Median(zooms);
  state.counters["zoom_max_ms"] = *std::max_element(zooms.begin(), zooms.end());
  state.counters["deep_zoom_cold_ms"] = deepCold;
  state.counters["deep_zoom_ms"] = Median(deepWarm);
  state.counters["deep_zoom_max_ms"] = *std::max_element(deepWarm.begin(), deepWarm.end());
  state.counters["deep_zoom_cpu_ms"] = Median(deepWarmCpu);
  state.counters["deep_zoom_again_ms"] = deepAgain;
}

// The pointer readout as the pointer sweeps the chart: one update per pixel column, on a page
// (range 1: 0) or on the overview (1), each column's records read from the file.
void ReadoutSweep(benchmark::State& state) {
  const TRecordingFile file(state.range(0));
  TViewerRig rig;
  rig.viewer.View(file.Path());
  if (state.range(1) != 0) rig.viewer.ToggleOverview();
  TChartReading reading(rig.recorder, rig.viewer, rig.traces, rig.chart);
  const TChannelScales channels = DefaultChannelScales();
  std::int32_t x = 2;
  for (auto _ : state) {
    benchmark::DoNotOptimize(reading.ReadoutAt(x, 300, channels));
    x = x >= 999 ? 2 : x + 1;
  }
}

constexpr std::int64_t HourPages = 767;  // 3600 s at about 213 records a second
BENCHMARK(OverviewPress)->Name("All/300_pages")->Args({300, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All/1_hour_767_pages")->Args({HourPages, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All/24_hours_18432_pages")->Args({24 * 768, 1})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(OverviewPress)->Name("All/7_days_129024_pages")->Args({7 * 24 * 768, 1})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DeepZoom)->Name("Deep_zoom_then_undo/24_hours_18432_pages")->Args({24 * 768})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AllAfterPageZoom)->Name("All_after_a_deep_zoom_on_the_page/7_days_129024_pages")->Args({7 * 24 * 768})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FollowOverviewRefresh)->Name("Follow_overview_refresh/24_hours_18432_pages")->Args({24 * 768, 0})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FollowOverviewRefresh)->Name("Follow_overview_refresh_zoomed/24_hours_18432_pages")->Args({24 * 768, 2})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Month)->Name("All/30_days_552960_pages")->Args({30 * 24 * 768})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadoutSweep)->Name("Readout_update/page")->Args({HourPages, 0})->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadoutSweep)->Name("Readout_update/overview_24_hours_18432_pages")->Args({24 * 768, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(OverviewPress)->Name("All_no_draw/300_pages")->Args({300, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(OverviewPress)->Name("All_no_draw/24_hours_18432_pages")->Args({24 * 768, 0})->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
