#include "platform/common/calendar_fields.h"

namespace platform {

SystemTime systemTimeFromCalendar(const std::tm& fields) {
  SystemTime systemTime;
  systemTime.year = static_cast<uint16_t>(fields.tm_year + 1900);
  systemTime.month = static_cast<uint16_t>(fields.tm_mon + 1);
  systemTime.dayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  systemTime.day = static_cast<uint16_t>(fields.tm_mday);
  systemTime.hour = static_cast<uint16_t>(fields.tm_hour);
  systemTime.minute = static_cast<uint16_t>(fields.tm_min);
  systemTime.second = static_cast<uint16_t>(fields.tm_sec);
  systemTime.milliseconds = 0;
  return systemTime;
}

}  // namespace platform
