// The runtime's calendar fields (struct tm) as a SystemTime.
#pragma once

#include <ctime>

#include "platform/platform.h"

namespace platform {

SystemTime systemTimeFromCalendar(const std::tm& fields);

}  // namespace platform
