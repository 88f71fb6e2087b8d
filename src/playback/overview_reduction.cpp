#include "playback/overview_reduction.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <span>

namespace ninetrace {
namespace {

constexpr std::int64_t RecordBytes = static_cast<std::int64_t>(RecordSize);

// The records of the file in order, handed out in runs that lie whole in the buffer.
class TRecordStream {
 public:
  TRecordStream(const TSequentialRead& read, std::int64_t records, std::int64_t pieceRecords)
      : read_(read),
        left_(records),
        piece_(pieceRecords),
        buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(pieceRecords * RecordBytes))) {}

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
    const std::int64_t want = std::min(piece_, left_);
    const std::int64_t got = want > 0 ? read_(buffer_.get(), want * RecordBytes) / RecordBytes : 0;
    // A file that ended early simply has fewer records.
    left_ = got < want ? 0 : left_ - got;
    at_ = 0;
    have_ = got;
    return got > 0;
  }

  const TSequentialRead& read_;
  std::int64_t left_;
  std::int64_t piece_;
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

// Which levels of each trace a run of records holds: a bit per 10-bit code of the channels, and
// for the inputs the AND and the OR of byte 6 (a 0 is there unless the AND has the bit, a 1 if
// the OR has it).
struct TLevelsPresent {
  std::array<std::array<std::uint64_t, 16>, 5> Codes{};
  std::uint8_t Ands = 0xFF, Ors = 0;

  void Scan(std::span<const std::uint8_t> run) {
    for (const std::uint8_t* r = run.data(); r != run.data() + run.size(); r += RecordSize) {
      const unsigned b5 = r[5], b6 = r[6];
      const std::array<unsigned, 5> code{r[0] << 2 | (b5 & 3), r[1] << 2 | (b5 >> 2 & 3), r[2] << 2 | (b5 >> 4 & 3),
                                         r[3] << 2 | b5 >> 6, r[4] << 2 | (b6 >> 4 & 3)};
#pragma GCC unroll 5
      for (std::size_t c = 0; c < 5; ++c) Codes[c][code[c] >> 6] |= std::uint64_t{1} << (code[c] & 63);
      Ands = static_cast<std::uint8_t>(Ands & b6);
      Ors = static_cast<std::uint8_t>(Ors | b6);
    }
  }
  bool Has(std::size_t trace, int level) const {
    if (trace < 5) return (Codes[trace][static_cast<std::size_t>(level) >> 6] >> (level & 63)) & 1;
    const int bit = 1 << (trace - 5);
    return level ? (Ors & bit) != 0 : (Ands & bit) == 0;
  }
  void Merge(const TLevelsPresent& o) {
    for (std::size_t c = 0; c < 5; ++c)
      for (std::size_t w = 0; w < 16; ++w) Codes[c][w] |= o.Codes[c][w];
    Ands = static_cast<std::uint8_t>(Ands & o.Ands);
    Ors = static_cast<std::uint8_t>(Ors | o.Ors);
  }
};

// The current view's pixels ordered for the summary: per trace the levels from the lowest pixel
// to the highest, and which levels the drawing keeps (inside the guard).
struct TViewOrder {
  explicit TViewOrder(const TLevelPixels& pixels) {
    for (std::size_t t = 0; t < TraceCount; ++t) {
      const std::vector<std::int32_t>& pixel = pixels.Pixel[t];
      std::vector<std::int16_t>& order = ByPixel[t];
      for (std::size_t level = 0; level < pixel.size(); ++level) {
        order.push_back(static_cast<std::int16_t>(level));
        Drawn[t].push_back(pixel[level] >= -PixelGuard && pixel[level] <= PixelGuard);
      }
      const auto at = [&pixel](std::int16_t level) { return pixel[static_cast<std::size_t>(level)]; };
      std::stable_sort(order.begin(), order.end(), [&at](std::int16_t a, std::int16_t b) { return at(a) < at(b); });
    }
  }
  bool AnyDrawn(const TLevelsPresent& present, std::size_t t) const {
    for (std::size_t level = 0; level < Drawn[t].size(); ++level)
      if (Drawn[t][level] && present.Has(t, static_cast<int>(level))) return true;
    return false;
  }
  std::array<std::vector<std::int16_t>, TraceCount> ByPixel;
  std::array<std::vector<bool>, TraceCount> Drawn;
};

// One x position away from the end under a view that needs pixels: of all records and of those
// the drawing keeps, the first, the lowest and highest by pixel, and the last. Only the first and
// last of each set fix where the column joins its neighbours; the points between only span the
// column from its lowest to its highest pixel, in any order.
void SummariseBlockForView(TRecordStream& stream, std::int64_t records, std::int64_t k, const TViewOrder& view,
                           TOverviewPoints& out) {
  TLevelsPresent present;
  std::array<std::uint8_t, RecordSize> first{}, last{};
  std::array<int, TraceCount> firstDrawn{}, lastDrawn{};
  firstDrawn.fill(-1);
  bool any = false;
  while (records > 0) {
    const std::span<const std::uint8_t> run = stream.Take(records);
    if (run.empty()) break;
    if (!any) std::copy_n(run.begin(), RecordSize, first.begin());
    any = true;
    std::copy_n(run.end() - RecordSize, RecordSize, last.begin());
    const std::size_t n = run.size() / RecordSize;
    records -= static_cast<std::int64_t>(n);
    TLevelsPresent here;
    here.Scan(run);
    present.Merge(here);
    // The first and last kept record of the run, looked for only where the run holds one.
    for (std::size_t t = 0; t < TraceCount; ++t) {
      if (!view.AnyDrawn(here, t)) continue;
      const auto drawnAt = [&](std::size_t r) {
        const int level = TraceLevel(RecordIn(run, r), t);
        return view.Drawn[t][static_cast<std::size_t>(level)] ? level : -1;
      };
      for (std::size_t r = 0; firstDrawn[t] < 0 && r < n; ++r) firstDrawn[t] = drawnAt(r);
      for (std::size_t r = n; r-- > 0;)
        if (const int level = drawnAt(r); level >= 0) {
          lastDrawn[t] = level;
          break;
        }
    }
  }
  if (!any) return;
  for (std::size_t t = 0; t < TraceCount; ++t) {
    const std::vector<std::int16_t>& order = view.ByPixel[t];
    const auto find = [&](auto begin, auto end, bool drawnOnly) {
      for (auto it = begin; it != end; ++it)
        if (present.Has(t, *it) && (!drawnOnly || view.Drawn[t][static_cast<std::size_t>(*it)])) return int{*it};
      return -1;
    };
    std::vector<TOverviewPoint>& points = out[t];
    Append(points, k, TraceLevel(first, t), true);
    if (firstDrawn[t] >= 0) Append(points, k, firstDrawn[t], false);
    Append(points, k, find(order.begin(), order.end(), false), false);
    Append(points, k, find(order.rbegin(), order.rend(), false), false);
    if (firstDrawn[t] >= 0) {
      Append(points, k, find(order.begin(), order.end(), true), false);
      Append(points, k, find(order.rbegin(), order.rend(), true), false);
      Append(points, k, lastDrawn[t], false);
    }
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

TOverviewPoints ReduceRecording(const TSequentialRead& read, std::int64_t size, const TLevelPixels* pixels,
                                std::int64_t pieceRecords) {
  TOverviewPoints out;
  const std::int64_t records = size > 0 ? size / RecordBytes : 0;
  if (records == 0) return out;
  const auto xIndexOf = [size](std::int64_t j) { return RecordBytes * j * 1000 / size; };
  // The first record whose x index is above k: 7000 j >= (k + 1) size.
  const auto blockEnd = [size, records](std::int64_t k) {
    return std::min(records, ((k + 1) * size + RecordBytes * 1000 - 1) / (RecordBytes * 1000));
  };
  const std::int64_t lastK = xIndexOf(records - 1);
  TRecordStream stream(read, records, pieceRecords);
  const std::optional<TViewOrder> view = pixels ? std::optional<TViewOrder>(std::in_place, *pixels) : std::nullopt;
  // Record by record only where needed: the summary of the levels alone is far faster. Those
  // positions are the last ones, so their points go after the summarised ones.
  auto reducers = std::make_unique<TReducers>();
  for (std::int64_t j = 0; j < records;) {
    const std::int64_t k = xIndexOf(j);
    const std::int64_t end = blockEnd(k);
    const bool exact = k > lastK - ExactTailPositions;
    if (exact)
      ReduceBlockByRecord(stream, j, end, k, exact, pixels, *reducers);
    else if (view)
      SummariseBlockForView(stream, end - j, k, *view, out);
    else
      SummariseBlock(stream, end - j, k, out);
    j = end;
  }
  for (std::size_t t = 0; t < TraceCount; ++t) (*reducers)[t].Emit(out[t]);
  return out;
}

}  // namespace ninetrace
