#include "playback/record_access.h"

#include <algorithm>
#include <bit>
#include <string>

namespace ninetrace {
namespace {

constexpr std::int64_t PageRecords = SummaryPageRecords;

// The index of the first (last) of `count` records whose level of trace T passes `test`, or -1;
// the trace fixed per loop, so each loop reads its level with no choice per record.
template <int T, bool Backwards, class F>
std::int64_t FindIn(const std::uint8_t* records, std::int64_t count, const F& test) {
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t at = Backwards ? count - 1 - i : i;
    if (test(RecordLevel(records + at * SummaryRecordBytes, T))) return at;
  }
  return -1;
}

template <bool Backwards, class F>
std::int64_t FindIn(const std::uint8_t* records, std::int64_t count, int t, const F& test) {
  switch (t) {
    case 0: return FindIn<0, Backwards>(records, count, test);
    case 1: return FindIn<1, Backwards>(records, count, test);
    case 2: return FindIn<2, Backwards>(records, count, test);
    case 3: return FindIn<3, Backwards>(records, count, test);
    case 4: return FindIn<4, Backwards>(records, count, test);
    case 5: return FindIn<5, Backwards>(records, count, test);
    case 6: return FindIn<6, Backwards>(records, count, test);
    case 7: return FindIn<7, Backwards>(records, count, test);
    default: return FindIn<8, Backwards>(records, count, test);
  }
}

}  // namespace

TLevelKeys::TLevelKeys(const std::vector<std::int64_t>& keys, const std::vector<bool>& kept)
    : keys_(keys), kept_(kept.begin(), kept.end()) {
  const std::size_t n = keys.size();
  levelOf_.assign(n, -1);
  for (std::size_t level = 0; level < n; ++level) {
    const std::int64_t key = keys[level];
    if (key < 0 || key >= static_cast<std::int64_t>(n) || levelOf_[static_cast<std::size_t>(key)] >= 0) {
      levelOf_.clear();
      break;
    }
    levelOf_[static_cast<std::size_t>(key)] = static_cast<int>(level);
  }
  lows_.emplace_back(n);
  highs_.emplace_back(n);
  for (std::size_t i = 0; i < n; ++i) {
    lows_[0][i] = kept[i] ? keys[i] : NoneLow;
    highs_[0][i] = kept[i] ? keys[i] : NoneHigh;
  }
  for (std::size_t w = 1; 2 * w <= n; w *= 2) {
    const std::vector<std::int64_t>& low = lows_.back();
    const std::vector<std::int64_t>& high = highs_.back();
    std::vector<std::int64_t> nextLow(n - 2 * w + 1), nextHigh(n - 2 * w + 1);
    for (std::size_t i = 0; i < nextLow.size(); ++i) {
      nextLow[i] = std::min(low[i], low[i + w]);
      nextHigh[i] = std::max(high[i], high[i + w]);
    }
    lows_.push_back(std::move(nextLow));
    highs_.push_back(std::move(nextHigh));
  }
}

std::int64_t TLevelKeys::Span(const TTable& table, int lo, int hi, std::int64_t none, bool high) {
  if (lo > hi) return none;
  const auto count = static_cast<unsigned>(hi - lo + 1);
  const auto k = static_cast<std::size_t>(std::bit_width(count) - 1);
  const std::int64_t a = table[k][static_cast<std::size_t>(lo)];
  const std::int64_t b = table[k][static_cast<std::size_t>(hi + 1) - (std::size_t{1} << k)];
  return high ? std::max(a, b) : std::min(a, b);
}

TRecordAccess::TRecordAccess(const TRecordingSummary& summary, std::int64_t records, const TPageRead& read,
                             TCheckedPages* checked)
    : summary_(summary), records_(records), read_(read), checked_(checked ? *checked : ownChecked_), slots_(Slots) {}

const std::uint8_t* TRecordAccess::Page(std::int64_t page) {
  TSlot& slot = slots_[static_cast<std::size_t>(page) % Slots];
  if (slot.Page == page) return slot.Bytes.data();
  slot.Page = -1;
  const std::int64_t want = std::min(PageRecords, records_ - page * PageRecords) * SummaryRecordBytes;
  const std::int64_t got = read_(page, slot.Bytes.data());
  if (got < want) throw TSummaryMismatch("page " + std::to_string(page) + " became shorter");
  // A page is checked against its block the first time it is read: a summary that does not
  // describe the recording as it is now is never drawn from.
  if (page < summary_.Pages() && !checked_.Has(page)) {
    if (SummariseRecords(slot.Bytes.data(), PageRecords) != summary_.Level(0)[static_cast<std::size_t>(page)])
      throw TSummaryMismatch("page " + std::to_string(page) + " differs from its summary");
    checked_.Add(page);
  }
  slot.Page = page;
  return slot.Bytes.data();
}

const std::uint8_t* TRecordAccess::Record(std::int64_t j) {
  return Page(j / PageRecords) + (j % PageRecords) * SummaryRecordBytes;
}

void TRecordAccess::ScanRecords(std::int64_t a, std::int64_t b, TBlockSummary& s) {
  while (a < b) {
    const std::int64_t end = std::min(b, (a / PageRecords + 1) * PageRecords);
    s.Scan(Record(a), end - a);
    a = end;
  }
}

TBlockSummary TRecordAccess::Range(std::int64_t a, std::int64_t b) {
  TBlockSummary s;
  const std::int64_t first = (a + PageRecords - 1) / PageRecords;
  const std::int64_t last = std::min(b / PageRecords, summary_.Pages());
  if (first >= last) {
    ScanRecords(a, b, s);
    return s;
  }
  ScanRecords(a, first * PageRecords, s);
  s.Merge(summary_.PagesSummary(first, last));
  ScanRecords(last * PageRecords, b, s);
  return s;
}

bool TRecordAccess::MayInPage(int t, std::int64_t page, const TLevelTest& test) const {
  // Part of a page holds only levels of the whole page.
  return page >= summary_.Pages() || test.May(summary_.Level(0)[static_cast<std::size_t>(page)], t);
}

std::int64_t TRecordAccess::FirstInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  if (locating_) return a;
  const std::int64_t i = FindIn<false>(Record(a), b - a, t, test);
  return i < 0 ? -1 : a + i;
}

std::int64_t TRecordAccess::LastInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  if (locating_) return b - 1;
  const std::int64_t i = FindIn<true>(Record(a), b - a, t, test);
  return i < 0 ? -1 : a + i;
}

int TRecordAccess::LevelFrom(std::int64_t p, std::int64_t last) const {
  int level = TRecordingSummary::Levels - 1;
  for (; level > 0; --level) {
    const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
    if (p % n == 0 && p + n <= last) break;
  }
  return level;
}

int TRecordAccess::LevelTo(std::int64_t p, std::int64_t first) const {
  int level = TRecordingSummary::Levels - 1;
  for (; level > 0; --level) {
    const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
    if (p % n == 0 && p - n >= first) break;
  }
  return level;
}

std::int64_t TRecordAccess::FirstInBlock(int t, int level, std::int64_t block, const TLevelTest& test) {
  if (!test.May(summary_.Level(level)[static_cast<std::size_t>(block)], t)) return -1;
  if (level == 0) return FirstInPage(t, block * PageRecords, (block + 1) * PageRecords, test);
  for (std::int64_t c = block * TRecordingSummary::Fanout; c < (block + 1) * TRecordingSummary::Fanout; ++c)
    if (const std::int64_t j = FirstInBlock(t, level - 1, c, test); j >= 0) return j;
  return -1;
}

std::int64_t TRecordAccess::LastInBlock(int t, int level, std::int64_t block, const TLevelTest& test) {
  if (!test.May(summary_.Level(level)[static_cast<std::size_t>(block)], t)) return -1;
  if (level == 0) return LastInPage(t, block * PageRecords, (block + 1) * PageRecords, test);
  for (std::int64_t c = (block + 1) * TRecordingSummary::Fanout; c-- > block * TRecordingSummary::Fanout;)
    if (const std::int64_t j = LastInBlock(t, level - 1, c, test); j >= 0) return j;
  return -1;
}

std::int64_t TRecordAccess::FindFirst(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  const std::int64_t lastPage = std::min(b / PageRecords, summary_.Pages());  // whole summarised pages end here
  for (std::int64_t j = a; j < b;) {
    const std::int64_t p = j / PageRecords;
    if (j % PageRecords != 0 || p >= lastPage) {
      // Record by record to the end of this page (or of the range).
      const std::int64_t end = std::min(b, (p + 1) * PageRecords);
      if (const std::int64_t found = MayInPage(t, p, test) ? FirstInPage(t, j, end, test) : -1; found >= 0) return found;
      j = end;
      continue;
    }
    const int level = LevelFrom(p, lastPage);
    const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
    if (const std::int64_t found = FirstInBlock(t, level, p / n, test); found >= 0) return found;
    j = (p + n) * PageRecords;
  }
  return -1;
}

std::int64_t TRecordAccess::FindLast(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  const std::int64_t firstPage = (a + PageRecords - 1) / PageRecords;  // whole pages of the range start here
  for (std::int64_t j = b; j > a;) {
    const std::int64_t q = j / PageRecords;  // the page that ends at j, if j ends one
    if (j % PageRecords != 0 || q > summary_.Pages() || q - 1 < firstPage) {
      const std::int64_t start = std::max(a, (j - 1) / PageRecords * PageRecords);
      if (const std::int64_t found = MayInPage(t, (j - 1) / PageRecords, test) ? LastInPage(t, start, j, test) : -1;
          found >= 0)
        return found;
      j = start;
      continue;
    }
    const int level = LevelTo(q, firstPage);
    const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
    if (const std::int64_t found = LastInBlock(t, level, q / n - 1, test); found >= 0) return found;
    j = (q - n) * PageRecords;
  }
  return -1;
}

std::int64_t TRecordAccess::FirstPageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  locating_ = true;
  const std::int64_t j = FindFirst(t, a, b, test);
  locating_ = false;
  return j < 0 ? -1 : j / PageRecords;
}

std::int64_t TRecordAccess::LastPageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  locating_ = true;
  const std::int64_t j = FindLast(t, a, b, test);
  locating_ = false;
  return j < 0 ? -1 : j / PageRecords;
}

std::int64_t TRecordAccess::ExtremePageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelKeys& keys,
                                               bool lowest, const TBlockSummary& span) {
  locating_ = true;
  located_ = -1;
  Extreme(t, a, b, keys, lowest, &span);
  locating_ = false;
  return located_;
}

void TRecordAccess::TBest::Offer(int level) {
  if (Keys.Kept(level) && (Level < 0 || Beats(Keys.Key(level)))) Level = level;
}

bool TRecordAccess::TBest::Beats(std::int64_t key) const {
  if (key == (Lowest ? TLevelKeys::NoneLow : TLevelKeys::NoneHigh)) return false;
  if (Level < 0) return true;
  return Lowest ? key < Keys.Key(Level) : key > Keys.Key(Level);
}

void TRecordAccess::ExtremeInRecords(int t, std::int64_t a, std::int64_t b, TBest& best) {
  for (; a < b && !best.Done();) {
    const std::int64_t p = a / PageRecords, end = std::min(b, (p + 1) * PageRecords);
    // Part of a summarised page is read only when a level of that page would do better.
    const TBlockSummary* page = p < summary_.Pages() ? &summary_.Level(0)[static_cast<std::size_t>(p)] : nullptr;
    const auto lo = page ? page->LowOf(t) : 0, hi = page ? page->HighOf(t) : 0;
    if (!page || best.Beats(best.Lowest ? best.Keys.LowestIn(lo, hi) : best.Keys.HighestIn(lo, hi))) {
      if (locating_) {
        located_ = p;
        best.Located = true;
        return;
      }
      // Which levels are there first, then each of them once: far fewer than the records.
      // The best the range may hold is most often there: looked for alone first, it ends the search.
      if (const int target = best.HasCeiling ? best.Keys.LevelOf(best.Ceiling) : -1;
          target >= 0 && FindIn<false>(Record(a), end - a, t, [target](int level) { return level == target; }) >= 0) {
        best.Offer(target);
        return;
      }
      std::array<std::uint64_t, 16> present{};
      FindIn<false>(Record(a), end - a, t, [&present](int level) {
        present[static_cast<unsigned>(level) >> 6] |= std::uint64_t{1} << (level & 63);
        return false;
      });
      for (std::size_t w = 0; w < present.size(); ++w)
        for (std::uint64_t bits = present[w]; bits != 0; bits &= bits - 1)
          best.Offer(static_cast<int>(w * 64) + std::countr_zero(bits));
    }
    a = end;
  }
}

void TRecordAccess::ExtremeInBlock(int t, int level, std::int64_t block, TBest& best) {
  const TBlockSummary& s = summary_.Level(level)[static_cast<std::size_t>(block)];
  const int lo = s.LowOf(t), hi = s.HighOf(t);
  // The block's lowest and highest level are there for certain; the levels between only may be,
  // so the block is opened only when one of them would do better.
  best.Offer(lo);
  best.Offer(hi);
  if (hi - lo < 2 || !best.Beats(best.Lowest ? best.Keys.LowestIn(lo + 1, hi - 1) : best.Keys.HighestIn(lo + 1, hi - 1)))
    return;
  if (level == 0) return ExtremeInRecords(t, block * PageRecords, (block + 1) * PageRecords, best);
  for (std::int64_t c = block * TRecordingSummary::Fanout; c < (block + 1) * TRecordingSummary::Fanout && !best.Done(); ++c)
    ExtremeInBlock(t, level - 1, c, best);
}

int TRecordAccess::Extreme(int t, std::int64_t a, std::int64_t b, const TLevelKeys& keys, bool lowest,
                           const TBlockSummary* span) {
  TBest best{keys, lowest};
  if (span) {
    // The range's own lowest and highest level are there, and nothing beyond them: once the best
    // is the best key between them, nothing is left to look at.
    const int lo = span->LowOf(t), hi = span->HighOf(t);
    best.Offer(lo);
    best.Offer(hi);
    best.Ceiling = lowest ? keys.LowestIn(lo, hi) : keys.HighestIn(lo, hi);
    best.HasCeiling = true;
    if (best.Done()) return best.Level;
  }
  const std::int64_t first = (a + PageRecords - 1) / PageRecords;
  const std::int64_t last = std::min(b / PageRecords, summary_.Pages());
  if (first >= last) {
    ExtremeInRecords(t, a, b, best);
    return best.Level;
  }
  // The whole pages first: the best they give then spares reading most partial pages.
  for (std::int64_t p = first; p < last && !best.Done();) {
    const int level = LevelFrom(p, last);
    const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
    ExtremeInBlock(t, level, p / n, best);
    p += n;
  }
  ExtremeInRecords(t, a, first * PageRecords, best);
  ExtremeInRecords(t, last * PageRecords, b, best);
  return best.Level;
}

}  // namespace ninetrace
