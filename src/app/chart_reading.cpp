#include "app/chart_reading.h"

#include <algorithm>
#include <cmath>

#include "recording/start_time.h"

namespace ninetrace {

namespace {

constexpr std::int64_t PerPage = static_cast<std::int64_t>(RecordsPerPage);
constexpr std::int64_t RecordBytes = static_cast<std::int64_t>(RecordSize);

std::int64_t XIndexOf(double x) { return std::llround(x * 100); }

// The smallest j with j * 7000 >= k * size: the first record at or after x index k.
std::int64_t FirstRecordAt(std::int64_t k, std::int64_t size) {
  const std::int64_t scaled = std::max<std::int64_t>(k, 0) * size;
  return (scaled + RecordBytes * 1000 - 1) / (RecordBytes * 1000);
}

}  // namespace

std::optional<std::pair<std::int64_t, std::int64_t>> XIndicesInColumn(const TChartAxis& bottom, std::int32_t x) {
  if (bottom.PixelSize < 1) return std::nullopt;
  const std::int64_t guess = XIndexOf(bottom.PixelToValue(x));
  auto pixel = [&](std::int64_t k) { return bottom.ValueToPixel(static_cast<double>(k) * 0.01); };
  std::int64_t k0 = guess;
  // Columns narrower than an x index hold one or none; wider ones (never here) would hold a few.
  while (pixel(k0 - 1) >= x && guess - k0 < 1000) --k0;
  while (pixel(k0) < x && k0 - guess < 1000) ++k0;
  if (pixel(k0) != x) return std::pair{guess, guess};
  std::int64_t k1 = k0;
  while (pixel(k1 + 1) == x && k1 - k0 < 1000) ++k1;
  return std::pair{k0, k1};
}

std::pair<std::int64_t, std::int64_t> OverviewRecords(std::int64_t k0, std::int64_t k1, std::int64_t size) {
  const std::int64_t records = size / RecordBytes;
  const std::int64_t first = std::clamp<std::int64_t>(FirstRecordAt(k0, size), 0, records);
  const std::int64_t end = std::clamp<std::int64_t>(FirstRecordAt(k1 + 1, size), first, records);
  return {first, end};
}

TChartReading::TChartReading(TRecorder& recorder, TPageViewer& viewer, TTraceSet& traces, TChart& chart)
    : recorder_(recorder), viewer_(viewer), traces_(traces), chart_(chart) {}

std::filesystem::path TChartReading::CurrentFile() const {
  if (recorder_.Running()) return recorder_.FilePath();
  if (viewer_.FileOpen()) return recorder_.DataFile().Name();
  return {};
}

const TRecordTimes& TChartReading::Times() {
  const std::filesystem::path file = CurrentFile();
  if (file != timesFile_) {
    timesFile_ = file;
    times_ = TRecordTimes::Load(file);
  } else if (!file.empty() && recorder_.DataFile().IsOpen() &&
             recorder_.DataFile().Size() / RecordBytes != times_.FileRecords()) {
    times_.Reload();  // pages written since (a recording going on, or viewed again after more)
  }
  return times_;
}

TTraceHidden TChartReading::Hidden() const {
  TTraceHidden hidden{};
  for (std::size_t t = 0; t < TraceCount; ++t) hidden[t] = !traces_[t].LinePen.Visible();
  return hidden;
}

std::int64_t TChartReading::PageRecords() const {
  if (recorder_.Running()) return static_cast<std::int64_t>(recorder_.FillPosition());
  const std::int64_t left = (recorder_.DataFile().Size() - viewer_.ViewOffset()) / RecordBytes;
  return std::clamp<std::int64_t>(left, 0, PerPage);
}

std::optional<TReadout> TChartReading::ReadoutAt(std::int32_t x, std::int32_t y, const TChannelScales& channels) {
  const TRect& r = chart_.ChartRect;
  if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom) return std::nullopt;
  if (CurrentFile().empty()) return std::nullopt;
  if (!recorder_.Running() && viewer_.ViewMode() == TViewMode::Overview) return SpanReadoutAt(x, channels);
  return PageReadout(XIndexOf(chart_.BottomAxis().PixelToValue(x)), channels);
}

std::optional<TReadout> TChartReading::PageReadout(std::int64_t slot, const TChannelScales& channels) {
  if (slot < 0 || slot >= PageRecords()) return std::nullopt;
  const TSampleRecord bytes = RecordAt(recorder_.PageBuffer(), static_cast<std::size_t>(slot));
  TRecordUnderPointer at;
  at.Record = recorder_.Running() ? recorder_.PagesWritten() * PerPage + slot : viewer_.ViewOffset() / RecordBytes + slot;
  for (std::size_t t = 0; t < TraceCount; ++t) at.Levels[t] = TraceLevel(bytes, t);
  const TRecordTimes& times = Times();
  // The page being filled is not in the file (nor its index) yet: the recorder times it.
  at.Time = recorder_.Running() ? recorder_.LiveRecordTime(static_cast<std::size_t>(slot)) : times.At(at.Record);
  at.SinceStart = times.SecondsSinceStart(at.Record);
  if (recorder_.Running() && at.Time) {
    // Before the first page is written the recorder alone knows when record 0 came.
    const std::optional<TRecordTime> first = recorder_.PagesWritten() == 0 ? recorder_.LiveRecordTime(0) : times.At(0);
    if (first)
      at.SinceStart = static_cast<double>(at.Time->UnixNanoseconds - first->UnixNanoseconds) / 1e9;
  }
  const std::optional<std::int64_t> real = times.RealRecords();
  at.Padding = !recorder_.Running() && real && at.Record >= *real;
  return RecordReadout(at, channels, Hidden());
}

bool TChartReading::ReadSpan(std::int64_t first, std::int64_t end, TSpanUnderPointer& span) {
  const std::int64_t count = end - first;
  span_.resize(static_cast<std::size_t>(count * RecordBytes));
  TDataFile& file = recorder_.DataFile();
  // The viewer always seeks before it reads, so moving the file position here is harmless.
  file.SeekTo(first * RecordBytes);
  const std::int64_t got = file.Read(span_.data(), count * RecordBytes) / RecordBytes;
  if (got <= 0) return false;
  span.Low.fill(1 << 30);
  span.High.fill(-1);
  for (std::int64_t j = 0; j < got; ++j) {
    const TSampleRecord record(span_.data() + j * RecordBytes, RecordSize);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      const int level = TraceLevel(record, t);
      span.Low[t] = std::min(span.Low[t], level);
      span.High[t] = std::max(span.High[t], level);
    }
  }
  return true;
}

std::optional<TReadout> TChartReading::SpanReadoutAt(std::int32_t x, const TChannelScales& channels) {
  const auto indices = XIndicesInColumn(chart_.BottomAxis(), x);
  if (!indices) return std::nullopt;
  const std::int64_t size = recorder_.DataFile().Size();
  const auto [first, end] = OverviewRecords(indices->first, indices->second, size);
  if (first >= end) return std::nullopt;
  const TRecordTimes& times = Times();
  TSpanUnderPointer span;
  span.First = first;
  span.Last = end - 1;
  const std::int64_t realEnd = std::clamp<std::int64_t>(times.RealRecords().value_or(end), first, end);
  span.Real = realEnd - first;
  if (span.Real > 0 && !ReadSpan(first, realEnd, span)) return std::nullopt;
  span.FirstTime = times.At(first);
  span.LastTime = times.At(end - 1);
  return SpanReadout(span, channels, Hidden());
}

std::optional<std::int64_t> TChartReading::RecordAtX(double x) {
  if (CurrentFile().empty()) return std::nullopt;
  if (recorder_.Running()) return recorder_.PagesWritten() * PerPage + XIndexOf(x);
  if (viewer_.ViewMode() == TViewMode::Overview)
    return FirstRecordAt(static_cast<std::int64_t>(std::ceil(x * 100 - 1e-9)), recorder_.DataFile().Size());
  return viewer_.ViewOffset() / RecordBytes + XIndexOf(x);
}

std::optional<TRecordTime> TChartReading::TimeAtX(double x) {
  const std::optional<std::int64_t> record = RecordAtX(x);
  if (!record || *record < 0) return std::nullopt;
  // Records still to come on a live page, and the padding that never came: the time axis goes on
  // from the last record that did at the nominal rate, as an estimate.
  auto after = [](std::optional<TRecordTime> last, std::int64_t records) {
    if (!last) return last;
    last->UnixNanoseconds += records * NominalSecondsNumerator * 1'000'000'000 / NominalSecondsDenominator;
    last->Estimated = last->Estimated || records > 0;
    return last;
  };
  if (recorder_.Running()) {
    const std::int64_t slot = XIndexOf(x);
    const auto fill = static_cast<std::int64_t>(recorder_.FillPosition());
    if (slot >= 0 && slot < fill) return recorder_.LiveRecordTime(static_cast<std::size_t>(slot));
    if (fill > 0 && slot >= fill) return after(recorder_.LiveRecordTime(static_cast<std::size_t>(fill - 1)), slot - fill + 1);
  }
  const TRecordTimes& times = Times();
  if (std::optional<TRecordTime> time = times.At(*record)) return time;
  const std::optional<std::int64_t> real = times.RealRecords();
  if (!real || *real < 1 || *record < *real) return std::nullopt;
  return after(times.At(*real - 1), *record - *real + 1);
}

std::optional<std::pair<std::int64_t, std::int64_t>> TChartReading::RecordsOnScreen() {
  if (!viewer_.FileOpen()) return std::nullopt;
  const TChartAxis& bottom = chart_.BottomAxis();
  const auto k0 = static_cast<std::int64_t>(std::ceil(bottom.Minimum() * 100 - 1e-9));
  const auto k1 = static_cast<std::int64_t>(std::floor(bottom.Maximum() * 100 + 1e-9));
  const std::int64_t size = recorder_.DataFile().Size();
  if (viewer_.ViewMode() == TViewMode::Overview) return OverviewRecords(std::max<std::int64_t>(k0, 0), k1, size);
  const std::int64_t base = viewer_.ViewOffset() / RecordBytes;
  const std::int64_t first = base + std::clamp<std::int64_t>(k0, 0, PageRecords());
  const std::int64_t end = base + std::clamp<std::int64_t>(k1 + 1, 0, PageRecords());
  return std::pair{first, std::max(first, end)};
}

}  // namespace ninetrace
