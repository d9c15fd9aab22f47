// File times: DOS stamps, calendar fields and UTC seconds.
#include <ctime>

#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

namespace platform {

namespace {
FileTime fromSystem(const FILETIME& time) { return FileTime{time.dwLowDateTime, time.dwHighDateTime}; }
}  // namespace

bool dosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime& fileTime) {
  FILETIME time{};
  if (!DosDateTimeToFileTime(dosDate, dosTime, &time)) return false;
  fileTime = fromSystem(time);
  return true;
}

bool systemTimeToFileTime(const SystemTime& systemTime, FileTime& fileTime) {
  SYSTEMTIME fields{};
  fields.wYear = systemTime.year;
  fields.wMonth = systemTime.month;
  fields.wDayOfWeek = systemTime.dayOfWeek;
  fields.wDay = systemTime.day;
  fields.wHour = systemTime.hour;
  fields.wMinute = systemTime.minute;
  fields.wSecond = systemTime.second;
  fields.wMilliseconds = systemTime.milliseconds;
  FILETIME time{};
  if (!SystemTimeToFileTime(&fields, &time)) return false;
  fileTime = fromSystem(time);
  return true;
}

bool utcSecondsToSystemTime(int64_t seconds, SystemTime& systemTime) {
  const __time64_t time = seconds;
  struct tm fields {};
  if (_gmtime64_s(&fields, &time) != 0) return false;
  systemTime.year = static_cast<uint16_t>(fields.tm_year + 1900);
  systemTime.month = static_cast<uint16_t>(fields.tm_mon + 1);
  systemTime.dayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  systemTime.day = static_cast<uint16_t>(fields.tm_mday);
  systemTime.hour = static_cast<uint16_t>(fields.tm_hour);
  systemTime.minute = static_cast<uint16_t>(fields.tm_min);
  systemTime.second = static_cast<uint16_t>(fields.tm_sec);
  systemTime.milliseconds = 0;
  return true;
}

}  // namespace platform
