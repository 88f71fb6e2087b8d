#include "playback/overview_reduction.h"

#include <algorithm>
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

// The last x positions of one trace, keeping every point that decides whether the final column's
// end pixel is left again (see the header).
class TExactTail {
 public:
  void StartBlock(std::int64_t k, std::int64_t start) {
    blocks_.push_back({k, start, {}, {}, {}, {}});
  }

  void Add(std::int64_t pos, int level) {
    const TMark mark{pos, level};
    TBlock& b = blocks_.back();
    const bool firstOfBlock = pos == b.Start;
    if (firstOfBlock) b.First = b.Low = b.High = mark;
    // A point lower than everything after it keeps the highest point of its block before it.
    while (!lows_.empty() && lows_.back().Self.Level >= level) lows_.pop_back();
    lows_.push_back({mark, b.High, !firstOfBlock});
    while (!highs_.empty() && highs_.back().Self.Level <= level) highs_.pop_back();
    highs_.push_back({mark, b.Low, !firstOfBlock});
    if (level < b.Low.Level) b.Low = mark;
    if (level > b.High.Level) b.High = mark;
    b.Last = mark;
  }

  void Emit(std::vector<TOverviewPoint>& points) const {
    std::size_t low = 0, high = 0;
    std::vector<TMark> marks;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      const TBlock& b = blocks_[i];
      const std::int64_t end = i + 1 < blocks_.size() ? blocks_[i + 1].Start : INT64_MAX;
      if (b.Last.Pos < b.Start) continue;  // the file ended before this block
      marks.assign({b.First, b.Low, b.High, b.Last});
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
    int Level = 0;
  };
  struct TBlock {
    std::int64_t K, Start;
    TMark First, Low, High, Last;
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
  std::vector<TRecordPoint> lows_, highs_;  // levels rising (falling) from bottom to top
};

void ReduceTailBlock(TRecordStream& stream, std::int64_t start, std::int64_t end, std::int64_t k,
                     std::array<TExactTail, TraceCount>& tails) {
  for (TExactTail& tail : tails) tail.StartBlock(k, start);
  for (std::int64_t pos = start; pos < end;) {
    const std::span<const std::uint8_t> run = stream.Take(end - pos);
    if (run.empty()) return;
    for (std::size_t r = 0; r < run.size() / RecordSize; ++r, ++pos) {
      const TSampleRecord record = RecordIn(run, r);
      for (std::size_t t = 0; t < TraceCount; ++t) tails[t].Add(pos, TraceLevel(record, t));
    }
  }
}

}  // namespace

TOverviewPoints ReduceRecording(const TSequentialRead& read, std::int64_t size) {
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
  std::array<TExactTail, TraceCount> tails;
  for (std::int64_t j = 0; j < records;) {
    const std::int64_t k = xIndexOf(j);
    const std::int64_t end = blockEnd(k);
    if (k > lastK - ExactTailPositions)
      ReduceTailBlock(stream, j, end, k, tails);
    else
      SummariseBlock(stream, end - j, k, out);
    j = end;
  }
  for (std::size_t t = 0; t < TraceCount; ++t) tails[t].Emit(out[t]);
  return out;
}

}  // namespace ninetrace
