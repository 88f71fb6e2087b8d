// When the records of a recording arrived, written into the index beside it as it records.
//
// Records reach us in bursts, once per 100 ms tick, so a record's arrival is known only to the
// tick: the last record read in a tick arrived by that tick's time, and the records of one tick
// are taken to have arrived evenly over the time since the tick before (the line streams
// continuously). A record waits in the driver until more than 15 bytes do, so its time can be
// late by up to that many bytes on the line (8 ms at 19200 baud); a tick that is itself late
// spreads its records over the longer span, which is what happened.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "recording/index_file.h"
#include "recording/record_times.h"

namespace ninetrace {

class TArrivalTimeline {
 public:
  // The wall clock moving this much more or less than the monotonic one between two ticks is a
  // jump (set by hand, or by a time service stepping it), noted in the index. It is taken to have
  // happened at the tick that notices it, after the records that tick reads: they keep the wall
  // clock as it was, and readers draw the line at the jump's monotonic time the same way.
  static constexpr std::int64_t ClockJumpNanoseconds = 100'000'000;

  explicit TArrivalTimeline(const TClock& clock) : clock_(clock) {}

  // A recording starts on `port`: its index is created and the run noted.
  void Start(const std::filesystem::path& recording, const TSerialPort& port);
  // A full page is on the disk; `bytesDropped` counts since the start.
  void PageWritten(std::int64_t bytesDropped);
  // A tick ends, `records` received since the start: their arrivals are timed, and the pages
  // written during the tick described and synced.
  void TickEnded(std::int64_t records, const TSerialPort& port);
  // The recording ended. `lastPageWritten`: the page in progress reached the disk, padded.
  void Stopped(TStopReason reason, std::int64_t records, std::int64_t bytesDropped, std::int64_t pagesWritten,
               bool lastPageWritten);
  // The records went to `recording` (or to no name this program knows, when empty) because
  // another program took the file: the index goes with them.
  void Moved(const std::filesystem::path& recording) { writer_.Follow(recording); }
  // Record `slot` of the page being filled, received so far.
  std::optional<TRecordTime> LiveRecordTime(std::size_t slot) const;
  // Why the index could not be written; empty when it was.
  const std::string& Problem() const { return writer_.Problem(); }

 private:
  TStamp Now() const;
  // Record k, read in the tick that ends now at `now`; `lead` is the wall clock's lead over the
  // monotonic one that the tick's records get.
  TStamp ArrivalOf(std::int64_t record, std::int64_t records, const TStamp& now, std::int64_t lead) const;
  void DescribePage(const TStamp& first, const TStamp& last, std::int32_t real, std::int64_t dropped);
  // Times the records received since the last tick and describes the pages they filled.
  void Advance(std::int64_t records);

  const TClock& clock_;
  TIndexWriter writer_;
  bool running_ = false;
  TStamp anchor_;                  // the last tick's end: records before anchorRecords_ had arrived
  std::int64_t anchorRecords_ = 0;
  std::optional<TStamp> pageFirst_;   // first record of the page in progress, once it arrived
  std::optional<TStamp> latest_;      // the last record received
  std::optional<std::int64_t> jump_;  // monotonic time of the latest wall-clock jump
  std::int64_t pagesDescribed_ = 0;
  std::vector<std::int64_t> pendingDropped_;  // full pages written this tick: bytes dropped by then
  std::int64_t droppedBefore_ = 0;            // bytes dropped before the page in progress
  std::optional<TLineErrorCounts> lineErrorsBefore_, lineErrorsNow_;
};

}  // namespace ninetrace
