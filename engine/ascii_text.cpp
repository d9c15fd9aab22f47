#include "engine/ascii_text.h"

#include <string>

char16_t asciiToLower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

std::u16string asciiLowered(const std::u16string& text) {
  std::u16string lowered = text;
  for (char16_t& unit : lowered) unit = asciiToLower(unit);
  return lowered;
}

bool asciiEqualsIgnoringCase(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    if (asciiToLower(*a) != asciiToLower(*b)) return false;
    if (*a == 0) return true;
  }
}

bool asciiEqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (asciiToLower(a[i]) != asciiToLower(b[i])) return false;
  }
  return true;
}

void splitDriveAndFolder(const char16_t* path, std::u16string& drive, std::u16string& folder) {
  drive.clear();
  folder.clear();
  size_t length = std::char_traits<char16_t>::length(path);
  size_t start = 0;
  if (length >= 2 && path[1] == u':') {
    drive.assign(path, 2);
    start = 2;
  }
  size_t end = start;  // one past the last separator
  for (size_t i = start; i < length; ++i) {
    if (path[i] == u'\\' || path[i] == u'/') end = i + 1;
  }
  folder.assign(path + start, end - start);
}
