#include "playback/overview_from_summary.h"

#include <algorithm>
#include <array>
#include <vector>

#include "playback/record_access.h"

namespace ninetrace {
namespace {

constexpr std::int64_t RecordBytes = SummaryRecordBytes;
constexpr std::int64_t PageRecords = SummaryPageRecords;

using TPosition = TOverviewPosition;
constexpr auto Append = AppendOverviewPoint;

int HighestLevel(int t) { return t < 5 ? 1023 : 1; }

// The points that decide the trace's end pixel (see overview_reduction.h): over the exact tail,
// the records lower (higher) than all that follow them, found from the end backwards.
std::vector<std::int64_t> SuffixExtremes(TRecordAccess& access, int t, std::int64_t start, std::int64_t end, bool lows) {
  std::vector<std::int64_t> found;
  int bound = lows ? HighestLevel(t) + 1 : -1;
  for (std::int64_t j = end; j > start;) {
    const std::int64_t r = access.FindLast(t, start, j, {lows, bound, true});
    if (r < 0) break;
    found.push_back(r);
    bound = access.Level(r, t);
    j = r;
  }
  std::reverse(found.begin(), found.end());
  return found;
}

// The first record of [a, b) at the range's lowest (highest) level.
std::int64_t FirstExtreme(TRecordAccess& access, int t, std::int64_t a, std::int64_t b, bool low) {
  const TBlockSummary s = access.Range(a, b);
  return access.FindFirst(t, a, b, {low, low ? s.LowOf(t) : s.HighOf(t), false});
}

// The last x positions of one trace, as the record-by-record reduction keeps them: each
// position's first, lowest, highest and last record, and the deciding records inside it, each
// with the highest (lowest) record of its position before it; all in record order.
void EmitExactTail(TRecordAccess& access, int t, const std::vector<TPosition>& tail, std::vector<TOverviewPoint>& points) {
  const std::int64_t start = tail.front().Start, end = tail.back().End;
  const std::vector<std::int64_t> lows = SuffixExtremes(access, t, start, end, true);
  const std::vector<std::int64_t> highs = SuffixExtremes(access, t, start, end, false);
  std::vector<std::int64_t> marks;
  for (const TPosition& x : tail) {
    marks.assign({x.Start, FirstExtreme(access, t, x.Start, x.End, true), FirstExtreme(access, t, x.Start, x.End, false),
                  x.End - 1});
    for (const auto& [deciding, low] : {std::pair{&lows, true}, std::pair{&highs, false}}) {
      // The opposite extreme of the position so far, carried from one deciding record to the next:
      // it changes only where the stretch between them goes beyond it.
      std::int64_t at = x.Start, extreme = -1;
      int level = 0;
      for (const std::int64_t j : *deciding) {
        if (j < x.Start || j >= x.End) continue;
        marks.push_back(j);
        if (j == x.Start) continue;
        const TBlockSummary stretch = access.Range(at, j);
        const int beyond = low ? stretch.HighOf(t) : stretch.LowOf(t);
        if (extreme < 0 || (low ? beyond > level : beyond < level)) {
          level = beyond;
          extreme = access.FindFirst(t, at, j, {!low, level, false});
        }
        at = j;
        marks.push_back(extreme);
      }
    }
    AppendMarkedRecords(points, x.K, marks, access, t);
  }
}

}  // namespace

void AppendOverviewPoint(std::vector<TOverviewPoint>& points, std::int64_t k, int level, bool firstOfColumn) {
  if (!firstOfColumn && points.back().Level == level) return;
  points.push_back({k, static_cast<std::int16_t>(level)});
}

void AppendMarkedRecords(std::vector<TOverviewPoint>& points, std::int64_t k, std::vector<std::int64_t>& marks,
                         TRecordAccess& access, int t) {
  std::sort(marks.begin(), marks.end());
  bool firstOfColumn = true;
  for (const std::int64_t j : marks) {
    AppendOverviewPoint(points, k, access.Level(j, t), firstOfColumn);
    firstOfColumn = false;
  }
}

std::vector<TOverviewPosition> OverviewPositions(std::int64_t size) {
  const std::int64_t records = size / RecordBytes;
  std::vector<TOverviewPosition> positions;
  for (std::int64_t j = 0; j < records;) {
    const std::int64_t k = RecordBytes * j * 1000 / size;
    // The first record whose x index is above k: 7000 j >= (k + 1) size.
    const std::int64_t end = std::min(records, ((k + 1) * size + RecordBytes * 1000 - 1) / (RecordBytes * 1000));
    positions.push_back({k, j, end});
    j = end;
  }
  return positions;
}

std::vector<TOverviewPosition>::const_iterator ExactTailOf(const std::vector<TOverviewPosition>& positions) {
  const std::int64_t lastK = positions.back().K;
  return std::find_if(positions.begin(), positions.end(),
                      [lastK](const TOverviewPosition& x) { return x.K > lastK - ExactTailPositions; });
}

void PrepareSummaryReads(const TRecordingSummary& summary, std::int64_t size,
                         const std::vector<TOverviewPosition>& positions, const TPagePrefetch& prefetch) {
  if (summary.Pages() != size / (RecordBytes * PageRecords)) throw TSummaryMismatch("the summary is of another length");
  if (prefetch)
    for (const TOverviewPosition& x : positions) {
      if (x.Start % PageRecords) prefetch.Ask(x.Start / PageRecords);
      if (x.End % PageRecords) prefetch.Ask((x.End - 1) / PageRecords);
    }
}

TOverviewPoints ReduceWithSummary(const TRecordingSummary& summary, std::int64_t size, const TPageRead& read,
                                  const TPagePrefetch& prefetch, TCheckedPages* checked) {
  TOverviewPoints out;
  const std::int64_t records = size > 0 ? size / RecordBytes : 0;
  if (records == 0) return out;
  const std::vector<TPosition> positions = OverviewPositions(size);
  PrepareSummaryReads(summary, size, positions, prefetch);
  TRecordAccess access(summary, records, read, checked);
  const auto tail = ExactTailOf(positions);
  for (auto x = positions.begin(); x != tail; ++x) {
    const TBlockSummary s = access.Range(x->Start, x->End);
    std::array<std::uint8_t, RecordBytes> first{}, last{};
    std::copy_n(access.Record(x->Start), RecordBytes, first.begin());
    std::copy_n(access.Record(x->End - 1), RecordBytes, last.begin());
    for (int t = 0; t < SummaryTraces; ++t) {
      std::vector<TOverviewPoint>& points = out[static_cast<std::size_t>(t)];
      Append(points, x->K, RecordLevel(first.data(), t), true);
      Append(points, x->K, s.LowOf(t), false);
      Append(points, x->K, s.HighOf(t), false);
      Append(points, x->K, RecordLevel(last.data(), t), false);
    }
  }
  const std::vector<TPosition> exact(tail, positions.end());
  for (int t = 0; t < SummaryTraces; ++t) EmitExactTail(access, t, exact, out[static_cast<std::size_t>(t)]);
  return out;
}

}  // namespace ninetrace
