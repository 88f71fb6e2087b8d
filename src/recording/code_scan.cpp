#include "recording/code_scan.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define NINETRACE_X86 1
#endif

#include <algorithm>

namespace ninetrace {
namespace {

constexpr std::int64_t RecordBytes = 7;

void ScanPlain(const std::uint8_t* begin, const std::uint8_t* end, TCodeRange& range) {
  // Locals rather than members, so the compiler keeps them in registers through the loop.
  std::array<int, 5> low = range.Low, high = range.High;
  unsigned ands = range.Ands, ors = range.Ors;
  for (const std::uint8_t* r = begin; r != end; r += RecordBytes) {
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
  range = {low, high, ands, ors};
}

#if NINETRACE_X86
// Takes the lanes' lowest and highest codes into the range, lane i being channel channel[i].
template <std::size_t N>
void Fold(const std::int16_t* lows, const std::int16_t* highs, const std::array<int, N>& channel, TCodeRange& range) {
  for (std::size_t i = 0; i < N; ++i) {
    const auto c = static_cast<std::size_t>(channel[i]);
    range.Low[c] = std::min<int>(range.Low[c], lows[i]);
    range.High[c] = std::max<int>(range.High[c], highs[i]);
  }
}

// One record a step: its bytes widened to 16-bit lanes, each channel's two low bits moved up
// beside its high byte by a multiply per lane, then lane-wise min and max. Reads a record's
// eighth byte, so the last record is left to the caller. Returns where it stopped.
const std::uint8_t* ScanSse2(const std::uint8_t* begin, const std::uint8_t* end, TCodeRange& range) {
  const __m128i zero = _mm_setzero_si128();
  // Lanes 0..3 take b5's bit pairs 0..3, lane 4 b6's bits 4..5, each moved to bits 6..7.
  const __m128i spread = _mm_setr_epi16(64, 16, 4, 1, 4, 0, 0, 0);
  const __m128i pair = _mm_set1_epi16(0xC0);
  const __m128i firstFour = _mm_setr_epi16(-1, -1, -1, -1, 0, 0, 0, 0);
  const __m128i fifth = _mm_setr_epi16(0, 0, 0, 0, -1, 0, 0, 0);
  __m128i lo = _mm_set1_epi16(1023), hi = zero;
  unsigned ands = range.Ands, ors = range.Ors;
  const std::uint8_t* r = begin;
  for (; end - r > RecordBytes; r += RecordBytes) {
    const __m128i bytes = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r)), zero);
    const __m128i b5 = _mm_shufflelo_epi16(_mm_srli_si128(bytes, 10), 0);  // lanes 0..3: byte 5
    const __m128i b6 = _mm_shufflehi_epi16(bytes, 2);                      // lane 4: byte 6
    const __m128i lows = _mm_or_si128(_mm_and_si128(b5, firstFour), _mm_and_si128(b6, fifth));
    const __m128i code = _mm_or_si128(_mm_slli_epi16(bytes, 2),
                                      _mm_srli_epi16(_mm_and_si128(_mm_mullo_epi16(lows, spread), pair), 6));
    lo = _mm_min_epi16(lo, code);
    hi = _mm_max_epi16(hi, code);
    ands &= r[6];
    ors |= r[6];
  }
  alignas(16) std::array<std::int16_t, 8> l{}, h{};
  _mm_store_si128(reinterpret_cast<__m128i*>(l.data()), lo);
  _mm_store_si128(reinterpret_cast<__m128i*>(h.data()), hi);
  Fold(l.data(), h.data(), std::array<int, 5>{0, 1, 2, 3, 4}, range);
  range.Ands = ands;
  range.Ors = ors;
  return r;
}

// Three records (21 bytes) a step, their fifteen codes in the sixteen 16-bit lanes of one
// register: the lower half takes record 0 and channels 0..2 of record 1 from bytes 0..15, the
// upper half the rest of record 1 and record 2 from bytes 8..23. Reads 32 bytes a step, so it
// stops while fewer remain. Returns where it stopped.
__attribute__((target("avx2"))) const std::uint8_t* ScanAvx2(const std::uint8_t* begin, const std::uint8_t* end,
                                                             TCodeRange& range) {
  constexpr char Z = -128;  // a zero byte
  const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 2, 3, 4, 5);
  // Per lane, the byte with the code's high eight bits and the byte with its low two, counted
  // from the start of its half (byte 0 or byte 8).
  const __m256i highByte = _mm256_setr_epi8(0, Z, 1, Z, 2, Z, 3, Z, 4, Z, 7, Z, 8, Z, 9, Z,  //
                                            2, Z, 3, Z, 6, Z, 7, Z, 8, Z, 9, Z, 10, Z, 10, Z);
  const __m256i lowByte = _mm256_setr_epi8(5, Z, 5, Z, 5, Z, 5, Z, 6, Z, 12, Z, 12, Z, 12, Z,  //
                                           4, Z, 5, Z, 11, Z, 11, Z, 11, Z, 11, Z, 12, Z, 12, Z);
  // Moves the lane's bit pair to bits 6..7: channels 0..3 from b5 bits 0, 2, 4, 6; channel 4 from b6 bits 4.
  const __m256i spread = _mm256_setr_epi16(64, 16, 4, 1, 4, 64, 16, 4, 1, 4, 64, 16, 4, 1, 4, 4);
  const __m256i pair = _mm256_set1_epi16(0xC0);
  __m256i lo = _mm256_set1_epi16(1023), hi = _mm256_setzero_si256();
  unsigned ands = range.Ands, ors = range.Ors;
  const std::uint8_t* r = begin;
  for (; end - r >= 32; r += 3 * RecordBytes) {
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(r)), halves);
    const __m256i high = _mm256_shuffle_epi8(bytes, highByte);
    const __m256i low = _mm256_shuffle_epi8(bytes, lowByte);
    const __m256i code = _mm256_or_si256(_mm256_slli_epi16(high, 2),
                                         _mm256_srli_epi16(_mm256_and_si256(_mm256_mullo_epi16(low, spread), pair), 6));
    lo = _mm256_min_epi16(lo, code);
    hi = _mm256_max_epi16(hi, code);
    ands &= r[6] & r[13] & r[20];
    ors |= r[6] | r[13] | r[20];
  }
  alignas(32) std::array<std::int16_t, 16> l{}, h{};
  _mm256_store_si256(reinterpret_cast<__m256i*>(l.data()), lo);
  _mm256_store_si256(reinterpret_cast<__m256i*>(h.data()), hi);
  Fold(l.data(), h.data(), std::array<int, 16>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 4}, range);
  range.Ands = ands;
  range.Ors = ors;
  return r;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

void ScanCodes(const std::uint8_t* records, std::int64_t count, TCodeRange& range, TScanWidth width) {
  const std::uint8_t* r = records;
  const std::uint8_t* const end = records + count * RecordBytes;
#if NINETRACE_X86
  if (width == TScanWidth::Widest && HasAvx2()) r = ScanAvx2(r, end, range);
  if (width != TScanWidth::Plain) r = ScanSse2(r, end, range);
#else
  (void)width;
#endif
  ScanPlain(r, end, range);
}

}  // namespace ninetrace
