// The records of a recording as the summary-driven overview asks for them: ranges summarised
// from the summary's blocks where whole pages allow and from the records themselves where not,
// and the first or last record in a range whose level passes a test, found by descending the
// summary's levels to the one page that holds it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "playback/overview_from_summary.h"

namespace ninetrace {

// A key per level of one trace (the pixel a view maps it to, or its place in pixel order), some
// levels left out (those the drawing drops). The lowest and highest key over any span of levels
// come at once, so a block of the summary is ruled in or out by its lowest and highest level.
class TLevelKeys {
 public:
  static constexpr std::int64_t NoneLow = INT64_MAX, NoneHigh = INT64_MIN;  // the span keeps no level
  TLevelKeys(const std::vector<std::int64_t>& keys, const std::vector<bool>& kept);
  bool Kept(int level) const { return kept_[static_cast<std::size_t>(level)] != 0; }
  std::int64_t Key(int level) const { return keys_[static_cast<std::size_t>(level)]; }
  // Over the kept levels lo..hi.
  std::int64_t LowestIn(int lo, int hi) const { return Span(lows_, lo, hi, NoneLow, false); }
  std::int64_t HighestIn(int lo, int hi) const { return Span(highs_, lo, hi, NoneHigh, true); }
  // The level of a key when the keys are places 0..n-1 (each once), else -1.
  int LevelOf(std::int64_t key) const {
    return key >= 0 && key < static_cast<std::int64_t>(levelOf_.size()) ? levelOf_[static_cast<std::size_t>(key)] : -1;
  }

 private:
  using TTable = std::vector<std::vector<std::int64_t>>;  // [k][i]: over levels i..i + 2^k - 1
  static std::int64_t Span(const TTable& table, int lo, int hi, std::int64_t none, bool high);
  std::vector<std::int64_t> keys_;
  std::vector<std::uint8_t> kept_;
  std::vector<int> levelOf_;
  TTable lows_, highs_;
};

// A test on one trace's level: below (or above) a bound, strictly or not. With keys, the level's
// key is tested instead, and levels the keys leave out never pass.
struct TLevelTest {
  bool Below;
  std::int64_t Bound;
  bool Strict;
  const TLevelKeys* Keys = nullptr;
  bool Passes(std::int64_t key) const {
    return Below ? (Strict ? key < Bound : key <= Bound) : (Strict ? key > Bound : key >= Bound);
  }
  bool operator()(int level) const {
    if (!Keys) return Passes(level);
    return Keys->Kept(level) && Passes(Keys->Key(level));
  }
  // Whether a block may hold a level that passes: its extreme on the tested side does, or with
  // keys, the extreme key of the levels between its lowest and highest does.
  bool May(const TBlockSummary& b, int t) const {
    if (!Keys) return (*this)(Below ? b.LowOf(t) : b.HighOf(t));
    if (b.LowOf(t) > b.HighOf(t)) return false;
    const std::int64_t key = Below ? Keys->LowestIn(b.LowOf(t), b.HighOf(t)) : Keys->HighestIn(b.LowOf(t), b.HighOf(t));
    return key != (Below ? TLevelKeys::NoneLow : TLevelKeys::NoneHigh) && Passes(key);
  }
};

class TRecordAccess {
 public:
  // `checked`, when given, is kept with `summary` between reductions: pages found to agree with
  // it once are not checked again.
  TRecordAccess(const TRecordingSummary& summary, std::int64_t records, const TPageRead& read,
                TCheckedPages* checked = nullptr);

  // The record j (0..records - 1), valid until the next call.
  const std::uint8_t* Record(std::int64_t j);
  int Level(std::int64_t j, int t) { return RecordLevel(Record(j), t); }
  TBlockSummary Range(std::int64_t a, std::int64_t b);
  // The first (last) record of [a, b) whose level of trace t passes `test`, or -1.
  std::int64_t FindFirst(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  std::int64_t FindLast(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  // The page that FindFirst (FindLast) would read first for the same question, judged from the
  // summary alone (so nothing is read), or -1: what to ask for ahead from a cold disk.
  std::int64_t FirstPageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  std::int64_t LastPageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  // The level present in [a, b) of trace t with the lowest (highest) key of those kept, or -1.
  // Keys must differ between kept levels for the answer to be the one level. `span`, when
  // given, must be Range(a, b): it lets the search stop as soon as nothing can do better.
  int Extreme(int t, std::int64_t a, std::int64_t b, const TLevelKeys& keys, bool lowest,
              const TBlockSummary* span = nullptr);
  // The page that Extreme would read first with `span`, judged from the summary alone, or -1.
  std::int64_t ExtremePageThatMay(int t, std::int64_t a, std::int64_t b, const TLevelKeys& keys, bool lowest,
                                  const TBlockSummary& span);

 private:
  struct TSlot {
    std::int64_t Page = -1;
    std::array<std::uint8_t, SummaryPageBytes> Bytes;
  };
  // Pages held, each in the slot its number picks: the pages a position's questions read lie
  // together, and the nine traces ask of the same ones.
  static constexpr std::size_t Slots = 64;
  const std::uint8_t* Page(std::int64_t page);
  void ScanRecords(std::int64_t a, std::int64_t b, TBlockSummary& s);
  // The first (last) record of [a, b), all in one page, whose level passes, or -1.
  bool MayInPage(int t, std::int64_t page, const TLevelTest& test) const;
  std::int64_t FirstInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  std::int64_t LastInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  // The largest block of whole pages starting (ending) at page p that lies inside [first, last) pages.
  int LevelFrom(std::int64_t p, std::int64_t last) const;
  int LevelTo(std::int64_t p, std::int64_t first) const;
  std::int64_t FirstInBlock(int t, int level, std::int64_t block, const TLevelTest& test);
  std::int64_t LastInBlock(int t, int level, std::int64_t block, const TLevelTest& test);
  struct TBest {
    const TLevelKeys& Keys;
    bool Lowest;
    int Level = -1;
    std::int64_t Ceiling = 0;  // the best key the range may hold, when known
    bool HasCeiling = false;
    bool Located = false;  // locating: the first page to read is found
    void Offer(int level);
    bool Beats(std::int64_t key) const;  // a key better than the best so far
    bool Done() const {
      if (Located) return true;
      if (!HasCeiling) return false;
      return Ceiling == (Lowest ? TLevelKeys::NoneLow : TLevelKeys::NoneHigh) || (Level >= 0 && !Beats(Ceiling));
    }
  };
  void ExtremeInRecords(int t, std::int64_t a, std::int64_t b, TBest& best);
  void ExtremeInBlock(int t, int level, std::int64_t block, TBest& best);

  const TRecordingSummary& summary_;
  std::int64_t records_;
  const TPageRead& read_;
  TCheckedPages ownChecked_;
  TCheckedPages& checked_;
  std::vector<TSlot> slots_;
  bool locating_ = false;  // the searches stop at the first page they would read
  std::int64_t located_ = -1;
};

}  // namespace ninetrace
