// File times: DOS stamps, calendar fields and UTC seconds.
#include <ctime>

#include "platform/common/calendar_fields.h"
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
  systemTime = systemTimeFromCalendar(fields);
  return true;
}

}  // namespace platform
