#include "zip/entry_attributes.h"

uint32_t AttributesFromExternal(uint32_t ea) {
  uint32_t attributes = platform::kAttributeNormal;
  if ((ea & 0x40000000u) != 0 || (ea & 0x10u) != 0)
    attributes = platform::kAttributeNormal | platform::kAttributeDirectory;
  if ((ea & 0x20u) != 0) attributes |= platform::kAttributeArchive;
  if ((ea & 0x02u) != 0) attributes |= platform::kAttributeHidden;
  // A Unix mode without the owner's write bit, or the DOS read-only bit.
  if ((ea & 0x00800000u) == 0 || (ea & 0x01u) != 0) attributes |= platform::kAttributeReadOnly;
  if ((ea & 0x04u) != 0) attributes |= platform::kAttributeSystem;
  return attributes;
}

namespace {

uint32_t readLittle32(const unsigned char* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The stamps are read as unsigned seconds, which reach 2106. A time that does
// not convert keeps the value from the DOS stamp.
void applyUnixTime(uint32_t seconds, platform::FileTime& time) {
  platform::SystemTime fields;
  platform::FileTime converted;
  if (platform::utcSecondsToSystemTime(seconds, fields) && platform::systemTimeToFileTime(fields, converted)) {
    time = converted;
  }
}

}  // namespace

EntryTimes EntryTimesFrom(uint32_t dosDateTime, const unsigned char* extra, uint32_t length) {
  platform::FileTime fromDos;  // stays zero for a stamp that is not a date: the file keeps its own time
  platform::dosDateTimeToFileTime(static_cast<uint16_t>(dosDateTime >> 16), static_cast<uint16_t>(dosDateTime),
                                  fromDos);
  EntryTimes times{fromDos, fromDos, fromDos};
  if (length <= 4) return times;
  uint64_t p = 0;
  while (p + 4 < length) {
    if (extra[p] == 'U' && extra[p + 1] == 'T') {
      uint32_t flags = extra[p + 4];
      uint64_t at = p + 5;
      platform::FileTime* targets[3] = {&times.write, &times.access, &times.creation};
      for (int bit = 0; bit < 3; ++bit) {
        if ((flags & (1u << bit)) == 0) continue;
        // A time announced past the end of the field is not there to read.
        if (at + 4 > length) break;
        applyUnixTime(readLittle32(extra + at), *targets[bit]);
        at += 4;
      }
      break;
    }
    p += 4 + (extra[p + 2] | (uint32_t{extra[p + 3]} << 8));
  }
  return times;
}
