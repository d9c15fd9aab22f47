#include "zip/entry_names.h"

#include <string>

namespace {

constexpr size_t kNoDot = static_cast<size_t>(-1);

// What a unit below 0x80 means to the name rule; every other unit is plain.
enum UnitClass : unsigned char { kPlain, kRefused, kSeparator, kEnd, kDot };

struct UnitClasses {
  UnitClass of[0x80] = {};
  constexpr UnitClasses() {
    of[0] = kEnd;
    // Control characters, and what Windows refuses in a name; a colon would
    // name a drive or a data stream.
    for (int c = 1; c < 0x20; ++c) of[c] = kRefused;
    for (const char* c = "<>\"|?*:"; *c != 0; ++c) of[static_cast<unsigned char>(*c)] = kRefused;
    of[static_cast<unsigned char>('/')] = kSeparator;
    of[static_cast<unsigned char>('\\')] = kSeparator;
    of[static_cast<unsigned char>('.')] = kDot;
  }
};
constexpr UnitClasses kUnitClasses;

char16_t upperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; }

bool startsWith(const char16_t* stem, const char16_t (&word)[4]) {
  return upperAscii(stem[0]) == word[0] && upperAscii(stem[1]) == word[1] && upperAscii(stem[2]) == word[2];
}

// Windows takes a component as a device by what stands before its first dot,
// spaces at the end left out: "nul.txt" and "CON .tar.gz" are devices too.
// Newer versions also know COM and LPT with a superscript digit.
bool namesDevice(const char16_t* stem, size_t length) {
  while (length > 0 && stem[length - 1] == u' ') --length;
  if (length == 3) {
    return startsWith(stem, u"CON") || startsWith(stem, u"PRN") || startsWith(stem, u"AUX") || startsWith(stem, u"NUL");
  }
  if (length != 4 || !(startsWith(stem, u"COM") || startsWith(stem, u"LPT"))) return false;
  char16_t digit = stem[3];
  return (digit >= u'0' && digit <= u'9') || digit == u'\u00b9' || digit == u'\u00b2' || digit == u'\u00b3';
}

// Windows drops dots and spaces at the end of a name: "a.txt." would be
// written as "a.txt", and ".." leads out of the folder.
bool unsafeComponent(const char16_t* component, size_t length, size_t stemLength) {
  if (length == 0) return false;
  char16_t last = component[length - 1];
  return last == u'.' || last == u' ' || namesDevice(component, stemLength);
}

}  // namespace

bool IsUnsafeEntryName(const char16_t* name) {
  if (IsPathSeparator(name[0])) return true;
  // One pass; each component is judged when its end is reached.
  size_t componentStart = 0;
  size_t firstDot = kNoDot;
  for (size_t i = 0;; ++i) {
    UnitClass unitClass = name[i] < 0x80 ? kUnitClasses.of[name[i]] : kPlain;
    if (unitClass == kPlain) continue;
    if (unitClass == kRefused) return true;
    if (unitClass == kDot) {
      if (firstDot == kNoDot) firstDot = i;
      continue;
    }
    size_t length = i - componentStart;
    size_t stemLength = firstDot == kNoDot ? length : firstDot - componentStart;
    if (unsafeComponent(name + componentStart, length, stemLength)) return true;
    if (unitClass == kEnd) return false;
    componentStart = i + 1;
    firstDot = kNoDot;
  }
}

bool SameEntryName(const char16_t* a, const char16_t* b) {
  for (; *a != 0 || *b != 0; ++a, ++b) {
    if (*a != *b) return false;
  }
  return true;
}

bool JoinEntryPath(const char16_t* folder, const char16_t* name, size_t nameLength, char16_t (&out)[ZipMaxPath]) {
  size_t folderLength = std::char_traits<char16_t>::length(folder);
  // Without it the name would extend the folder's own last component.
  size_t separator = folderLength > 0 && !IsPathSeparator(folder[folderLength - 1]) ? 1 : 0;
  if (folderLength + separator + nameLength >= ZipMaxPath) return false;
  size_t at = 0;
  for (size_t i = 0; i < folderLength; ++i) out[at++] = folder[i];
  if (separator != 0) out[at++] = u'\\';
  for (size_t i = 0; i < nameLength; ++i) out[at++] = name[i];
  out[at] = 0;
  return true;
}
