#include "export_command.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "recording/csv_rows.h"
#include "output_guard.h"
#include "platform/file_descriptor.h"
#include "progress_line.h"
#include "recording/export_time.h"
#include "recording/indexed_time_columns.h"
#include "recording/record_times.h"
#include "recording/recording_reader.h"
#include "simulator.h"

namespace ninetrace::cli {

namespace {

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
  estimated.emplace(StartTimeFromName(file));
  if (!estimated->HasWallClock())
    std::fprintf(stderr,
                 "ninetrace-cli export: %s is not named \"yymmdd hhnnss.bin\", so its start time is unknown: "
                 "only the seconds column is written\n",
                 file.filename().c_str());
}

}  // namespace

int Export(const TExportOptions& options) {
  try {
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
    TFileDescriptor file;
    int fd = STDOUT_FILENO;
    std::string outputName = "standard output";
    if (options.Output.empty()) {
      CheckStandardOutputIsNot(input);
    } else {
      file = OpenOutput(options.Output, TOutputMode::Replace, &input);
      fd = file.Get();
      outputName = options.Output.string();
    }
    std::optional<TTimeColumns> time;
    std::optional<TIndexedTimeColumns> indexed;
    if (options.Time) ChooseTimeColumns(options.File, times, end, time, indexed);
    const std::int64_t bytes = (end - first) * static_cast<std::int64_t>(RecordSize);
    TProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, "export", bytes, TProgressLine::TClock::now());
    WriteCsv(reader, first, end, fd, outputName, options.Channels, {time ? &*time : nullptr, indexed ? &*indexed : nullptr},
             [&progress](std::int64_t done) { progress.Update(done, TProgressLine::TClock::now()); });
    progress.Finish(TProgressLine::TClock::now());
    if (end == reader.Records() && reader.PartialRecordBytes() > 0)
      std::fprintf(stderr, "ninetrace-cli export: skipped the partial record of %lld bytes at the end of %s\n",
                   static_cast<long long>(reader.PartialRecordBytes()), options.File.c_str());
    return 0;
  } catch (const TFileError& e) {
    std::fprintf(stderr, "ninetrace-cli export: %s\n", e.what());
  } catch (const std::runtime_error& e) {  // the output: cannot be opened or written, or is the input
    std::fprintf(stderr, "ninetrace-cli export: %s\n", e.what());
  }
  return 1;
}

}  // namespace ninetrace::cli
