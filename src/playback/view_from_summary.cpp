#include "playback/view_from_summary.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "playback/record_access.h"

namespace ninetrace {
namespace {

constexpr auto Append = AppendOverviewPoint;

// One trace's keys under the view: its pixels, and its places in pixel order (levels of one pixel
// in level order, as the record-by-record reduction sorts them), of all levels and of those drawn.
struct TTraceKeys {
  TLevelKeys Pixel, DrawnPixel, Rank, DrawnRank;
  TLevelTest Drawn() const { return {true, TLevelKeys::NoneLow, false, &DrawnPixel}; }
};

TTraceKeys KeysOf(const std::vector<std::int32_t>& pixel) {
  const std::size_t n = pixel.size();
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&pixel](std::size_t a, std::size_t b) { return pixel[a] < pixel[b]; });
  std::vector<std::int64_t> keys(pixel.begin(), pixel.end()), rank(n);
  for (std::size_t i = 0; i < n; ++i) rank[order[i]] = static_cast<std::int64_t>(i);
  std::vector<bool> all(n, true), drawn(n);
  for (std::size_t level = 0; level < n; ++level) drawn[level] = pixel[level] >= -PixelGuard && pixel[level] <= PixelGuard;
  return {TLevelKeys(keys, all), TLevelKeys(keys, drawn), TLevelKeys(rank, all), TLevelKeys(rank, drawn)};
}

// One x position away from the end, as SummariseBlockForView keeps it: first, first drawn,
// lowest and highest by pixel of all and of the drawn, last drawn, last.
void EmitPosition(TRecordAccess& access, const TOverviewPosition& x, int t, const TTraceKeys& keys,
                  const TBlockSummary& span, int first, int last, std::vector<TOverviewPoint>& points) {
  Append(points, x.K, first, true);
  const std::int64_t firstDrawn = access.FindFirst(t, x.Start, x.End, keys.Drawn());
  if (firstDrawn >= 0) Append(points, x.K, access.Level(firstDrawn, t), false);
  Append(points, x.K, access.Extreme(t, x.Start, x.End, keys.Rank, true, &span), false);
  Append(points, x.K, access.Extreme(t, x.Start, x.End, keys.Rank, false, &span), false);
  if (firstDrawn >= 0) {
    Append(points, x.K, access.Extreme(t, x.Start, x.End, keys.DrawnRank, true, &span), false);
    Append(points, x.K, access.Extreme(t, x.Start, x.End, keys.DrawnRank, false, &span), false);
    Append(points, x.K, access.Level(access.FindLast(t, x.Start, x.End, keys.Drawn()), t), false);
  }
  Append(points, x.K, last, false);
}

// The first record of [a, b) at the lowest (highest) pixel of the levels `rank` keeps, or -1.
std::int64_t FirstAtExtreme(TRecordAccess& access, int t, std::int64_t a, std::int64_t b, const TLevelKeys& rank,
                            const TLevelKeys& pixel, bool low) {
  const int level = access.Extreme(t, a, b, rank, low);
  return level < 0 ? -1 : access.FindFirst(t, a, b, {low, pixel.Key(level), false, &pixel});
}

// The drawn records of [start, end) lower (higher) by pixel than every drawn one after them.
std::vector<std::int64_t> DecidingRecords(TRecordAccess& access, int t, std::int64_t start, std::int64_t end,
                                          const TLevelKeys& drawnPixel, bool lows) {
  std::vector<std::int64_t> found;
  std::int64_t bound = lows ? TLevelKeys::NoneLow : TLevelKeys::NoneHigh;
  for (std::int64_t j = end; j > start;) {
    const std::int64_t r = access.FindLast(t, start, j, {lows, bound, true, &drawnPixel});
    if (r < 0) break;
    found.push_back(r);
    bound = drawnPixel.Key(access.Level(r, t));
    j = r;
  }
  std::reverse(found.begin(), found.end());
  return found;
}

// The last x positions of one trace, as the record-by-record reduction keeps them for a view:
// first, lowest, highest and last by pixel of all records and of the drawn ones, and the deciding
// drawn records, each with the highest (lowest) drawn record of its position before it.
void EmitExactTail(TRecordAccess& access, int t, const TTraceKeys& keys, const std::vector<TOverviewPosition>& tail,
                   std::vector<TOverviewPoint>& points) {
  const std::int64_t start = tail.front().Start, end = tail.back().End;
  const std::vector<std::int64_t> lows = DecidingRecords(access, t, start, end, keys.DrawnPixel, true);
  const std::vector<std::int64_t> highs = DecidingRecords(access, t, start, end, keys.DrawnPixel, false);
  std::vector<std::int64_t> marks;
  for (const TOverviewPosition& x : tail) {
    marks.assign({x.Start, FirstAtExtreme(access, t, x.Start, x.End, keys.Rank, keys.Pixel, true),
                  FirstAtExtreme(access, t, x.Start, x.End, keys.Rank, keys.Pixel, false), x.End - 1});
    if (const std::int64_t firstDrawn = access.FindFirst(t, x.Start, x.End, keys.Drawn()); firstDrawn >= 0)
      marks.insert(marks.end(), {firstDrawn, FirstAtExtreme(access, t, x.Start, x.End, keys.DrawnRank, keys.DrawnPixel, true),
                                 FirstAtExtreme(access, t, x.Start, x.End, keys.DrawnRank, keys.DrawnPixel, false),
                                 access.FindLast(t, x.Start, x.End, keys.Drawn())});
    for (const auto& [deciding, low] : {std::pair{&lows, true}, std::pair{&highs, false}}) {
      // The opposite extreme of the drawn records so far, carried from one deciding record to the next.
      std::int64_t at = x.Start, extreme = -1, key = 0;
      for (const std::int64_t j : *deciding) {
        if (j < x.Start || j >= x.End) continue;
        marks.push_back(j);
        if (const int level = j > at ? access.Extreme(t, at, j, keys.DrawnRank, !low) : -1; level >= 0) {
          const std::int64_t beyond = keys.DrawnPixel.Key(level);
          if (extreme < 0 || (low ? beyond > key : beyond < key)) {
            key = beyond;
            extreme = access.FindFirst(t, at, j, {!low, key, false, &keys.DrawnPixel});
          }
        }
        at = j;
        if (extreme >= 0) marks.push_back(extreme);
      }
    }
    AppendMarkedRecords(points, x.K, marks, access, t);
  }
}

// From a cold disk, asks at once for the pages each x position's searches for its first and last
// drawn record of each trace and for its lowest and highest drawn level read first, where
// positions lie far apart. The position's span for the latter is taken from its whole pages and
// the two it shares (those are on their way too): it may be wider than the records', which only
// risks asking for a page not needed. Warm, a few probes find those pages in memory and nothing
// is asked.
void AskForFirstReads(const TRecordingSummary& summary, TRecordAccess& access,
                      const std::vector<TOverviewPosition>& positions,
                      std::vector<TOverviewPosition>::const_iterator tail, const std::vector<TTraceKeys>& keys,
                      const TPagePrefetch& prefetch) {
  constexpr std::ptrdiff_t Probes = 8;
  const std::ptrdiff_t count = tail - positions.begin();
  if (!prefetch || count == 0 || positions.front().End - positions.front().Start < prefetch.FarApartPages * SummaryPageRecords)
    return;
  const auto firstReads = [&](const TOverviewPosition& x, const auto& use) {
    const std::int64_t firstPage = x.Start / SummaryPageRecords;
    const TBlockSummary span = summary.PagesSummary(firstPage, std::min(summary.Pages(), (x.End - 1) / SummaryPageRecords + 1));
    for (int t = 0; t < SummaryTraces; ++t) {
      const TTraceKeys& k = keys[static_cast<std::size_t>(t)];
      const std::int64_t p = access.FirstPageThatMay(t, x.Start, x.End, k.Drawn());
      if (p < 0) continue;
      std::array<std::int64_t, 4> pages{p, access.LastPageThatMay(t, x.Start, x.End, k.Drawn()),
                                        access.ExtremePageThatMay(t, x.Start, x.End, k.DrawnRank, true, span),
                                        access.ExtremePageThatMay(t, x.Start, x.End, k.DrawnRank, false, span)};
      std::sort(pages.begin(), pages.end());
      for (std::size_t i = 0; i < pages.size(); ++i)
        if (pages[i] >= 0 && (i == 0 || pages[i] != pages[i - 1])) use(pages[i]);
    }
  };
  bool cold = false;
  for (std::ptrdiff_t i = 0; i < Probes && !cold; ++i)
    firstReads(positions[static_cast<std::size_t>(count * i / Probes)],
               [&](std::int64_t page) { cold = cold || !prefetch.InMemory(page); });
  if (!cold) return;
  for (auto x = positions.begin(); x != tail; ++x) firstReads(*x, prefetch.Ask);
}

}  // namespace

TOverviewPoints ReduceWithSummaryForView(const TRecordingSummary& summary, std::int64_t size, const TPageRead& read,
                                         const TLevelPixels& pixels, const TPagePrefetch& prefetch, TCheckedPages* checked) {
  TOverviewPoints out;
  const std::int64_t records = size > 0 ? size / SummaryRecordBytes : 0;
  if (records == 0) return out;
  const std::vector<TOverviewPosition> positions = OverviewPositions(size);
  PrepareSummaryReads(summary, size, positions, prefetch);
  std::vector<TTraceKeys> keys;
  keys.reserve(TraceCount);
  for (std::size_t t = 0; t < TraceCount; ++t) keys.push_back(KeysOf(pixels.Pixel[t]));
  TRecordAccess access(summary, records, read, checked);
  const auto tail = ExactTailOf(positions);
  AskForFirstReads(summary, access, positions, tail, keys, prefetch);
  for (auto x = positions.begin(); x != tail; ++x) {
    std::array<std::uint8_t, SummaryRecordBytes> first{}, last{};
    std::copy_n(access.Record(x->Start), SummaryRecordBytes, first.begin());
    std::copy_n(access.Record(x->End - 1), SummaryRecordBytes, last.begin());
    const TBlockSummary span = access.Range(x->Start, x->End);
    for (int t = 0; t < SummaryTraces; ++t)
      EmitPosition(access, *x, t, keys[static_cast<std::size_t>(t)], span, RecordLevel(first.data(), t),
                   RecordLevel(last.data(), t), out[static_cast<std::size_t>(t)]);
  }
  const std::vector<TOverviewPosition> exact(tail, positions.end());
  for (int t = 0; t < SummaryTraces; ++t)
    EmitExactTail(access, t, keys[static_cast<std::size_t>(t)], exact, out[static_cast<std::size_t>(t)]);
  return out;
}

}  // namespace ninetrace
