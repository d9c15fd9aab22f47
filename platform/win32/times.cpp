// File times: DOS stamps, calendar fields, UTC seconds, and one file's time given to another.
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

// Windows has no permission bits; a program runs by its name.
bool matchTimesAndPermissions(const char16_t* source, const char16_t* target) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE from = CreateFileW(win32::wide(source), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (from == INVALID_HANDLE_VALUE) return false;
  FILETIME wanted{};
  const bool read = GetFileTime(from, nullptr, nullptr, &wanted) != FALSE;
  CloseHandle(from);
  if (!read) return false;
  HANDLE to = CreateFileW(win32::wide(target), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, share, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  if (to == INVALID_HANDLE_VALUE) return false;
  FILETIME current{};
  bool matched = GetFileTime(to, nullptr, nullptr, &current) != FALSE;
  if (matched && CompareFileTime(&current, &wanted) != 0) matched = SetFileTime(to, nullptr, nullptr, &wanted) != FALSE;
  CloseHandle(to);
  return matched;
}

}  // namespace platform
