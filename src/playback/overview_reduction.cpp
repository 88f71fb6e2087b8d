#include "playback/overview_reduction.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <span>

namespace ninetrace {
namespace {

// A read of about 3.5 MB: few system calls, and the buffer stays in the cache it fills.
constexpr std::int64_t BufferRecords = std::int64_t{1} << 19;
constexpr std::int64_t RecordBytes = static_cast<std::int64_t>(RecordSize);

// The records of the file in order, handed out in runs that lie whole in the buffer.
class TRecordStream {
 public:
  TRecordStream(const TSequentialRead& read, std::int64_t records)
      : read_(read), left_(records), buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(BufferRecords * RecordBytes)) {}

  // Up to `most` next records; empty once the file has ended.
  std::span<const std::uint8_t> Take(std::int64_t most) {
    if (at_ == have_ && !Fill()) return {};
    const std::int64_t n = std::min(most, have_ - at_);
    const std::span<const std::uint8_t> run(buffer_.get() + at_ * RecordBytes, static_cast<std::size_t>(n * RecordBytes));
    at_ += n;
    return run;
  }

 private:
  bool Fill() {
    const std::int64_t want = std::min(BufferRecords, left_);
    const std::int64_t got = want > 0 ? read_(buffer_.get(), want * RecordBytes) / RecordBytes : 0;
    // A file that ended early simply has fewer records.
    left_ = got < want ? 0 : left_ - got;
    at_ = 0;
    have_ = got;
    return got > 0;
  }

  const TSequentialRead& read_;
  std::int64_t left_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::int64_t at_ = 0, have_ = 0;
};

TSampleRecord RecordIn(std::span<const std::uint8_t> run, std::size_t index) {
  return TSampleRecord(run.data() + index * RecordSize, RecordSize);
}

// Lowest and highest levels of a run of records, on the raw bytes: the digital inputs' lowest
// and highest bits are the AND and the OR of byte 6.
struct TExtremes {
  std::array<int, 5> Low{1023, 1023, 1023, 1023, 1023}, High{};
  std::uint8_t Ands = 0xFF, Ors = 0;

  void Scan(std::span<const std::uint8_t> run) {
    std::array<int, 5> low = Low, high = High;
    std::uint8_t ands = Ands, ors = Ors;
    for (const std::uint8_t* r = run.data(); r != run.data() + run.size(); r += RecordSize) {
      const int b5 = r[5], b6 = r[6];
      const std::array<int, 5> code{r[0] << 2 | (b5 & 3), r[1] << 2 | (b5 >> 2 & 3), r[2] << 2 | (b5 >> 4 & 3),
                                    r[3] << 2 | b5 >> 6, r[4] << 2 | (b6 >> 4 & 3)};
#pragma GCC unroll 5
      for (std::size_t c = 0; c < 5; ++c) {
        low[c] = std::min(low[c], code[c]);
        high[c] = std::max(high[c], code[c]);
      }
      ands = static_cast<std::uint8_t>(ands & b6);
      ors = static_cast<std::uint8_t>(ors | b6);
    }
    Low = low;
    High = high;
    Ands = ands;
    Ors = ors;
  }

  int LowOf(std::size_t trace) const { return trace < 5 ? Low[trace] : (Ands >> (trace - 5)) & 1; }
  int HighOf(std::size_t trace) const { return trace < 5 ? High[trace] : (Ors >> (trace - 5)) & 1; }
};

// Appends a level at x index k, unless the point before at the same x has that level already:
// a step to the same pixel draws nothing and hits nothing.
void Append(std::vector<TOverviewPoint>& points, std::int64_t k, int level, bool firstOfColumn) {
  if (!firstOfColumn && points.back().Level == level) return;
  points.push_back({k, static_cast<std::int16_t>(level)});
}

// One x position away from the end of the trace: first, lowest, highest, last.
void SummariseBlock(TRecordStream& stream, std::int64_t records, std::int64_t k, TOverviewPoints& out) {
  TExtremes extremes;
  std::array<std::uint8_t, RecordSize> first{}, last{};
  bool any = false;
  while (records > 0) {
    const std::span<const std::uint8_t> run = stream.Take(records);
    if (run.empty()) break;
    if (!any) std::copy_n(run.begin(), RecordSize, first.begin());
    any = true;
    extremes.Scan(run);
    std::copy_n(run.end() - RecordSize, RecordSize, last.begin());
    records -= static_cast<std::int64_t>(run.size() / RecordSize);
  }
  if (!any) return;
  for (std::size_t t = 0; t < TraceCount; ++t) {
    std::vector<TOverviewPoint>& points = out[t];
    Append(points, k, TraceLevel(first, t), true);
    Append(points, k, extremes.LowOf(t), false);
    Append(points, k, extremes.HighOf(t), false);
    Append(points, k, TraceLevel(last, t), false);
  }
}

// One trace record by record, for the last x positions and for views where levels map to
// pixels beyond the drawing's coordinate guard. Points are compared by key: the level itself,
// or the pixel the level maps to. Each x position keeps its first, lowest, highest and last point
// of all records, which the hit test walks, and the same of the records the drawing keeps (those
// that pass the guard); positions marked exact also keep the points that decide the end pixel
// (see the header), over the records the drawing keeps.
class TColumnReducer {
 public:
  void StartBlock(std::int64_t k, std::int64_t start, bool exact) { blocks_.push_back({k, start, exact, {}, {}}); }

  void Add(std::int64_t pos, int key, int level, bool drawn) {
    const TMark mark{pos, key, level};
    TBlock& b = blocks_.back();
    b.All.Add(mark);
    if (!drawn) return;
    if (b.Exact) {
      // A point lower than everything after it keeps the highest point of its block before it.
      const bool firstOfBlock = b.Drawn.First.Pos < 0;
      while (!lows_.empty() && lows_.back().Self.Key >= key) lows_.pop_back();
      lows_.push_back({mark, b.Drawn.High, !firstOfBlock});
      while (!highs_.empty() && highs_.back().Self.Key <= key) highs_.pop_back();
      highs_.push_back({mark, b.Drawn.Low, !firstOfBlock});
    }
    b.Drawn.Add(mark);
  }

  void Emit(std::vector<TOverviewPoint>& points) const {
    std::size_t low = 0, high = 0;
    std::vector<TMark> marks;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      const TBlock& b = blocks_[i];
      const std::int64_t end = i + 1 < blocks_.size() ? blocks_[i + 1].Start : std::numeric_limits<std::int64_t>::max();
      if (b.All.First.Pos < 0) continue;  // the file ended before this block
      marks.assign({b.All.First, b.All.Low, b.All.High, b.All.Last});
      if (b.Drawn.First.Pos >= 0) marks.insert(marks.end(), {b.Drawn.First, b.Drawn.Low, b.Drawn.High, b.Drawn.Last});
      Collect(lows_, low, end, marks);
      Collect(highs_, high, end, marks);
      std::sort(marks.begin(), marks.end(), [](const TMark& a, const TMark& c) { return a.Pos < c.Pos; });
      bool firstOfColumn = true;
      for (const TMark& m : marks) {
        Append(points, b.K, m.Level, firstOfColumn);
        firstOfColumn = false;
      }
    }
  }

 private:
  struct TMark {
    std::int64_t Pos = -1;
    int Key = 0, Level = 0;
  };
  struct TSummary {
    TMark First, Low, High, Last;
    void Add(const TMark& m) {
      if (First.Pos < 0) First = Low = High = m;
      if (m.Key < Low.Key) Low = m;
      if (m.Key > High.Key) High = m;
      Last = m;
    }
  };
  struct TBlock {
    std::int64_t K, Start;
    bool Exact;
    TSummary All, Drawn;
  };
  struct TRecordPoint {
    TMark Self, Before;
    bool HasBefore;
  };

  // The stack's points that lie before `end`, with the points they keep.
  static void Collect(const std::vector<TRecordPoint>& stack, std::size_t& at, std::int64_t end, std::vector<TMark>& marks) {
    for (; at < stack.size() && stack[at].Self.Pos < end; ++at) {
      marks.push_back(stack[at].Self);
      if (stack[at].HasBefore) marks.push_back(stack[at].Before);
    }
  }

  std::vector<TBlock> blocks_;
  std::vector<TRecordPoint> lows_, highs_;  // keys rising (falling) from bottom to top
};

using TReducers = std::array<TColumnReducer, TraceCount>;

void ReduceBlockByRecord(TRecordStream& stream, std::int64_t start, std::int64_t end, std::int64_t k, bool exact,
                         const TLevelPixels* pixels, TReducers& reducers) {
  for (TColumnReducer& r : reducers) r.StartBlock(k, start, exact);
  for (std::int64_t pos = start; pos < end;) {
    const std::span<const std::uint8_t> run = stream.Take(end - pos);
    if (run.empty()) return;
    for (std::size_t r = 0; r < run.size() / RecordSize; ++r, ++pos) {
      const TSampleRecord record = RecordIn(run, r);
      for (std::size_t t = 0; t < TraceCount; ++t) {
        const int level = TraceLevel(record, t);
        if (!pixels) {
          reducers[t].Add(pos, level, level, true);
          continue;
        }
        const std::int32_t pixel = pixels->Pixel[t][static_cast<std::size_t>(level)];
        reducers[t].Add(pos, pixel, level, pixel >= -PixelGuard && pixel <= PixelGuard);
      }
    }
  }
}

}  // namespace

TOverviewPoints ReduceRecording(const TSequentialRead& read, std::int64_t size, const TLevelPixels* pixels) {
  TOverviewPoints out;
  const std::int64_t records = size > 0 ? size / RecordBytes : 0;
  if (records == 0) return out;
  const auto xIndexOf = [size](std::int64_t j) { return RecordBytes * j * 1000 / size; };
  // The first record whose x index is above k: 7000 j >= (k + 1) size.
  const auto blockEnd = [size, records](std::int64_t k) {
    return std::min(records, ((k + 1) * size + RecordBytes * 1000 - 1) / (RecordBytes * 1000));
  };
  const std::int64_t lastK = xIndexOf(records - 1);
  TRecordStream stream(read, records);
  // Record by record only where needed: the summary of the levels alone is far faster. Those
  // positions are the last ones, or all of them, so their points go after the summarised ones.
  auto reducers = std::make_unique<TReducers>();
  for (std::int64_t j = 0; j < records;) {
    const std::int64_t k = xIndexOf(j);
    const std::int64_t end = blockEnd(k);
    const bool exact = k > lastK - ExactTailPositions;
    if (exact || pixels)
      ReduceBlockByRecord(stream, j, end, k, exact, pixels, *reducers);
    else
      SummariseBlock(stream, end - j, k, out);
    j = end;
  }
  for (std::size_t t = 0; t < TraceCount; ++t) (*reducers)[t].Emit(out[t]);
  return out;
}

}  // namespace ninetrace
