// Recordings made by the tests: record n holds codes and inputs that are simple functions of n,
// so every field the tools print can be checked against them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "../acquisition/byte_queue.h"
#include "simulator.h"

namespace ninetrace::testing {

inline std::array<int, 5> TestCodes(std::int64_t n) {
  std::array<int, 5> codes{};
  for (std::size_t c = 0; c < 5; ++c)
    codes[c] = static_cast<int>((n * 37 + n / 7 + static_cast<std::int64_t>(c) * 211) % 1024);
  return codes;
}
// Never 0, so no data record is ever all zero and taken for padding.
inline unsigned TestDigital(std::int64_t n) { return static_cast<unsigned>(1 + (n * 5 + n / 3) % 15); }

inline simulator::TRecordBytes TestRecord(std::int64_t n) { return simulator::PackRecord(TestCodes(n), TestDigital(n)); }

// `data` test records, then `zeros` all-zero records, then `strayBytes` bytes of a cut-off record.
inline void WriteRecording(const std::filesystem::path& name, std::int64_t data, std::int64_t zeros, int strayBytes = 0) {
  std::ofstream out(name, std::ios::binary);
  std::vector<std::uint8_t> block;
  const auto flush = [&] {
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    block.clear();
  };
  for (std::int64_t n = 0; n < data; ++n) {
    const auto r = TestRecord(n);
    block.insert(block.end(), r.begin(), r.end());
    if (block.size() >= 1 << 20) flush();
  }
  block.insert(block.end(), static_cast<std::size_t>(zeros) * RecordSize, 0);
  for (int i = 0; i < strayBytes; ++i) block.push_back(static_cast<std::uint8_t>(0x40 + i));
  flush();
}

// The records in `bytes` as the recorder's synchroniser finds them, all arriving at once.
inline std::vector<std::uint8_t> SynchronisedRecords(const std::vector<std::uint8_t>& bytes) {
  TByteQueue source(bytes);
  TFrameSynchroniser sync;
  std::vector<std::uint8_t> records;
  sync.Poll(source, true, [&](TSampleRecord r) { records.insert(records.end(), r.begin(), r.end()); });
  return records;
}

}  // namespace ninetrace::testing
