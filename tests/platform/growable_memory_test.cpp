#include "platform/growable_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace ninetrace;

namespace {

void Fill(TGrowableMemory& m, std::size_t from, std::size_t to, std::uint8_t seed) {
  auto* p = static_cast<std::uint8_t*>(m.Data());
  for (std::size_t i = from; i < to; ++i) p[i] = static_cast<std::uint8_t>(i * 31 + seed);
}

bool Holds(const TGrowableMemory& m, std::size_t to, std::uint8_t seed) {
  const auto* p = static_cast<const std::uint8_t*>(m.Data());
  for (std::size_t i = 0; i < to; ++i)
    if (p[i] != static_cast<std::uint8_t>(i * 31 + seed)) return false;
  return true;
}

TEST(GrowableMemory, KeepsItsBytesFromTheHeapIntoPagesAndThroughEveryGrowth) {
  TGrowableMemory m;
  std::size_t size = 1000;
  m.Resize(0, size);
  Fill(m, 0, size, 7);
  while (size < 40 * TGrowableMemory::MapThreshold) {
    const std::size_t next = size + size / 4;
    m.Resize(size, next);
    ASSERT_TRUE(Holds(m, size, 7)) << size;
    Fill(m, size, next, 7);
    size = next;
  }
  EXPECT_EQ(m.Bytes(), size);
  m.Release();
  EXPECT_EQ(m.Data(), nullptr);
  EXPECT_EQ(m.Bytes(), 0u);
}

TEST(GrowableMemory, ReusedBlocksBehaveLikeNewOnes) {
  // Released page blocks are kept for the next large arrays; whatever they held before must
  // not matter, and growing past them must keep the new contents.
  for (int round = 0; round < 3; ++round) {
    TGrowableMemory a, b;
    a.Resize(0, 3 * TGrowableMemory::MapThreshold);
    b.Resize(0, 5 * TGrowableMemory::MapThreshold);
    Fill(a, 0, a.Bytes(), static_cast<std::uint8_t>(round));
    Fill(b, 0, b.Bytes(), static_cast<std::uint8_t>(round + 1));
    const std::size_t grown = 64 * TGrowableMemory::MapThreshold;
    a.Resize(a.Bytes(), grown);
    ASSERT_TRUE(Holds(a, 3 * TGrowableMemory::MapThreshold, static_cast<std::uint8_t>(round)));
    ASSERT_TRUE(Holds(b, b.Bytes(), static_cast<std::uint8_t>(round + 1)));
    std::memset(a.Data(), 0xAB, grown);  // every byte of the grown block is writable
  }
}

}  // namespace
