#include "record_command.h"

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <system_error>

#include "acquisition/recorder.h"
#include "acquisition/trace_set.h"
#include "chart/axis_panel.h"
#include "monotonic_time.h"
#include "platform/process_signals.h"

namespace ninetrace::cli {

namespace {

constexpr long TickNanoseconds = 100'000'000;  // the window's timer
constexpr int TicksPerProgressLine = 3;        // about three updates a second

// While recording, a broken pipe on the progress stream must not end the process mid-page: the
// write fails instead, which costs only the progress line. Restored on the way out, so a test
// calling Record in-process is left as it was.
class TIgnoreBrokenPipe {
 public:
  TIgnoreBrokenPipe() { saved_ = ::signal(SIGPIPE, SIG_IGN); }
  ~TIgnoreBrokenPipe() { ::signal(SIGPIPE, saved_); }
  TIgnoreBrokenPipe(const TIgnoreBrokenPipe&) = delete;
  TIgnoreBrokenPipe& operator=(const TIgnoreBrokenPipe&) = delete;

 private:
  sighandler_t saved_ = SIG_DFL;
};

// Sleeps until `wake` on the monotonic clock; true when a stop signal came first.
bool StopArrivedBefore(const TStopSignals& stop, const timespec& wake) {
  for (;;) {
    const timespec now = cli_time::Now();
    const double left = cli_time::SecondsBetween(now, wake);
    if (left <= 0) return false;
    const auto whole = static_cast<time_t>(left);
    timespec timeout{whole, static_cast<long>((left - static_cast<double>(whole)) * 1e9)};
    pollfd signalled{stop.Fd(), POLLIN, 0};
    const int ready = ::ppoll(&signalled, 1, &timeout, nullptr);
    if (ready > 0) return true;
    if (ready == 0) return false;
  }
}

using cli_time::AddNanoseconds;
using cli_time::Now;
using cli_time::SecondsBetween;

class TProgress {
 public:
  TProgress() : inPlace_(::isatty(STDERR_FILENO) == 1) {}

  void Update(std::int64_t pages, std::int64_t frames, std::int64_t dropped, double seconds, bool pageWritten) {
    // On a terminal the line is redrawn a few times a second; in a log, a line per page.
    if (inPlace_) {
      if (++ticks_ % TicksPerProgressLine != 0) return;
      std::fprintf(stderr, "\r%s", Line(pages, frames, dropped, seconds).c_str());
      shown_ = true;
    } else if (pageWritten) {
      std::fprintf(stderr, "%s\n", Line(pages, frames, dropped, seconds).c_str());
    }
  }

  // Ends the line redrawn in place before anything else is printed.
  void Finish() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
  }

 private:
  static std::string Line(std::int64_t pages, std::int64_t frames, std::int64_t dropped, double seconds) {
    char text[160];
    std::snprintf(text, sizeof text, "recording: %lld pages written, %lld frames, %lld bytes dropped, %.1f s   ",
                  static_cast<long long>(pages), static_cast<long long>(frames), static_cast<long long>(dropped), seconds);
    return text;
  }

  bool inPlace_;
  bool shown_ = false;
  int ticks_ = 0;
};

}  // namespace

int Record(const TRecordOptions& options) {
  // SIGINT, SIGTERM and SIGHUP (the terminal or the ssh session gone) stop as Stop does.
  const TStopSignals stop;
  const TIgnoreBrokenPipe brokenPipe;
  TCustomAxisPanel chart;  // never drawn: the traces only need a chart to belong to
  TTraceSet traces(chart);
  TRecorder recorder(traces, {}, SystemClock(), options.Directory);
  try {
    recorder.Run(options.Port);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ninetrace-cli record: %s\n", e.what());
    return 1;
  }

  TProgress progress;

  const timespec start = Now();
  timespec wake = start;
  TStopReason reason = TStopReason::LimitReached;
  for (;;) {
    AddNanoseconds(wake, TickNanoseconds);
    if (StopArrivedBefore(stop, wake)) {
      reason = TStopReason::Signal;
      break;
    }
    const std::int64_t pagesBefore = recorder.PagesWritten();
    try {
      recorder.Tick();
    } catch (const TRecordingError& e) {
      progress.Finish();
      std::fprintf(stderr, "ninetrace-cli record: %s\n", e.what());
      return 1;
    }
    const std::int64_t pages = recorder.PagesWritten();
    const double elapsed = SecondsBetween(start, Now());
    if (options.Pages > 0 && pages >= options.Pages) break;
    if (options.Seconds > 0 && elapsed >= options.Seconds) break;
    progress.Update(pages, recorder.Synchroniser().FramesReceived(), recorder.Synchroniser().BytesDropped(), elapsed,
                    pages > pagesBefore);
    // After a stall (a suspended process, a slow disk) catch up at once instead of ticking in a burst.
    const timespec now = Now();
    if (SecondsBetween(wake, now) > 1e-9 * TickNanoseconds) wake = now;
  }

  const double elapsed = SecondsBetween(start, Now());
  const std::int64_t frames = recorder.Synchroniser().FramesReceived();
  const std::int64_t dropped = recorder.Synchroniser().BytesDropped();
  progress.Finish();
  int exitCode = 0;
  try {
    recorder.Stop(reason);  // writes the page received so far, zero-padded
  } catch (const TRecordingError& e) {
    std::fprintf(stderr, "ninetrace-cli record: %s\n", e.what());
    exitCode = 1;
  }
  std::int64_t pages = recorder.PagesWritten();  // the last one, zero-padded, included
  if (exitCode == 0 && options.Pages > 0 && pages > options.Pages) {
    // The last tick may have run on into the next page; the pages asked for are all there is.
    pages = options.Pages;
    std::error_code error;
    std::filesystem::resize_file(recorder.FilePath(), static_cast<std::uintmax_t>(pages) * PageSize, error);
    if (error) {
      std::fprintf(stderr, "ninetrace-cli record: cannot cut %s to %lld pages: %s\n", recorder.FileName().c_str(),
                   static_cast<long long>(pages), error.message().c_str());
      exitCode = 1;
    }
  }
  // The recording itself is whole; only its times and events are less complete than usual.
  if (!recorder.IndexProblem().empty())
    std::fprintf(stderr,
                 "ninetrace-cli record: the index stopped being written (%s); info and export estimate the times of "
                 "the pages it does not describe\n",
                 recorder.IndexProblem().c_str());
  if (exitCode == 0) {
    const std::int64_t kept = std::min(frames, pages * static_cast<std::int64_t>(RecordsPerPage));
    std::fprintf(stderr, "ninetrace-cli record: %lld pages, %lld frames, %lld bytes dropped while synchronising, %.1f s\n",
                 static_cast<long long>(pages), static_cast<long long>(kept), static_cast<long long>(dropped), elapsed);
    std::printf("%s\n", recorder.FilePath().c_str());
  }
  return exitCode;
}

}  // namespace ninetrace::cli
