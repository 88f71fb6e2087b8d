// Records from the converter simulator for half a minute at ten times the line rate, as the
// window would (a tick every 100 ms), and checks that the file holds every frame the simulator
// logged. Prints the tick cost. Not a test: run it by hand, e.g. bench_record_live 30 10.
#include <poll.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_synchroniser.h"
#include "acquisition/recorder.h"
#include "chart/axis_panel.h"

using namespace ninetrace;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TVectorSource final : public TByteSource {
 public:
  explicit TVectorSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint32_t QueueCount() override { return static_cast<std::uint32_t>(bytes_.size() - next_); }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes_.size() - next_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(next_), n, buffer);
    next_ += n;
    return static_cast<std::int32_t>(n);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
  const double rate = argc > 2 ? std::atof(argv[2]) : 10;
  const std::string cli = argc > 3 ? argv[3] : NINETRACE_CLI;

  std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-live-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  const auto log = dir / "sent.log", summary = dir / "simulator.txt";
  const std::string command = "'" + cli + "' simulate --seconds " + std::to_string(seconds) + " --rate " +
                              std::to_string(rate) + " --log '" + log.string() + "' 2>'" + summary.string() + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> simulator(::popen(command.c_str(), "r"), ::pclose);
  char path[256] = {};
  if (!simulator || std::fgets(path, sizeof path, simulator.get()) == nullptr) {
    std::fprintf(stderr, "cannot start %s\n", cli.c_str());
    return 1;
  }
  std::string slave(path);
  slave.erase(slave.find_last_not_of('\n') + 1);

  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TRecorder recorder(traces, {}, SystemClock(), dir);
  recorder.Run(slave);

  std::vector<double> tickMicroseconds;
  std::uint32_t mostWaiting = 0;
  auto next = Clock::now();
  pollfd exited{::fileno(simulator.get()), POLLIN, 0};
  while (::poll(&exited, 1, 0) == 0) {
    next += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(next);  // the window's timer
    const auto start = Clock::now();
    try {
      mostWaiting = std::max(mostWaiting, recorder.Port().QueueCount());
      recorder.Tick();
    } catch (const std::exception&) {
      break;  // the simulator has hung up its line on the way out: the recording is stopped and kept
    }
    tickMicroseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  const std::int64_t received = recorder.Synchroniser().FramesReceived();
  const std::int64_t dropped = recorder.Synchroniser().BytesDropped();
  recorder.Stop();
  simulator.reset();

  const std::vector<std::uint8_t> sent = ReadWholeFile(log);
  TVectorSource replay(sent);
  TFrameSynchroniser sync;
  std::vector<std::uint8_t> expected;
  sync.Poll(replay, true, [&](TSampleRecord r) { expected.insert(expected.end(), r.begin(), r.end()); });
  const std::vector<std::uint8_t> file = ReadWholeFile(recorder.FilePath());
  const bool same = file.size() >= expected.size() && std::equal(expected.begin(), expected.end(), file.begin()) &&
                    file.size() % PageSize == 0;

  std::sort(tickMicroseconds.begin(), tickMicroseconds.end());
  double total = 0;
  for (double t : tickMicroseconds) total += t;
  const auto at = [&](double q) { return tickMicroseconds[static_cast<std::size_t>(q * static_cast<double>(tickMicroseconds.size() - 1))]; };
  const auto simulatorSummary = ReadWholeFile(summary);
  std::fwrite(simulatorSummary.data(), 1, simulatorSummary.size(), stdout);
  std::printf("bytes logged %zu, frames in the log %lld (%lld bytes outside frames)\n", sent.size(),
              static_cast<long long>(sync.FramesReceived()), static_cast<long long>(sync.BytesDropped()));
  std::printf("frames recorded %lld, bytes dropped %lld, file %zu bytes (%zu pages)\n", static_cast<long long>(received),
              static_cast<long long>(dropped), file.size(), file.size() / PageSize);
  std::printf("ticks %zu, most bytes waiting at a tick %u, frames per tick %.1f\n", tickMicroseconds.size(), mostWaiting,
              static_cast<double>(received) / static_cast<double>(tickMicroseconds.size()));
  std::printf("tick cost (us): mean %.1f, median %.1f, 99th percentile %.1f, max %.1f\n",
              total / static_cast<double>(tickMicroseconds.size()), at(0.5), at(0.99), tickMicroseconds.back());
  std::printf("%s\n", same && received == sync.FramesReceived() ? "OK: the file holds every frame logged"
                                                                 : "MISMATCH: frames were lost or changed");
  std::filesystem::remove_all(dir);
  return same && received == sync.FramesReceived() ? 0 : 1;
}
