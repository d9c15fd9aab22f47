#include "zip/entry_names.h"

#include <string>

namespace {

constexpr size_t kNoDot = static_cast<size_t>(-1);

// What a unit below 0x80 means to the name rule; every other unit is plain.
enum UnitClass : unsigned char { kPlain, kRefused, kSeparator, kEnd, kDot, kTilde };

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
    of[static_cast<unsigned char>('~')] = kTilde;
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

// What Windows knows about one component, gathered in the name's single pass.
struct Component {
  const char16_t* start;
  size_t length;
  size_t stemLength;  // up to the first dot
  bool dots;          // more than one
  bool tilde;
};

// Windows opens a file by its short name as well: "VELMIU~1.EXE", or Wine's
// "VELM~J2R.EXE", reaches a long name that the archive never gives. Any name
// of that shape (a stem of 1 to 8 units, an extension of 0 to 3) with a tilde
// may be one.
bool mayBeShortName(const Component& c) {
  const size_t extensionLength = c.length > c.stemLength ? c.length - c.stemLength - 1 : 0;
  return c.tilde && !c.dots && c.stemLength >= 1 && c.stemLength <= 8 && extensionLength <= 3;
}

// Windows drops dots and spaces at the end of a name: "a.txt." would be
// written as "a.txt", and ".." leads out of the folder.
bool unsafeComponent(const Component& c) {
  if (c.length == 0) return false;
  char16_t last = c.start[c.length - 1];
  return last == u'.' || last == u' ' || namesDevice(c.start, c.stemLength) || mayBeShortName(c);
}

}  // namespace

bool IsUnsafeEntryName(const char16_t* name) {
  if (IsPathSeparator(name[0])) return true;
  // One pass; each component is judged when its end is reached.
  size_t componentStart = 0;
  size_t firstDot = kNoDot;
  bool dots = false;
  bool tilde = false;
  for (size_t i = 0;; ++i) {
    UnitClass unitClass = name[i] < 0x80 ? kUnitClasses.of[name[i]] : kPlain;
    if (unitClass == kPlain) continue;
    if (unitClass == kRefused) return true;
    if (unitClass == kDot) {
      dots = dots || firstDot != kNoDot;
      if (firstDot == kNoDot) firstDot = i;
      continue;
    }
    if (unitClass == kTilde) {
      tilde = true;
      continue;
    }
    const size_t length = i - componentStart;
    const size_t stemLength = firstDot == kNoDot ? length : firstDot - componentStart;
    if (unsafeComponent(Component{name + componentStart, length, stemLength, dots, tilde})) return true;
    if (unitClass == kEnd) return false;
    componentStart = i + 1;
    firstDot = kNoDot;
    dots = false;
    tilde = false;
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
