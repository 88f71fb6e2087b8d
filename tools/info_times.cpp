#include "info_times.h"

#include <cstdio>
#include <string>

#include "recording/indexed_time_columns.h"
#include "recording/record_layout.h"
#include "recording/start_time.h"

namespace ninetrace::cli {

namespace {

constexpr double NominalRate = static_cast<double>(NominalSecondsDenominator) / NominalSecondsNumerator;

std::string TimeOf(const TRecordTimes& times, std::int64_t record) {
  const auto time = times.At(record);
  if (!time) return "unknown";
  return IsoTimeText(*time) + (time->Estimated ? " (estimated)" : "");
}

void PrintEvent(const TIndexEvent& e) {
  const std::string at = IsoTimeText({e.At.UnixNanoseconds, e.At.UtcOffsetSeconds, false});
  switch (e.Kind) {
    case TIndexEntryKind::Run:
      std::printf("  %s  run on %s, %u baud %s\n", at.c_str(), e.Port.c_str(), e.Baud, e.Settings.c_str());
      break;
    case TIndexEntryKind::Stop:
      std::printf("  %s  stop: %s; %lld pages written\n", at.c_str(), StopReasonText(e.Reason).c_str(),
                  static_cast<long long>(e.Pages));
      break;
    case TIndexEntryKind::ClockJump:
      std::printf("  %s  wall clock jumped by %+.3f s\n", at.c_str(), static_cast<double>(e.JumpNanoseconds) / 1e9);
      break;
    case TIndexEntryKind::Page:
      break;
  }
}

void PrintIndexed(const std::filesystem::path& file, const TRecordTimes& times) {
  const std::int64_t pages = (times.FileRecords() + static_cast<std::int64_t>(RecordsPerPage) - 1) /
                             static_cast<std::int64_t>(RecordsPerPage);
  std::printf("index: %s, %lld of %lld pages described%s\n", IndexPathFor(file).filename().c_str(),
              static_cast<long long>(std::min(times.IndexedPages(), pages)), static_cast<long long>(pages),
              times.IndexedPages() < pages ? " (the recording was cut short: later pages are timed from the measured rate)"
                                           : "");
  const auto real = times.RealRecords();
  const std::int64_t last = real ? *real : times.FileRecords();
  std::printf("start: %s\n", last > 0 ? TimeOf(times, 0).c_str() : "no records");
  std::printf("end: %s\n", last > 0 ? TimeOf(times, last - 1).c_str() : "no records");
  if (real) {
    std::printf("real records: %lld\n", static_cast<long long>(*real));
    std::printf("padding: %lld records\n", static_cast<long long>(times.FileRecords() - *real));
  } else {
    std::printf("real records: unknown (the last page is not described)\n");
  }
  if (const auto rate = times.MeasuredRate()) {
    std::printf("record rate: %.2f records/s measured (nominal %.2f)\n", *rate, NominalRate);
  } else {
    std::printf("record rate: unknown (fewer than two records described)\n");
  }
  const TRecordTimes::TLineTotals& line = times.LineTotals();
  std::printf("bytes skipped while synchronising: %lld\n", static_cast<long long>(line.BytesSkipped));
  if (line.ErrorsReported) {
    std::printf("line errors: %lld overruns, %lld framing errors\n", static_cast<long long>(line.Overruns),
                static_cast<long long>(line.FramingErrors));
  } else {
    std::printf("line errors: not reported by the port\n");
  }
  std::printf("events:\n");
  for (const TIndexEvent& e : times.Events()) PrintEvent(e);
}

void PrintEstimated(const TRecordTimes& times, std::int64_t zeroTail) {
  const bool named = times.At(0).has_value();
  std::printf("index: none (%s)\n", !times.Problem().empty() ? times.Problem().c_str()
                                    : named ? "times estimated from the file name at the nominal 213.33 records/s"
                                            : "and the file name carries no start time: no times");
  const std::int64_t real = times.FileRecords() - zeroTail;
  if (named && real > 0) {
    std::printf("start: %s\n", TimeOf(times, 0).c_str());
    std::printf("end: %s\n", TimeOf(times, real - 1).c_str());
  }
  std::printf("real records: %lld (estimated: the records before the zero tail)\n", static_cast<long long>(real));
  std::printf("padding: %lld records (estimated: the zero tail)\n", static_cast<long long>(zeroTail));
  std::printf("record rate: %.2f records/s (nominal, not measured)\n", NominalRate);
}

}  // namespace

void PrintTimes(const std::filesystem::path& file, const TRecordTimes& times, std::int64_t zeroTail) {
  if (times.FromIndex()) {
    PrintIndexed(file, times);
  } else {
    PrintEstimated(times, zeroTail);
  }
}

}  // namespace ninetrace::cli
