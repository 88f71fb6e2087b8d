// The time of every record of a recording: from its index where there is one (each page's
// arrival stamps, interpolated within the page), else from the start time in its name at the
// line's nominal 3/640 s per record.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "recording/index_file.h"

namespace ninetrace {

struct TRecordTime {
  std::int64_t UnixNanoseconds = 0;   // wall clock, UTC
  std::int32_t UtcOffsetSeconds = 0;  // the local zone's offset then: local = UTC + offset
  bool Estimated = false;             // from the file name at the nominal 3/640 s per record
};

class TRecordTimes {
 public:
  // Reads the index beside `recording` when there is one; otherwise times come from the start
  // time in the file name plus 3/640 s per record; with neither, there are no times.
  static TRecordTimes Load(const std::filesystem::path& recording);
  bool FromIndex() const { return reader_.IsOpen(); }
  // Record n of the file, from 0. Nothing for padding the index knows of (it never arrived).
  // Pages the index does not describe yet (a recording killed before its index caught up) are
  // timed from the last page it does describe at the measured rate, marked Estimated.
  std::optional<TRecordTime> At(std::int64_t record) const;
  // Seconds from record 0's arrival, on the clock that never jumps. Without an index the
  // nominal rate, also when the name gives no start time.
  std::optional<double> SecondsSinceStart(std::int64_t record) const;
  std::optional<std::int64_t> RealRecords() const;  // records before the padding; nullopt: unknown
  void Reload();                                     // picks up pages appended since (follow mode)

  // Records in the file (whole ones), as of the last Load or Reload.
  std::int64_t FileRecords() const { return fileRecords_; }
  // Pages the index describes, and its events (run, stop, clock jumps) in order.
  std::int64_t IndexedPages() const { return static_cast<std::int64_t>(pages_.size()); }
  const std::vector<TIndexEvent>& Events() const { return events_; }
  // Records per second from the first record's arrival to the last described page's last record.
  std::optional<double> MeasuredRate() const;
  // What the described pages lost on the line.
  struct TLineTotals {
    std::int64_t BytesSkipped = 0;  // while resynchronising
    bool ErrorsReported = false;    // the driver counted the two below (a real UART does)
    std::int64_t Overruns = 0;
    std::int64_t FramingErrors = 0;
  };
  const TLineTotals& LineTotals() const { return lineTotals_; }
  // Why an index that is there could not be used; empty otherwise.
  const std::string& Problem() const { return reader_.Problem(); }

 private:
  // A page's stamps, kept small: a month of recording is half a million pages.
  struct TPageTimes {
    std::int64_t FirstMono, LastMono;
    std::int64_t FirstWallLead, LastWallLead;  // wall minus monotonic
    std::int32_t FirstOffset, LastOffset;
    std::int32_t Real;
  };
  // A record's instant on both clocks.
  struct TInstant {
    std::int64_t Mono = 0, WallLead = 0;
    std::int32_t Offset = 0;
    bool Estimated = false;
  };

  std::optional<TInstant> InstantOf(std::int64_t record) const;
  std::optional<TInstant> Extrapolated(std::int64_t record) const;
  std::int64_t WallLeadAt(const TPageTimes& page, std::int64_t mono) const;
  void TakeIn(TIndexContents& contents);

  std::filesystem::path recording_;
  TIndexReader reader_;
  std::vector<TPageTimes> pages_;
  std::vector<TIndexEvent> events_;
  std::vector<std::int64_t> jumps_;  // monotonic times of wall-clock jumps, ascending
  std::optional<std::int64_t> nameStart_;  // Unix seconds
  std::int64_t fileRecords_ = 0;
  TLineTotals lineTotals_;
  bool damaged_ = false;  // a page entry made no sense: the pages before it are all that is used
};

}  // namespace ninetrace
