// ninetrace-cli export of a 100 MB recording, in-process: bytes/s is megabytes of recording
// turned into CSV per second, written to /dev/null (the formatting alone) and to a file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "export_command.h"
#include "simulator.h"

using namespace ninetrace;

namespace {

constexpr std::size_t RecordingPages = 14'286;  // 100,002,000 bytes

// A scratch directory holding the recording, made on first use and removed at exit.
class TScratch {
 public:
  TScratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    // Waveform pages repeated: realistic codes, made quickly.
    const simulator::TWaveforms waves(1);
    std::vector<std::uint8_t> block;
    constexpr std::size_t BlockPages = 64;
    for (std::size_t n = 0; n < BlockPages * RecordsPerPage; ++n) {
      const auto r = waves.Record(n);
      block.insert(block.end(), r.begin(), r.end());
    }
    std::ofstream out(Recording(), std::ios::binary);
    for (std::size_t page = 0; page < RecordingPages; page += BlockPages) {
      const std::size_t pages = std::min(BlockPages, RecordingPages - page);
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(pages * PageSize));
    }
  }
  ~TScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  std::filesystem::path Recording() const { return dir_ / "recording.bin"; }
  std::filesystem::path Csv() const { return dir_ / "recording.csv"; }

 private:
  std::filesystem::path dir_;
};

const TScratch& Scratch() {
  static const TScratch scratch;
  return scratch;
}

void Export(benchmark::State& state, const std::filesystem::path& output) {
  cli::TExportOptions options;
  options.File = Scratch().Recording();
  options.Output = output;
  for (auto _ : state)
    if (cli::Export(options) != 0) state.SkipWithError("export failed");
  const auto bytes = static_cast<std::int64_t>(RecordingPages * PageSize);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

void BM_ExportToDevNull(benchmark::State& state) { Export(state, "/dev/null"); }
void BM_ExportToFile(benchmark::State& state) { Export(state, Scratch().Csv()); }

BENCHMARK(BM_ExportToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
