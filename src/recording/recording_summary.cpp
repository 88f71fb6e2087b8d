#include "recording/recording_summary.h"

#include <algorithm>

namespace ninetrace {

void TBlockSummary::Scan(const std::uint8_t* records, std::int64_t count, TScanWidth width) {
  TCodeRange range{{Low[0], Low[1], Low[2], Low[3], Low[4]}, {High[0], High[1], High[2], High[3], High[4]}, Ands, Ors};
  ScanCodes(records, count, range, width);
  for (std::size_t c = 0; c < 5; ++c) {
    Low[c] = static_cast<std::uint16_t>(range.Low[c]);
    High[c] = static_cast<std::uint16_t>(range.High[c]);
  }
  Ands = static_cast<std::uint8_t>(range.Ands & 0x0F);
  Ors = static_cast<std::uint8_t>(range.Ors & 0x0F);
}

void TBlockSummary::Merge(const TBlockSummary& other) {
  for (std::size_t c = 0; c < 5; ++c) {
    Low[c] = std::min(Low[c], other.Low[c]);
    High[c] = std::max(High[c], other.High[c]);
  }
  Ands = static_cast<std::uint8_t>(Ands & other.Ands);
  Ors = static_cast<std::uint8_t>(Ors | other.Ors);
}

TBlockSummary SummariseRecords(const std::uint8_t* records, std::int64_t count, TScanWidth width) {
  TBlockSummary s;
  s.Scan(records, count, width);
  return s;
}

TBlockSummary TRecordingSummary::Combined(int level, std::int64_t block) const {
  const std::vector<TBlockSummary>& below = levels_[static_cast<std::size_t>(level - 1)];
  TBlockSummary s;
  for (std::int64_t i = block * Fanout; i < (block + 1) * Fanout; ++i) s.Merge(below[static_cast<std::size_t>(i)]);
  return s;
}

int TRecordingSummary::AddPage(const TBlockSummary& page) {
  levels_[0].push_back(page);
  int added = 1;
  for (int level = 1; level < Levels && Closes(level); ++level, ++added)
    levels_[static_cast<std::size_t>(level)].push_back(Combined(level, Pages() / PagesPerBlock(level) - 1));
  return added;
}

bool TRecordingSummary::AddStored(const TBlockSummary& block) {
  if (storedPending_ == 0) {
    levels_[0].push_back(block);
    for (int level = 1; level < Levels && Closes(level); ++level) ++storedPending_;
    return true;
  }
  // The blocks a page closes follow it from the lowest level up.
  int level = 1;
  while (level < Levels - 1 && static_cast<std::int64_t>(levels_[static_cast<std::size_t>(level)].size()) ==
                                   Pages() / PagesPerBlock(level))
    ++level;
  const std::int64_t index = Pages() / PagesPerBlock(level) - 1;
  if (block != Combined(level, index)) return false;
  levels_[static_cast<std::size_t>(level)].push_back(block);
  --storedPending_;
  return true;
}

TBlockSummary TRecordingSummary::PagesSummary(std::int64_t first, std::int64_t last) const {
  TBlockSummary s;
  for (std::int64_t p = first; p < last;) {
    int level = Levels - 1;
    const auto fits = [&](int l) {
      const std::int64_t n = PagesPerBlock(l);
      return p % n == 0 && p + n <= last && p / n < static_cast<std::int64_t>(levels_[static_cast<std::size_t>(l)].size());
    };
    while (level > 0 && !fits(level)) --level;
    s.Merge(levels_[static_cast<std::size_t>(level)][static_cast<std::size_t>(p / PagesPerBlock(level))]);
    p += PagesPerBlock(level);
  }
  return s;
}

void TRecordingSummary::Reserve(std::int64_t pages) {
  for (int level = 0; level < Levels; ++level)
    levels_[static_cast<std::size_t>(level)].reserve(static_cast<std::size_t>(pages / PagesPerBlock(level)));
}

std::int64_t TRecordingSummary::StoredBlocks(std::int64_t pages) {
  std::int64_t blocks = 0;
  for (int level = 0; level < Levels; ++level) blocks += pages / PagesPerBlock(level);
  return blocks;
}

std::int64_t TRecordingSummary::Bytes() const {
  std::int64_t blocks = 0;
  for (const auto& level : levels_) blocks += static_cast<std::int64_t>(level.capacity());
  return blocks * static_cast<std::int64_t>(sizeof(TBlockSummary));
}

}  // namespace ninetrace
