// The lowest and highest code of each of the five channels, and the AND and OR of the inputs'
// byte, over a run of records: the loop that summarising a recording spends its time in, and
// the one a deep zoom runs over every page it checks. Written for the widest registers the
// processor offers, chosen once at run time.
#pragma once

#include <array>
#include <cstdint>

namespace ninetrace {

struct TCodeRange {
  std::array<int, 5> Low{1023, 1023, 1023, 1023, 1023}, High{};
  unsigned Ands = 0xFF, Ors = 0;
};

// Which form of the loop: the widest available, or a narrower one (each gives the same result).
enum class TScanWidth { Widest, Sse2, Plain };

// Widens `range` by `count` 7-byte records.
void ScanCodes(const std::uint8_t* records, std::int64_t count, TCodeRange& range,
               TScanWidth width = TScanWidth::Widest);

}  // namespace ninetrace
