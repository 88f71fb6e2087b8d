// The summary of a recording at several block sizes: per block of pages, the lowest and highest
// level of every trace. A range of whole pages is then summarised from a few dozen blocks
// instead of every record, which is what lets "All" draw a recording of any length at once.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "recording/code_scan.h"

namespace ninetrace {

// The recording format as the summary sees it: 7-byte records, 1000 to a page.
inline constexpr std::int64_t SummaryRecordBytes = 7;
inline constexpr std::int64_t SummaryPageRecords = 1000;
inline constexpr std::int64_t SummaryPageBytes = SummaryRecordBytes * SummaryPageRecords;
inline constexpr int SummaryTraces = 9;  // five channels, then the inputs D1..D4

// The level of trace t (0..8) of a record: a channel's 10-bit code, or an input's bit.
constexpr int RecordLevel(const std::uint8_t* r, int t) {
  switch (t) {
    case 0: return r[0] << 2 | (r[5] & 3);
    case 1: return r[1] << 2 | (r[5] >> 2 & 3);
    case 2: return r[2] << 2 | (r[5] >> 4 & 3);
    case 3: return r[3] << 2 | r[5] >> 6;
    case 4: return r[4] << 2 | (r[6] >> 4 & 3);
    default: return r[6] >> (t - 5) & 1;
  }
}

// Lowest and highest level of every trace over some records; the inputs as the AND and the OR of
// their bits. An empty summary has every low above every high.
struct TBlockSummary {
  std::array<std::uint16_t, 5> Low{1023, 1023, 1023, 1023, 1023}, High{};
  std::uint8_t Ands = 0x0F, Ors = 0;

  void Scan(const std::uint8_t* records, std::int64_t count, TScanWidth width = TScanWidth::Widest);
  void Merge(const TBlockSummary& other);
  int LowOf(int t) const { return t < 5 ? Low[static_cast<std::size_t>(t)] : (Ands >> (t - 5)) & 1; }
  int HighOf(int t) const { return t < 5 ? High[static_cast<std::size_t>(t)] : (Ors >> (t - 5)) & 1; }
  bool operator==(const TBlockSummary&) const = default;
};

TBlockSummary SummariseRecords(const std::uint8_t* records, std::int64_t count,
                               TScanWidth width = TScanWidth::Widest);

class TRecordingSummary {
 public:
  // Level 0 holds a block per page, each level above one per SummaryFanout blocks below.
  static constexpr int Levels = 4;
  static constexpr std::int64_t Fanout = 16;
  static constexpr std::int64_t PagesPerBlock(int level) { return std::int64_t{1} << (4 * level); }

  std::int64_t Pages() const { return static_cast<std::int64_t>(levels_[0].size()); }
  const std::vector<TBlockSummary>& Level(int level) const { return levels_[static_cast<std::size_t>(level)]; }

  // Appends the next page; returns how many blocks it completed (1 for the page, plus one for
  // each level above whose block it closed), in the order they are stored.
  int AddPage(const TBlockSummary& page);
  // Adds a block read back from storage in stored order; false when it is not the block the
  // order expects next or does not equal the blocks below it (a damaged summary).
  bool AddStored(const TBlockSummary& block);
  // Every block that the pages read back close has been read back too.
  bool StoredComplete() const { return storedPending_ == 0; }
  // The summary of whole pages [first, last), from the largest blocks that fit.
  TBlockSummary PagesSummary(std::int64_t first, std::int64_t last) const;
  // Room for `pages` pages, so that loading a long summary copies nothing.
  void Reserve(std::int64_t pages);
  // Blocks stored for `pages` pages: a page summary each, plus the complete blocks above.
  static std::int64_t StoredBlocks(std::int64_t pages);
  // Bytes the summary takes in memory.
  std::int64_t Bytes() const;

 private:
  // The block of `level` that the page just added closes, if it closes one.
  bool Closes(int level) const { return Pages() % PagesPerBlock(level) == 0; }
  TBlockSummary Combined(int level, std::int64_t block) const;

  std::array<std::vector<TBlockSummary>, Levels> levels_;
  std::int64_t storedPending_ = 0;  // blocks above level 0 still expected after the last page read back
};

}  // namespace ninetrace
