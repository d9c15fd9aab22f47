// Time conversions check their fields as Windows does.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

int64_t unixSeconds(const platform::FileTime& time) {
  uint64_t ticks = (uint64_t{time.high} << 32) | time.low;
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

uint16_t dosDate(int year, int month, int day) { return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day); }
uint16_t dosTime(int hour, int minute, int second) { return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2)); }

TEST(TimeConversion, DosStampsTakenAsTheyStand) {
  platform::FileTime time;
  ASSERT_TRUE(platform::dosDateTimeToFileTime(dosDate(1980, 1, 1), dosTime(0, 0, 0), time));
  EXPECT_EQ(unixSeconds(time), 315532800);
  ASSERT_TRUE(platform::dosDateTimeToFileTime(dosDate(2024, 2, 29), dosTime(23, 59, 58), time));
  EXPECT_EQ(unixSeconds(time), 1709251198);
  ASSERT_TRUE(platform::dosDateTimeToFileTime(dosDate(2107, 12, 31), dosTime(23, 59, 58), time));

  struct Bad {
    const char* what;
    uint16_t date, time;
  };
  const Bad bad[] = {
      {"month 0", dosDate(2020, 0, 1), 0},         {"month 13", dosDate(2020, 13, 1), 0},
      {"day 0", dosDate(2020, 1, 0), 0},           {"February 30", dosDate(2020, 2, 30), 0},
      {"February 29 of 2023", dosDate(2023, 2, 29), 0}, {"hour 24", dosDate(2020, 1, 1), dosTime(24, 0, 0)},
      {"minute 60", dosDate(2020, 1, 1), dosTime(0, 60, 0)}, {"second 60", dosDate(2020, 1, 1), dosTime(0, 0, 60)},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(platform::dosDateTimeToFileTime(b.date, b.time, time)) << b.what;
  }
}

TEST(TimeConversion, UtcSecondsThroughCalendarFields) {
  platform::SystemTime fields;
  ASSERT_TRUE(platform::utcSecondsToSystemTime(4000000000LL, fields));
  EXPECT_EQ(fields.year, 2096);
  EXPECT_EQ(fields.month, 10);
  EXPECT_EQ(fields.day, 2);
  EXPECT_EQ(fields.hour, 7);
  EXPECT_EQ(fields.minute, 6);
  EXPECT_EQ(fields.second, 40);
  EXPECT_EQ(fields.milliseconds, 0);
  platform::FileTime time;
  ASSERT_TRUE(platform::systemTimeToFileTime(fields, time));
  EXPECT_EQ(unixSeconds(time), 4000000000LL);
  EXPECT_FALSE(platform::utcSecondsToSystemTime(-1, fields));
  EXPECT_FALSE(platform::utcSecondsToSystemTime(32535216000LL, fields)) << "past the year 3000";

  platform::SystemTime bad = fields;
  bad.month = 13;
  EXPECT_FALSE(platform::systemTimeToFileTime(bad, time));
  bad = fields;
  bad.milliseconds = 1000;
  EXPECT_FALSE(platform::systemTimeToFileTime(bad, time));
  bad = fields;
  bad.year = 1600;
  EXPECT_FALSE(platform::systemTimeToFileTime(bad, time));
  platform::SystemTime first{1601, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(platform::systemTimeToFileTime(first, time));
  EXPECT_EQ(time.low, 0u);
  EXPECT_EQ(time.high, 0u);
}

}  // namespace
