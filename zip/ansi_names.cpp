#include "zip/ansi_names.h"

#include <limits>
#include <string>

#include "platform/platform.h"

namespace {

// 1, or 2 for a lead byte whose second byte lies within length.
size_t characterLength(const char* name, size_t at, size_t length) {
  return at + 1 < length && platform::isLeadByte(platform::CodePage::Ansi, name[at]) ? 2 : 1;
}

}  // namespace

int32_t CompareAnsiNoCase(const char* a, const char* b) {
  return CompareAnsiNoCaseBounded(a, b, std::numeric_limits<size_t>::max());
}

int32_t CompareAnsiNoCaseBounded(const char* a, const char* b, size_t bLimit) {
  AnsiNameFolder foldA, foldB;
  for (size_t i = 0;; ++i) {
    char left = foldA.fold(a[i]);
    char right = i < bLimit ? foldB.fold(b[i]) : '\0';
    if (left != right) return static_cast<unsigned char>(left) < static_cast<unsigned char>(right) ? -1 : 1;
    if (left == '\0') return 0;
  }
}

char AnsiNameFolder::fold(char byte) {
  bool secondByte = secondByteNext_;
  secondByteNext_ = !secondByte && byte != '\0' && platform::isLeadByte(platform::CodePage::Ansi, byte);
  return secondByte ? byte : FoldAnsiLetter(byte);
}

bool EndsWithAnsiSeparator(const char* name) {
  bool separatorLast = false;
  for (size_t at = 0, length = std::char_traits<char>::length(name); at < length;) {
    size_t step = characterLength(name, at, length);
    separatorLast = step == 1 && (name[at] == '/' || name[at] == '\\');
    at += step;
  }
  return separatorLast;
}

size_t AnsiCutLength(const char* name, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t kept = 0;
  while (kept < length) {
    size_t step = characterLength(name, kept, length);
    if (kept + step > limit) break;
    kept += step;
  }
  return kept;
}
