// Time conversions with the checks of their Windows counterparts.
#include "platform/common/calendar_fields.h"
#include "platform/platform.h"

#include <ctime>

namespace platform {
namespace {

constexpr int64_t kTicksPerSecond = 10000000LL;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysFrom1601To1970 = 134774;
// The largest value _gmtime64 accepts: 3000-12-31 23:59:59.
constexpr int64_t kLastRuntimeSecond = 32535215999LL;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

bool fieldsToFileTime(int year, int month, int day, int hour, int minute, int second, int milliseconds,
                      FileTime& fileTime) {
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59 || milliseconds > 999 || hour < 0 || minute < 0 || second < 0 ||
      milliseconds < 0) {
    return false;
  }
  int64_t days = daysFromCivil(year, month, day) + kDaysFrom1601To1970;
  int64_t seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
  uint64_t ticks = static_cast<uint64_t>(seconds * kTicksPerSecond + int64_t{milliseconds} * 10000);
  fileTime.low = static_cast<uint32_t>(ticks);
  fileTime.high = static_cast<uint32_t>(ticks >> 32);
  return true;
}

}  // namespace

bool dosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime& fileTime) {
  int day = dosDate & 0x1F;
  int month = (dosDate >> 5) & 0x0F;
  int year = ((dosDate >> 9) & 0x7F) + 1980;
  int second = (dosTime & 0x1F) * 2;
  int minute = (dosTime >> 5) & 0x3F;
  int hour = (dosTime >> 11) & 0x1F;
  return fieldsToFileTime(year, month, day, hour, minute, second, 0, fileTime);
}

bool systemTimeToFileTime(const SystemTime& systemTime, FileTime& fileTime) {
  return fieldsToFileTime(systemTime.year, systemTime.month, systemTime.day, systemTime.hour, systemTime.minute,
                          systemTime.second, systemTime.milliseconds, fileTime);
}

bool utcSecondsToSystemTime(int64_t seconds, SystemTime& systemTime) {
  // The Windows runtime refuses times before 1970 and after the year 3000.
  if (seconds < 0 || seconds > kLastRuntimeSecond) return false;
  time_t value = static_cast<time_t>(seconds);
  struct tm fields {};
  if (::gmtime_r(&value, &fields) == nullptr) return false;
  systemTime = systemTimeFromCalendar(fields);
  return true;
}

}  // namespace platform
