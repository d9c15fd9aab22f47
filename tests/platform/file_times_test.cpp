// Time conversions check their fields as Windows does.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/zip_builder.h"

namespace {

int64_t unixSeconds(const platform::FileTime& time) {
  uint64_t ticks = (uint64_t{time.high} << 32) | time.low;
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

using testing_support::dosDate;
using testing_support::dosTime;

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
      {"month 0", dosDate(2020, 0, 1), 0},
      {"month 13", dosDate(2020, 13, 1), 0},
      {"day 0", dosDate(2020, 1, 0), 0},
      {"February 30", dosDate(2020, 2, 30), 0},
      {"February 29 of 2023", dosDate(2023, 2, 29), 0},
      {"hour 24", dosDate(2020, 1, 1), dosTime(24, 0, 0)},
      {"minute 60", dosDate(2020, 1, 1), dosTime(0, 60, 0)},
      {"second 60", dosDate(2020, 1, 1), dosTime(0, 0, 60)},
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

  for (auto spoil :
       {+[](platform::SystemTime& t) { t.month = 13; }, +[](platform::SystemTime& t) { t.milliseconds = 1000; },
        +[](platform::SystemTime& t) { t.year = 1600; }}) {
    platform::SystemTime bad = fields;
    spoil(bad);
    EXPECT_FALSE(platform::systemTimeToFileTime(bad, time));
  }
  platform::SystemTime first{1601, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(platform::systemTimeToFileTime(first, time));
  EXPECT_EQ(time.low, 0u);
  EXPECT_EQ(time.high, 0u);
}

}  // namespace
