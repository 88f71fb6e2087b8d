#include "acquisition/sample_record.h"

#include <gtest/gtest.h>

using namespace ninetrace;

namespace {

TTraceValues Decode(std::array<std::uint8_t, RecordSize> bytes) { return DecodeTraceValues(TSampleRecord(bytes)); }

TEST(SampleRecord, ZeroRecordRestsDigitalTracesOnTheirGridLines) {
  EXPECT_EQ(Decode({}), (TTraceValues{0, 0, 0, 0, 0, 170, 153, 136, 119}));
}

TEST(SampleRecord, AllOnesGiveFullScaleAndHighDigitalLevels) {
  std::array<std::uint8_t, RecordSize> r;
  r.fill(0xFF);
  EXPECT_EQ(Decode(r), (TTraceValues{255.75, 255.75, 255.75, 255.75, 255.75, 178, 161, 144, 127}));
}

TEST(SampleRecord, LowBitPairsOfByteFiveBelongToChannelsOneToFour) {
  // 0x1B = 00 01 10 11 from bit 7 down: channel 4 gets 00, channel 1 gets 11.
  const TTraceValues v = Decode({0, 0, 0, 0, 0, 0x1B, 0});
  EXPECT_EQ(v[0], 0.75);
  EXPECT_EQ(v[1], 0.5);
  EXPECT_EQ(v[2], 0.25);
  EXPECT_EQ(v[3], 0);
  EXPECT_EQ(v[4], 0);  // channel 5 never reads byte 5
}

TEST(SampleRecord, ChannelFiveLowBitsComeFromByteSixAndBitsSixSevenAreIgnored) {
  EXPECT_EQ(Decode({0, 0, 0, 0, 100, 0, 0x30})[4], 100.75);
  EXPECT_EQ(Decode({0, 0, 0, 0, 100, 0, 0x10})[4], 100.25);
  EXPECT_EQ(Decode({1, 2, 3, 4, 5, 6, 0xC5}), Decode({1, 2, 3, 4, 5, 6, 0x05}));
}

TEST(SampleRecord, EachDigitalInputRaisesOnlyItsOwnTrace) {
  for (int d = 0; d < 4; ++d) {
    const TTraceValues v = Decode({0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(1 << d)});
    for (int t = 0; t < 4; ++t) EXPECT_EQ(v[5 + t], 170 - 17 * t + (t == d ? 8 : 0)) << d << t;
  }
}

TEST(SampleRecord, TenBitCodes) {
  const std::array<std::uint8_t, RecordSize> r{0x80, 1, 2, 3, 0xFF, 0b11100100, 0b00100000};
  const TSampleRecord rec(r);
  EXPECT_EQ(ChannelCode(rec, 0), 0x80 * 4 + 0);
  EXPECT_EQ(ChannelCode(rec, 1), 4 + 1);
  EXPECT_EQ(ChannelCode(rec, 2), 8 + 2);
  EXPECT_EQ(ChannelCode(rec, 3), 12 + 3);
  EXPECT_EQ(ChannelCode(rec, 4), 1020 + 2);
}

}  // namespace
