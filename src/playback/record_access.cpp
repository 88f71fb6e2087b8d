#include "playback/record_access.h"

#include <algorithm>
#include <string>

namespace ninetrace {
namespace {

constexpr std::int64_t PageRecords = SummaryPageRecords;

}  // namespace

const std::uint8_t* TRecordAccess::Page(std::int64_t page) {
  for (const TSlot& s : slots_)
    if (s.Page == page) return s.Bytes.data();
  TSlot& slot = slots_[nextSlot_];
  nextSlot_ = (nextSlot_ + 1) % slots_.size();
  slot.Page = -1;
  const std::int64_t want = std::min(PageRecords, records_ - page * PageRecords) * SummaryRecordBytes;
  const std::int64_t got = read_(page, slot.Bytes.data());
  if (got < want) throw TSummaryMismatch("page " + std::to_string(page) + " became shorter");
  // Every page read whole is checked against its block: a summary that does not describe the
  // recording as it is now is never drawn from.
  if (page < summary_.Pages() &&
      SummariseRecords(slot.Bytes.data(), PageRecords) != summary_.Level(0)[static_cast<std::size_t>(page)])
    throw TSummaryMismatch("page " + std::to_string(page) + " differs from its summary");
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

std::int64_t TRecordAccess::FirstInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  const std::uint8_t* r = Record(a);
  for (std::int64_t j = a; j < b; ++j, r += SummaryRecordBytes)
    if (test(RecordLevel(r, t))) return j;
  return -1;
}

std::int64_t TRecordAccess::LastInPage(int t, std::int64_t a, std::int64_t b, const TLevelTest& test) {
  const std::uint8_t* r = Record(a) + (b - a) * SummaryRecordBytes;
  for (std::int64_t j = b; j-- > a;)
    if (test(RecordLevel(r -= SummaryRecordBytes, t))) return j;
  return -1;
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
      if (const std::int64_t found = FirstInPage(t, j, end, test); found >= 0) return found;
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
      if (const std::int64_t found = LastInPage(t, start, j, test); found >= 0) return found;
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

}  // namespace ninetrace
