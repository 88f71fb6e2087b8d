#include "export_command.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "recording/csv_rows.h"
#include "output_guard.h"
#include "platform/atomic_file.h"
#include "platform/file_descriptor.h"
#include "platform/process_signals.h"
#include "progress_line.h"
#include "recording/export_time.h"
#include "recording/indexed_time_columns.h"
#include "recording/record_times.h"
#include "recording/recording_reader.h"
#include "simulator.h"

namespace ninetrace::cli {

namespace {

// A signal that ends the export before its output is whole.
class TStopped : public std::runtime_error {
 public:
  explicit TStopped(int number) : std::runtime_error(std::string("stopped by SIG") + ::sigabbrev_np(number)) {}
};

// Says on standard error when a name read for its start time lay in the hour the clocks skipped.
void SaySkippedStart(const std::filesystem::path& recording, const std::optional<std::time_t>& start) {
  std::tm local{};
  char moment[32] = {};
  ::localtime_r(&*start, &local);
  std::strftime(moment, sizeof moment, "%Y-%m-%dT%H:%M:%S", &local);
  std::fprintf(stderr,
               "ninetrace-cli export: the start time in the name %s does not exist in the local time zone (the "
               "clocks went forward then); it is read as %s, the same moment after the change\n",
               recording.filename().c_str(), moment);
}

// --time: from the index when there is one, else estimated from the name; says what is missing.
void ChooseTimeColumns(const std::filesystem::path& file, const TRecordTimes& times, std::int64_t end,
                       std::optional<TTimeColumns>& estimated, std::optional<TIndexedTimeColumns>& indexed) {
  if (times.FromIndex()) {
    indexed.emplace(times);
    if (times.IndexedPages() * static_cast<std::int64_t>(RecordsPerPage) < end)
      std::fprintf(stderr,
                   "ninetrace-cli export: the index of %s describes %lld pages; the times of the records after them "
                   "are extrapolated at the measured rate\n",
                   file.filename().c_str(), static_cast<long long>(times.IndexedPages()));
    return;
  }
  bool skipped = false;
  const std::optional<std::time_t> start = StartTimeFromName(file, &skipped);
  if (skipped) SaySkippedStart(file, start);
  estimated.emplace(start);
  if (!estimated->HasWallClock())
    std::fprintf(stderr,
                 "ninetrace-cli export: %s is not named \"yymmdd hhnnss.bin\", so its start time is unknown: "
                 "only the seconds column is written\n",
                 file.filename().c_str());
}

}  // namespace

int Export(const TExportOptions& options) {
  // A signal, a full disk or any failure leaves the output file as it was: the rows go to a
  // temporary file that takes the output's name only once the last row is in.
  std::optional<TAtomicFile> file;
  const auto leftAsItWas = [&] {
    return file && file->Replaces() ? "; " + options.Output.string() + " is left as it was" : std::string();
  };
  try {
    TStopSignals stop;
    TRecordingReader reader(options.File);
    const std::int64_t pages = reader.Pages();
    if (options.FromPage > std::max<std::int64_t>(pages, 1)) {
      std::fprintf(stderr, "ninetrace-cli export: --from-page %lld is past the end: %s has %lld pages\n",
                   static_cast<long long>(options.FromPage), options.File.c_str(), static_cast<long long>(pages));
      return 2;
    }
    const std::int64_t perPage = static_cast<std::int64_t>(RecordsPerPage);
    const std::int64_t first = (options.FromPage - 1) * perPage;
    const std::int64_t lastPage = options.ToPage > 0 ? std::min(options.ToPage, pages) : pages;
    const TRecordTimes times = TRecordTimes::Load(options.File);
    std::int64_t end = std::min(lastPage * perPage, reader.Records());
    // The index knows where the records end and the padding written on stopping begins.
    if (const auto real = times.RealRecords(); real && !options.KeepPadding) end = std::max(first, std::min(end, *real));

    const TInput input{reader.Identity(), options.File};
    int fd = STDOUT_FILENO;
    std::string outputName = "standard output";
    if (options.Output.empty()) {
      CheckStandardOutputIsNot(input);
    } else {
      CheckOutputIsNot(options.Output, input);
      file.emplace(options.Output);
      fd = file->Fd();
      outputName = options.Output.string();
    }
    std::optional<TTimeColumns> time;
    std::optional<TIndexedTimeColumns> indexed;
    if (options.Time) ChooseTimeColumns(options.File, times, end, time, indexed);
    const std::int64_t bytes = (end - first) * static_cast<std::int64_t>(RecordSize);
    TProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, "export", bytes, TProgressLine::TClock::now());
    // Between pieces of the recording, a stop signal ends the export before its output is whole.
    WriteCsv(reader, first, end, fd, outputName, options.Channels, {time ? &*time : nullptr, indexed ? &*indexed : nullptr},
             [&progress, &stop](std::int64_t done) {
               if (const int number = stop.Take(); number != 0) throw TStopped(number);
               progress.Update(done, TProgressLine::TClock::now());
             });
    if (file) file->Commit();
    progress.Finish(TProgressLine::TClock::now());
    if (end == reader.Records() && reader.PartialRecordBytes() > 0)
      std::fprintf(stderr, "ninetrace-cli export: skipped the partial record of %lld bytes at the end of %s\n",
                   static_cast<long long>(reader.PartialRecordBytes()), options.File.c_str());
    return 0;
  } catch (const std::runtime_error& e) {  // the input, or the output: cannot be opened or written, or is the input
    std::fprintf(stderr, "ninetrace-cli export: %s%s\n", e.what(), leftAsItWas().c_str());
  }
  return 1;
}

}  // namespace ninetrace::cli
