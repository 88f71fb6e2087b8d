#include "simulate_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "output_guard.h"
#include "platform/file_descriptor.h"
#include "platform/serial_pty.h"
#include "replay_line.h"
#include "simulator.h"
#include "monotonic_time.h"

namespace ninetrace::simulator {

namespace {

constexpr double LineBytesPerSecond = 19200.0 / 10;  // 8N1: ten bit times per byte
constexpr long BurstNanoseconds = 5'000'000;          // a few bytes every 5 ms
constexpr std::uint32_t ReaderKeepsBack = 15;         // a reader leaves this many bytes waiting

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a sleep ends at once on a signal
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

using cli_time::AddNanoseconds;
using cli_time::Now;
using cli_time::SecondsBetween;

bool WriteAllTo(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

// A device or file given with --device: written blocking, which paces itself on a real port.
TFileDescriptor OpenDevice(const std::string& path, const cli::TInput* replayed) {
  TFileDescriptor fd = cli::OpenOutput(path, cli::TOutputMode::Replace, replayed);
  if (::isatty(fd.Get())) {
    termios tty{};
    if (::tcgetattr(fd.Get(), &tty) == 0) {
      ::cfmakeraw(&tty);
      tty.c_cflag |= CLOCAL;
      ::cfsetispeed(&tty, B19200);
      ::cfsetospeed(&tty, B19200);
      ::tcsetattr(fd.Get(), TCSANOW, &tty);
    }
  }
  return fd;
}

// Prints the line's path, which is how the user learns where to point the recorder.
bool AnnounceLine(const std::string& path) {
  std::printf("%s\n", path.c_str());
  return cli::FinishStandardOutput("ninetrace-cli simulate");
}

}  // namespace

int Simulate(const TSimulateOptions& options) {
  InstallSignalHandlers();
  std::optional<TSerialPty> pty;
  TFileDescriptor device;
  TFileDescriptor log;
  std::optional<TReplayLine> replay;
  std::optional<cli::TInput> replayed;
  try {
    if (!options.Replay.empty()) {
      replay.emplace(options.Replay, options.Loop);
      replayed = cli::TInput{replay->Identity(), options.Replay};
    }
  } catch (const TFileError& e) {
    std::fprintf(stderr, "ninetrace-cli simulate: %s\n", e.what());
    return 1;
  }
  try {
    // Every path is checked before anything is opened for writing, so a refusal changes nothing.
    if (replayed) {
      if (!options.Device.empty()) cli::CheckOutputIsNot(options.Device, *replayed);
      if (!options.LogFile.empty()) cli::CheckOutputIsNot(options.LogFile, *replayed);
    }
    if (!options.Device.empty() && !options.LogFile.empty() && cli::SameFile(options.Device, options.LogFile))
      throw std::runtime_error("will not log to " + options.LogFile + ": it is the --device being written");
    if (options.Device.empty()) {
      pty.emplace();
    } else {
      device = OpenDevice(options.Device, replayed ? &*replayed : nullptr);
    }
    // The log is neither the recording played nor the line it is played on.
    if (!options.LogFile.empty()) {
      const std::optional<TFileIdentity> lineId = device.IsOpen() ? IdentityOf(device.Get()) : std::nullopt;
      log = cli::OpenOutput(options.LogFile, cli::TOutputMode::Append, replayed ? &*replayed : nullptr);
      if (lineId && IdentityOf(log.Get()) == lineId)
        throw std::runtime_error("will not log to " + options.LogFile + ": it is the --device being written");
    }
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "ninetrace-cli simulate: %s\n", e.what());
    return 1;
  }
  if (!AnnounceLine(pty ? pty->SlavePath() : options.Device)) return 1;

  TConverterLine line(options.Seed, options.Faults);
  const auto appendNext = [&](std::vector<std::uint8_t>& out) {
    if (replay) return replay->AppendNext(out);
    line.AppendNext(out);
    return true;
  };
  bool ended = false;  // the recording has been played to its end
  std::vector<std::uint8_t> pending;
  std::size_t pendingStart = 0;
  const double bytesPerSecond = LineBytesPerSecond * options.Rate;
  std::uint64_t due = 0, written = 0, lost = 0;
  const timespec start = Now();
  timespec wake = start;
  int exitCode = 0;

  while (!stopRequested) {
    const double elapsed = SecondsBetween(start, Now());
    if (options.Seconds > 0 && elapsed >= options.Seconds) break;
    // Bytes owed by the clock since the start; the line never waits for a reader.
    auto owed = static_cast<std::uint64_t>(elapsed * bytesPerSecond) - due;
    try {
      while (!ended && pending.size() - pendingStart < owed) ended = !appendNext(pending);
    } catch (const TFileError& e) {  // the recording being replayed could not be read on
      std::fprintf(stderr, "ninetrace-cli simulate: %s\n", e.what());
      exitCode = 1;
      break;
    }
    if (ended) owed = std::min<std::uint64_t>(owed, pending.size() - pendingStart);
    const std::span<const std::uint8_t> burst(pending.data() + pendingStart, owed);
    std::size_t accepted = burst.size();
    try {
      if (pty) {
        accepted = pty->Write(burst);
      } else if (!WriteAllTo(device.Get(), burst)) {
        throw std::system_error(errno, std::generic_category(), "write to " + options.Device);
      }
    } catch (const std::system_error& e) {
      std::fprintf(stderr, "ninetrace-cli simulate: %s\n", e.what());
      exitCode = 1;
      break;
    }
    if (log.IsOpen() && !WriteAllTo(log.Get(), burst.first(accepted))) {
      std::fprintf(stderr, "ninetrace-cli simulate: cannot write the log: %s\n", std::strerror(errno));
      exitCode = 1;
      break;
    }
    due += owed;
    written += accepted;
    lost += owed - accepted;
    pendingStart += owed;
    if (pendingStart > 4096) {
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(pendingStart));
      pendingStart = 0;
    }
    if (ended && pendingStart == pending.size()) break;
    AddNanoseconds(wake, BurstNanoseconds);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
  }

  // Closing the master hangs the line up and throws away what the reader has not taken yet, so
  // at the end of a timed run wait (a little) until a reader has caught up.
  if (pty && !stopRequested && exitCode == 0) {
    timespec check = Now();
    for (int quiet = 0, step = 0; quiet < 2 && step < 60 && !stopRequested; ++step) {
      AddNanoseconds(check, 50'000'000);
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &check, nullptr);
      quiet = pty->SlaveQueueCount() <= ReaderKeepsBack ? quiet + 1 : 0;
    }
  }
  std::fprintf(stderr, "ninetrace-cli simulate: %llu frames %s, %llu bytes written, %llu lost (no reader), %llu stray\n",
               static_cast<unsigned long long>(replay ? replay->FramesMade() : line.FramesMade()),
               replay ? "replayed" : "generated", static_cast<unsigned long long>(written),
               static_cast<unsigned long long>(lost), static_cast<unsigned long long>(line.StrayBytes()));
  return exitCode;
}

}  // namespace ninetrace::simulator
