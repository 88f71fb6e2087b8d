#include "platform/clock.h"

#include <gtest/gtest.h>

using namespace ninetrace;

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(RecordingFileName, TwoDigitDateASpaceAndTwoDigitTwentyFourHourTime) {
  EXPECT_EQ(RecordingFileName(At(2016, 3, 2, 9, 5, 7)), "160302 090507.bin");
  EXPECT_EQ(RecordingFileName(At(2016, 12, 31, 23, 59, 59)), "161231 235959.bin");
  EXPECT_EQ(RecordingFileName(At(2000, 1, 1, 0, 0, 0)), "000101 000000.bin");
  EXPECT_EQ(RecordingFileName(At(1999, 7, 9, 12, 0, 1)), "990709 120001.bin");
}

TEST(RecordingFileName, LaterCopiesOfASecondAreNumberedBeforeTheExtension) {
  const std::tm t = At(2016, 3, 2, 9, 5, 7);
  EXPECT_EQ(RecordingFileName(t, 1), "160302 090507.bin");
  EXPECT_EQ(RecordingFileName(t, 2), "160302 090507_2.bin");
  EXPECT_EQ(RecordingFileName(t, 13), "160302 090507_13.bin");
}

}  // namespace
