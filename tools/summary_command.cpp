#include "summary_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/data_file.h"
#include "progress_line.h"
#include "recording/summary_builder.h"
#include "recording/summary_file.h"

namespace ninetrace::cli {
namespace {

void Report(const std::filesystem::path& summary, const TRecordingSummary& s, std::int64_t recordingBytes, const char* how) {
  std::error_code ignored;
  const auto bytes = static_cast<double>(std::filesystem::file_size(summary, ignored));
  std::printf("%s: %s, %lld pages, %.0f bytes (%.2f %% of the recording)\n", summary.string().c_str(), how,
              static_cast<long long>(s.Pages()), bytes,
              recordingBytes > 0 ? 100.0 * bytes / static_cast<double>(recordingBytes) : 0.0);
}

}  // namespace

int Summary(const std::filesystem::path& name) {
  try {
    TDataFile file;
    file.OpenRead(name);
    const std::optional<TRecordingStamp> stamp = StampOf(file.Descriptor());
    if (!stamp) throw TFileError("Cannot read " + name.string() + ": it is gone", "it is gone");
    const std::filesystem::path path = SummaryPathFor(name);
    if (const std::optional<TRecordingSummary> loaded = LoadSummary(path, *stamp)) {
      Report(path, *loaded, stamp->Size, "up to date");
      return 0;
    }
    using TClock = TProgressLine::TClock;
    const TClock::time_point start = TClock::now();
    TProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, "summary", stamp->Size, start);
    TSummaryBuilder builder(file.Descriptor(), stamp->Size, name.string());
    while (!builder.Step()) progress.Update(builder.BytesDone(), TClock::now());
    progress.Finish(TClock::now());
    // A recording still being written has moved on: its summary would be stale at once.
    if (StampOf(file.Descriptor()) != stamp) {
      std::fprintf(stderr, "ninetrace-cli summary: %s changed while it was read; try again once it is complete\n",
                   name.string().c_str());
      return 1;
    }
    const TRecordingSummary summary = builder.Take();
    if (!SaveSummary(path, summary, *stamp)) {
      std::fprintf(stderr, "ninetrace-cli summary: cannot write %s: is the folder writable?\n", path.string().c_str());
      return 1;
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    Report(path, summary, stamp->Size, "built");
    std::printf("read %.1f MB in %.3f s (%.0f MB/s)\n", static_cast<double>(stamp->Size) / 1e6, seconds,
                seconds > 0 ? static_cast<double>(stamp->Size) / 1e6 / seconds : 0.0);
    return 0;
  } catch (const TFileError& e) {
    std::fprintf(stderr, "ninetrace-cli summary: %s\n", e.what());
    return 1;
  }
}

}  // namespace ninetrace::cli
