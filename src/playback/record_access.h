// The records of a recording as the summary-driven overview asks for them: ranges summarised
// from the summary's blocks where whole pages allow and from the records themselves where not,
// and the first or last record in a range whose level passes a test, found by descending the
// summary's levels to the one page that holds it.
#pragma once

#include <array>
#include <cstdint>

#include "playback/overview_from_summary.h"

namespace ninetrace {

// A test on one trace's level: below (or above) a bound, strictly or not.
struct TLevelTest {
  bool Below;
  int Bound;
  bool Strict;
  bool operator()(int level) const {
    return Below ? (Strict ? level < Bound : level <= Bound) : (Strict ? level > Bound : level >= Bound);
  }
  // Whether a block may hold a level that passes: its extreme on the tested side does.
  bool May(const TBlockSummary& b, int t) const { return (*this)(Below ? b.LowOf(t) : b.HighOf(t)); }
};

class TRecordAccess {
 public:
  TRecordAccess(const TRecordingSummary& summary, std::int64_t records, const TPageRead& read)
      : summary_(summary), records_(records), read_(read) {}

  // The record j (0..records - 1), valid until the next call.
  const std::uint8_t* Record(std::int64_t j);
  int Level(std::int64_t j, int t) { return RecordLevel(Record(j), t); }
  TBlockSummary Range(std::int64_t a, std::int64_t b);
  // The first (last) record of [a, b) whose level of trace t passes `test`, or -1.
  std::int64_t FindFirst(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  std::int64_t FindLast(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);

 private:
  struct TSlot {
    std::int64_t Page = -1;
    std::array<std::uint8_t, SummaryPageBytes> Bytes{};
  };
  const std::uint8_t* Page(std::int64_t page);
  void ScanRecords(std::int64_t a, std::int64_t b, TBlockSummary& s);
  // The first (last) record of [a, b), all in one page, whose level passes, or -1.
  std::int64_t FirstInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  std::int64_t LastInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test);
  // The largest block of whole pages starting (ending) at page p that lies inside [first, last) pages.
  int LevelFrom(std::int64_t p, std::int64_t last) const;
  int LevelTo(std::int64_t p, std::int64_t first) const;
  std::int64_t FirstInBlock(int t, int level, std::int64_t block, const TLevelTest& test);
  std::int64_t LastInBlock(int t, int level, std::int64_t block, const TLevelTest& test);

  const TRecordingSummary& summary_;
  std::int64_t records_;
  const TPageRead& read_;
  std::array<TSlot, 16> slots_;
  std::size_t nextSlot_ = 0;
};

}  // namespace ninetrace
