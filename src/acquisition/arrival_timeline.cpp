#include "acquisition/arrival_timeline.h"

#include <cstdlib>

#include "recording/record_layout.h"

namespace ninetrace {

namespace {

constexpr std::int64_t PerPage = static_cast<std::int64_t>(RecordsPerPage);

std::int64_t Between(std::int64_t a, std::int64_t b, std::int64_t num, std::int64_t den) {
  if (den == 0) return a;
  return a + static_cast<std::int64_t>(static_cast<long double>(b - a) * static_cast<long double>(num) /
                                       static_cast<long double>(den));
}

std::uint32_t Since(std::uint32_t now, std::uint32_t before) { return now - before; }  // wraps as the driver's do

}  // namespace

TStamp TArrivalTimeline::Now() const {
  const std::int64_t mono = clock_.MonotonicNanoseconds();
  const TWallTime wall = clock_.WallNow();
  return {wall.UnixNanoseconds, mono, wall.UtcOffsetSeconds};
}

void TArrivalTimeline::Start(const std::filesystem::path& recording, const TSerialPort& port) {
  writer_.Open(recording);
  running_ = true;
  anchor_ = Now();
  anchorRecords_ = 0;
  pageFirst_.reset();
  latest_.reset();
  jump_.reset();
  pagesDescribed_ = 0;
  pendingDropped_.clear();
  pendingDropped_.reserve(16);
  droppedBefore_ = 0;
  lineErrorsBefore_ = lineErrorsNow_ = port.LineErrorCounts();
  TIndexEvent run;
  run.Kind = TIndexEntryKind::Run;
  run.At = anchor_;
  run.Port = port.Name().Device;
  run.Baud = TSerialPort::BaudRate;
  run.Settings = "8N1";
  writer_.Append(EncodeEntry(run));
  writer_.Sync();
}

void TArrivalTimeline::PageWritten(std::int64_t bytesDropped) {
  if (running_) pendingDropped_.push_back(bytesDropped);
}

TStamp TArrivalTimeline::ArrivalOf(std::int64_t record, std::int64_t records, const TStamp& now, std::int64_t lead) const {
  const std::int64_t mono =
      Between(anchor_.MonotonicNanoseconds, now.MonotonicNanoseconds, record + 1 - anchorRecords_, records - anchorRecords_);
  return {mono + lead, mono, now.UtcOffsetSeconds};
}

void TArrivalTimeline::TickEnded(std::int64_t records, const TSerialPort& port) {
  if (!running_) return;
  lineErrorsNow_ = port.LineErrorCounts();
  const bool described = !pendingDropped_.empty();
  Advance(records);
  if (described) writer_.Sync();
}

void TArrivalTimeline::Advance(std::int64_t records) {
  const TStamp now = Now();
  const std::int64_t lead = now.UnixNanoseconds - now.MonotonicNanoseconds;
  const std::int64_t leadBefore = anchor_.UnixNanoseconds - anchor_.MonotonicNanoseconds;
  const bool jumped = std::llabs(lead - leadBefore) > ClockJumpNanoseconds;
  const std::int64_t recordLead = jumped ? leadBefore : lead;
  if (jumped) {
    TIndexEvent jump;
    jump.Kind = TIndexEntryKind::ClockJump;
    jump.At = now;
    jump.JumpNanoseconds = lead - leadBefore;
    writer_.Append(EncodeEntry(jump));
    jump_ = now.MonotonicNanoseconds;
  }
  for (const std::int64_t dropped : pendingDropped_) {
    const std::int64_t first = pagesDescribed_ * PerPage;
    // A page that began in an earlier tick had its first record timed then.
    const TStamp firstStamp =
        first >= anchorRecords_ ? ArrivalOf(first, records, now, recordLead) : pageFirst_.value_or(anchor_);
    const TStamp lastStamp = ArrivalOf(first + PerPage - 1, records, now, recordLead);
    DescribePage(firstStamp, lastStamp, static_cast<std::int32_t>(PerPage), dropped);
    pageFirst_.reset();
  }
  pendingDropped_.clear();
  const std::int64_t first = pagesDescribed_ * PerPage;
  if (!pageFirst_ && first >= anchorRecords_ && first < records) pageFirst_ = ArrivalOf(first, records, now, recordLead);
  if (records > anchorRecords_) latest_ = ArrivalOf(records - 1, records, now, recordLead);
  anchor_ = now;
  anchorRecords_ = records;
}

void TArrivalTimeline::DescribePage(const TStamp& first, const TStamp& last, std::int32_t real, std::int64_t dropped) {
  TPageEntry page;
  page.Page = pagesDescribed_++;
  page.First = first;
  page.Last = last;
  page.RealRecords = real;
  page.BytesSkipped = dropped - droppedBefore_;
  droppedBefore_ = dropped;
  if (lineErrorsNow_ && lineErrorsBefore_) {
    page.HasLineErrors = true;
    page.Overruns = Since(lineErrorsNow_->Overruns, lineErrorsBefore_->Overruns);
    page.FramingErrors = Since(lineErrorsNow_->FramingErrors, lineErrorsBefore_->FramingErrors);
  }
  lineErrorsBefore_ = lineErrorsNow_;
  writer_.Append(EncodeEntry(page));
}

void TArrivalTimeline::Stopped(TStopReason reason, std::int64_t records, std::int64_t bytesDropped,
                               std::int64_t pagesWritten, bool lastPageWritten) {
  if (!running_) return;
  Advance(records);
  const TStamp now = anchor_;
  if (lastPageWritten) {
    const auto real = static_cast<std::int32_t>(records - pagesDescribed_ * PerPage);
    const bool any = real > 0 && pageFirst_ && latest_;
    DescribePage(any ? *pageFirst_ : now, any ? *latest_ : now, real, bytesDropped);
  }
  TIndexEvent stop;
  stop.Kind = TIndexEntryKind::Stop;
  stop.At = now;
  stop.Reason = reason;
  stop.Pages = pagesWritten;
  writer_.Append(EncodeEntry(stop));
  writer_.Sync();
  writer_.Close();
  running_ = false;
}

std::optional<TRecordTime> TArrivalTimeline::LiveRecordTime(std::size_t slot) const {
  if (!running_ || !pageFirst_ || !latest_) return std::nullopt;
  const std::int64_t fill = anchorRecords_ - pagesDescribed_ * PerPage;
  const auto s = static_cast<std::int64_t>(slot);
  if (s >= fill) return std::nullopt;
  const TStamp& a = *pageFirst_;
  const TStamp& b = *latest_;
  const std::int64_t mono = Between(a.MonotonicNanoseconds, b.MonotonicNanoseconds, s, fill - 1);
  const std::int64_t leadA = a.UnixNanoseconds - a.MonotonicNanoseconds, leadB = b.UnixNanoseconds - b.MonotonicNanoseconds;
  // As the index will say once the page is written: each side of a jump keeps its own lead.
  const bool jumped = jump_ && *jump_ >= a.MonotonicNanoseconds && *jump_ < b.MonotonicNanoseconds;
  const std::int64_t lead = jumped ? (mono <= *jump_ ? leadA : leadB)
                                   : Between(leadA, leadB, mono - a.MonotonicNanoseconds,
                                             b.MonotonicNanoseconds - a.MonotonicNanoseconds);
  return TRecordTime{mono + lead, 2 * s < fill - 1 ? a.UtcOffsetSeconds : b.UtcOffsetSeconds, false};
}

}  // namespace ninetrace
