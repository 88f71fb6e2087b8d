#include "recording/record_times.h"

#include <algorithm>
#include <system_error>

#include "platform/clock.h"
#include "recording/record_layout.h"
#include "recording/start_time.h"

namespace ninetrace {

namespace {

constexpr std::int64_t PerPage = static_cast<std::int64_t>(RecordsPerPage);
constexpr std::int64_t Billion = 1'000'000'000;
__extension__ typedef __int128 TWide;  // products of nanosecond spans and record counts

// Times stay within +-2^62 ns (146 years either side of 1970), so sums of two never overflow
// whatever a damaged or hostile index holds.
constexpr std::int64_t Limit = std::int64_t{1} << 62;

std::int64_t Saturated(TWide value) { return static_cast<std::int64_t>(std::clamp<TWide>(value, -Limit, Limit)); }
std::int64_t Sum(std::int64_t a, std::int64_t b) { return Saturated(static_cast<TWide>(a) + b); }

// a + (b - a) * num / den without overflow for spans of years in nanoseconds.
std::int64_t Between(std::int64_t a, std::int64_t b, std::int64_t num, std::int64_t den) {
  if (den == 0) return a;
  return Saturated(a + (static_cast<TWide>(b) - a) * num / den);
}

std::int64_t NominalNanoseconds(std::int64_t records) {
  return Saturated(static_cast<TWide>(records) * NominalSecondsNumerator * Billion / NominalSecondsDenominator);
}

bool Sane(const TStamp& s) {
  constexpr std::int32_t Day = 86'400;
  return s.UnixNanoseconds > -Limit && s.UnixNanoseconds < Limit && s.MonotonicNanoseconds > -Limit &&
         s.MonotonicNanoseconds < Limit && s.UtcOffsetSeconds > -Day && s.UtcOffsetSeconds < Day;
}

}  // namespace

TRecordTimes TRecordTimes::Load(const std::filesystem::path& recording) {
  TRecordTimes times;
  times.recording_ = recording;
  if (const auto start = StartTimeFromName(recording)) times.nameStart_ = static_cast<std::int64_t>(*start);
  times.reader_.Open(recording);
  times.Reload();
  return times;
}

void TRecordTimes::Reload() {
  std::error_code error;
  const auto size = std::filesystem::file_size(recording_, error);
  if (!error) fileRecords_ = static_cast<std::int64_t>(size / RecordSize);
  // An index may appear after the recording was first opened (a recording just started).
  if (!reader_.IsOpen() && pages_.empty() && events_.empty()) reader_.Open(recording_);
  TIndexContents contents;
  if (reader_.ReadMore(contents)) TakeIn(contents);
}

void TRecordTimes::TakeIn(TIndexContents& contents) {
  pages_.reserve(pages_.size() + contents.Pages.size());
  for (const TPageEntry& p : contents.Pages) {
    // A page the recorder cannot have written ends what is believed of the index.
    damaged_ = damaged_ || !Sane(p.First) || !Sane(p.Last) || p.Last.MonotonicNanoseconds < p.First.MonotonicNanoseconds ||
               p.RealRecords < 0 || p.RealRecords > PerPage || p.BytesSkipped < 0;
    if (damaged_) break;
    lineTotals_.BytesSkipped += p.BytesSkipped;
    lineTotals_.ErrorsReported = lineTotals_.ErrorsReported || p.HasLineErrors;
    lineTotals_.Overruns += p.Overruns;
    lineTotals_.FramingErrors += p.FramingErrors;
    pages_.push_back({p.First.MonotonicNanoseconds, p.Last.MonotonicNanoseconds,
                      p.First.UnixNanoseconds - p.First.MonotonicNanoseconds,
                      p.Last.UnixNanoseconds - p.Last.MonotonicNanoseconds, p.First.UtcOffsetSeconds,
                      p.Last.UtcOffsetSeconds, p.RealRecords});
  }
  for (TIndexEvent& e : contents.Events) {
    if (!Sane(e.At)) continue;
    if (e.Kind == TIndexEntryKind::ClockJump) jumps_.push_back(e.At.MonotonicNanoseconds);
    events_.push_back(std::move(e));
  }
}

std::int64_t TRecordTimes::WallLeadAt(const TPageTimes& page, std::int64_t mono) const {
  // A jump of the wall clock inside the page: records up to the tick that noticed it keep the
  // lead before, later ones the lead after. Otherwise the lead drifts smoothly (a clock being
  // slewed), so it is blended.
  const auto jump = std::lower_bound(jumps_.begin(), jumps_.end(), page.FirstMono);
  if (jump != jumps_.end() && *jump < page.LastMono) return mono <= *jump ? page.FirstWallLead : page.LastWallLead;
  return Between(page.FirstWallLead, page.LastWallLead, mono - page.FirstMono, page.LastMono - page.FirstMono);
}

std::optional<TRecordTimes::TInstant> TRecordTimes::InstantOf(std::int64_t record) const {
  if (record < 0) return std::nullopt;
  const std::int64_t p = record / PerPage;
  if (!FromIndex() || p >= IndexedPages()) return Extrapolated(record);
  const TPageTimes& page = pages_[static_cast<std::size_t>(p)];
  const std::int64_t slot = record % PerPage;
  if (slot >= page.Real) return std::nullopt;  // padding: it never arrived
  // The page's records are spread evenly between its first and last arrival.
  const std::int64_t mono = Between(page.FirstMono, page.LastMono, slot, page.Real - 1);
  const std::int32_t offset = 2 * slot < page.Real - 1 ? page.FirstOffset : page.LastOffset;
  return TInstant{mono, WallLeadAt(page, mono), offset, false};
}

std::optional<TRecordTimes::TInstant> TRecordTimes::Extrapolated(std::int64_t record) const {
  if (FromIndex() && !pages_.empty()) {
    const TPageTimes& last = pages_.back();
    const std::int64_t lastRecord = (IndexedPages() - 1) * PerPage + last.Real - 1;
    const std::optional<double> rate = MeasuredRate();
    const std::int64_t after = record - lastRecord;
    const std::int64_t span =
        rate ? static_cast<std::int64_t>(std::clamp(static_cast<double>(after) / *rate * 1e9, -0x1p62, 0x1p62))
             : NominalNanoseconds(after);
    return TInstant{Sum(last.LastMono, span), last.LastWallLead, last.LastOffset, true};
  }
  const auto run = std::find_if(events_.begin(), events_.end(),
                                [](const TIndexEvent& e) { return e.Kind == TIndexEntryKind::Run; });
  if (FromIndex() && run != events_.end()) {
    const TStamp& at = run->At;
    return TInstant{Sum(at.MonotonicNanoseconds, NominalNanoseconds(record)), at.UnixNanoseconds - at.MonotonicNanoseconds,
                    at.UtcOffsetSeconds, true};
  }
  if (!nameStart_) return std::nullopt;
  // No monotonic clock behind these: the wall time itself, with a lead of zero.
  const std::int64_t wall = Sum(Saturated(static_cast<TWide>(*nameStart_) * Billion), NominalNanoseconds(record));
  return TInstant{wall, 0, UtcOffsetAt(wall / Billion), true};
}

std::optional<TRecordTime> TRecordTimes::At(std::int64_t record) const {
  const std::optional<TInstant> i = InstantOf(record);
  if (!i) return std::nullopt;
  return TRecordTime{Sum(i->Mono, i->WallLead), i->Offset, i->Estimated};
}

std::optional<double> TRecordTimes::SecondsSinceStart(std::int64_t record) const {
  if (record < 0) return std::nullopt;
  const bool indexed = FromIndex() && (!pages_.empty() || !events_.empty());
  if (!indexed) return static_cast<double>(NominalNanoseconds(record)) / 1e9;
  const std::optional<TInstant> at = InstantOf(record), first = InstantOf(0);
  if (!at || !first) return std::nullopt;
  return (static_cast<double>(at->Mono) - static_cast<double>(first->Mono)) / 1e9;
}

std::optional<std::int64_t> TRecordTimes::RealRecords() const {
  if (!FromIndex()) return std::nullopt;
  const std::int64_t filePages = (fileRecords_ + PerPage - 1) / PerPage;
  if (filePages == 0) return 0;
  if (filePages > IndexedPages()) return std::nullopt;  // the last page is not described
  const std::int64_t last = filePages - 1;
  return last * PerPage + std::min<std::int64_t>(pages_[static_cast<std::size_t>(last)].Real, fileRecords_ - last * PerPage);
}

std::optional<double> TRecordTimes::MeasuredRate() const {
  if (pages_.empty()) return std::nullopt;
  const std::int64_t records = (IndexedPages() - 1) * PerPage + pages_.back().Real;
  const std::int64_t span = pages_.back().LastMono - pages_.front().FirstMono;
  if (records < 2 || span <= 0) return std::nullopt;
  return static_cast<double>(records - 1) / (static_cast<double>(span) / 1e9);
}

}  // namespace ninetrace
