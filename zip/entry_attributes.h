// Windows file-attribute bits and file times of an entry record.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// From the central header's external attributes (DOS bits low, a Unix mode high).
uint32_t AttributesFromExternal(uint32_t externalAttributes);

struct EntryTimes {
  platform::FileTime access;
  platform::FileTime creation;
  platform::FileTime write;
};

// All three from the DOS stamp, then whatever an extended-timestamp ("UT")
// block of the local extra field holds.
EntryTimes EntryTimesFrom(uint32_t dosDateTime, const unsigned char* localExtra, uint32_t localExtraLength);
