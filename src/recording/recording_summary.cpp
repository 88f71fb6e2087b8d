#include "recording/recording_summary.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>

namespace ninetrace {

#if defined(__SSE2__)
namespace {

// Lowest and highest of the five channels' codes over records whose eighth byte may be read (all
// but the last of a buffer): a record's bytes widened to 16-bit lanes, each channel's two low bits
// moved up beside its high byte by a multiply per lane, then lane-wise min and max.
void ScanWide(const std::uint8_t* records, std::int64_t count, std::array<int, 5>& low, std::array<int, 5>& high,
              unsigned& ands, unsigned& ors) {
  const __m128i zero = _mm_setzero_si128();
  // Lanes 0..3 take b5's bit pairs 0..3, lane 4 b6's bits 4..5, each moved to bits 6..7.
  const __m128i spread = _mm_setr_epi16(64, 16, 4, 1, 4, 0, 0, 0);
  const __m128i pair = _mm_set1_epi16(0xC0);
  const __m128i firstFour = _mm_setr_epi16(-1, -1, -1, -1, 0, 0, 0, 0);
  const __m128i fifth = _mm_setr_epi16(0, 0, 0, 0, -1, 0, 0, 0);
  __m128i lo = _mm_set1_epi16(1023), hi = zero;
  unsigned a = ands, o = ors;
  for (const std::uint8_t* r = records; r != records + count * SummaryRecordBytes; r += SummaryRecordBytes) {
    const __m128i bytes = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r)), zero);
    const __m128i b5 = _mm_shufflelo_epi16(_mm_srli_si128(bytes, 10), 0);  // lanes 0..3: byte 5
    const __m128i b6 = _mm_shufflehi_epi16(bytes, 2);                      // lane 4: byte 6
    const __m128i lows = _mm_or_si128(_mm_and_si128(b5, firstFour), _mm_and_si128(b6, fifth));
    const __m128i code = _mm_or_si128(_mm_slli_epi16(bytes, 2),
                                      _mm_srli_epi16(_mm_and_si128(_mm_mullo_epi16(lows, spread), pair), 6));
    lo = _mm_min_epi16(lo, code);
    hi = _mm_max_epi16(hi, code);
    a &= r[6];
    o |= r[6];
  }
  alignas(16) std::array<std::int16_t, 8> l{}, h{};
  _mm_store_si128(reinterpret_cast<__m128i*>(l.data()), lo);
  _mm_store_si128(reinterpret_cast<__m128i*>(h.data()), hi);
  for (std::size_t c = 0; c < 5; ++c) {
    low[c] = std::min<int>(low[c], l[c]);
    high[c] = std::max<int>(high[c], h[c]);
  }
  ands = a;
  ors = o;
}

}  // namespace
#endif

void TBlockSummary::Scan(const std::uint8_t* records, std::int64_t count) {
  // Locals rather than members, so the compiler keeps them in registers through the loop.
  std::array<int, 5> low{Low[0], Low[1], Low[2], Low[3], Low[4]}, high{High[0], High[1], High[2], High[3], High[4]};
  unsigned ands = Ands, ors = Ors;
  // All but the last record eight bytes at a time; the last one alone, as its eighth byte is not ours.
  std::int64_t wide = 0;
#if defined(__SSE2__)
  if (count > 1) {
    wide = count - 1;
    ScanWide(records, wide, low, high, ands, ors);
  }
#endif
  const std::uint8_t* tail = records + wide * SummaryRecordBytes;
  for (const std::uint8_t* r = tail; r != records + count * SummaryRecordBytes; r += SummaryRecordBytes) {
    const int b5 = r[5], b6 = r[6];
    const std::array<int, 5> code{r[0] << 2 | (b5 & 3), r[1] << 2 | (b5 >> 2 & 3), r[2] << 2 | (b5 >> 4 & 3),
                                  r[3] << 2 | b5 >> 6, r[4] << 2 | (b6 >> 4 & 3)};
    for (std::size_t c = 0; c < 5; ++c) {
      low[c] = std::min(low[c], code[c]);
      high[c] = std::max(high[c], code[c]);
    }
    ands &= static_cast<unsigned>(b6);
    ors |= static_cast<unsigned>(b6);
  }
  for (std::size_t c = 0; c < 5; ++c) {
    Low[c] = static_cast<std::uint16_t>(low[c]);
    High[c] = static_cast<std::uint16_t>(high[c]);
  }
  Ands = static_cast<std::uint8_t>(ands & 0x0F);
  Ors = static_cast<std::uint8_t>(ors & 0x0F);
}

void TBlockSummary::Merge(const TBlockSummary& other) {
  for (std::size_t c = 0; c < 5; ++c) {
    Low[c] = std::min(Low[c], other.Low[c]);
    High[c] = std::max(High[c], other.High[c]);
  }
  Ands = static_cast<std::uint8_t>(Ands & other.Ands);
  Ors = static_cast<std::uint8_t>(Ors | other.Ors);
}

TBlockSummary SummariseRecords(const std::uint8_t* records, std::int64_t count) {
  TBlockSummary s;
  s.Scan(records, count);
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
