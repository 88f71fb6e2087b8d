// The recorder's work per 100 ms timer tick at the line rate: 21 frames through the synchroniser,
// into the page buffer and onto the nine traces, a page written every 48 ticks or so. The redraw
// is not included. A second figure leaves the serial line out: synchroniser and traces only.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/frame_synchroniser.h"
#include "acquisition/recorder.h"
#include "chart/axis_panel.h"
#include "platform/serial_pty.h"
#include "recording/summary_file.h"
#include "simulator.h"

using namespace ninetrace;

namespace {

constexpr int FramesPerTick = 21;  // 1920 bytes/s / 9 bytes per frame / 10 ticks per second

std::filesystem::path MakeTempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void RecorderTick(benchmark::State& state) {
  const std::filesystem::path dir = MakeTempDirectory();
  {
    TSerialPty pty;
    TCustomAxisPanel chart;
    TTraceSet traces(chart);
    TRecorder recorder(traces, {}, SystemClock(), dir);
    recorder.Run(pty.SlavePath());
    simulator::TConverterLine line;
    std::vector<std::uint8_t> bytes;
    line.AppendNext(bytes);  // one frame always waits behind the 15-byte rule, as on the live line
    pty.Write(bytes);

    for (auto _ : state) {
      state.PauseTiming();
      bytes.clear();
      for (int i = 0; i < FramesPerTick; ++i) line.AppendNext(bytes);
      const std::uint32_t target = recorder.Port().QueueCount() + static_cast<std::uint32_t>(bytes.size());
      if (pty.Write(bytes) != bytes.size()) state.SkipWithError("the line is full");
      while (recorder.Port().QueueCount() < target) {
      }
      state.ResumeTiming();
      recorder.Tick();
    }
    state.counters["frames_per_tick"] =
        static_cast<double>(recorder.Synchroniser().FramesReceived()) / static_cast<double>(state.iterations());
    recorder.Stop();
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(RecorderTick)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(3);

class TVectorSource final : public TByteSource {
 public:
  std::vector<std::uint8_t> bytes;
  std::size_t next = 0;
  std::uint32_t QueueCount() override { return static_cast<std::uint32_t>(bytes.size() - next); }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size() - next);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(next), n, buffer);
    next += n;
    return static_cast<std::int32_t>(n);
  }
};

void SynchroniseAndPlot(benchmark::State& state) {
  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TPageBuffer page{};
  std::size_t fill = 0;
  TFrameSynchroniser sync;
  TVectorSource source;
  simulator::TConverterLine line;
  line.AppendNext(source.bytes);
  const bool recording = true;
  for (auto _ : state) {
    state.PauseTiming();
    source.bytes.erase(source.bytes.begin(), source.bytes.begin() + static_cast<std::ptrdiff_t>(source.next));
    source.next = 0;
    for (int i = 0; i < FramesPerTick; ++i) line.AppendNext(source.bytes);
    state.ResumeTiming();
    sync.Poll(source, recording, [&](TSampleRecord r) {
      std::copy(r.begin(), r.end(), page.begin() + static_cast<std::ptrdiff_t>(fill * RecordSize));
      traces.PlotRecord(page, fill, static_cast<std::int64_t>(fill));
      if (++fill == RecordsPerPage) {
        traces.Clear();
        fill = 0;
      }
    });
  }
}
BENCHMARK(SynchroniseAndPlot)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The summary's share of a page write: the page's block (and those it completes) appended to
// the summary beside the recording, and its header restamped. The page write itself is not timed.
void SummaryPerPage(benchmark::State& state) {
  const std::filesystem::path dir = MakeTempDirectory();
  {
    TDataFile recording;
    if (!recording.CreateNew(dir / "recording.bin")) throw std::runtime_error("cannot create the recording");
    TPageBuffer page{};
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 31);
    TSummaryWriter writer;
    writer.Start(dir / "recording.bin");
    for (auto _ : state) {
      state.PauseTiming();
      recording.WriteAll(page.data(), static_cast<std::int64_t>(PageSize));
      state.ResumeTiming();
      writer.AppendPage(page.data(), recording.Descriptor());
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(SummaryPerPage)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(3000);

}  // namespace
