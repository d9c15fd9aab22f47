#include "zip/ansi_names.h"

#include <limits>
#include <string>

#include "platform/platform.h"

namespace {

struct LeadByteTable {
  bool lead[256] = {};
  LeadByteTable() {
    // The terminator never opens a character.
    for (int byte = 1; byte < 256; ++byte)
      lead[byte] = platform::isLeadByte(platform::CodePage::Ansi, static_cast<char>(byte));
  }
};

// 1, or 2 for a lead byte whose second byte lies within length.
size_t characterLength(const bool* leadBytes, const char* name, size_t at, size_t length) {
  return at + 1 < length && leadBytes[static_cast<unsigned char>(name[at])] ? 2 : 1;
}

}  // namespace

const bool* AnsiLeadBytes() {
  static const LeadByteTable table;
  return table.lead;
}

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

bool EndsWithAnsiSeparator(const char* name) {
  const bool* leadBytes = AnsiLeadBytes();
  bool separatorLast = false;
  for (size_t at = 0, length = std::char_traits<char>::length(name); at < length;) {
    size_t step = characterLength(leadBytes, name, at, length);
    separatorLast = step == 1 && (name[at] == '/' || name[at] == '\\');
    at += step;
  }
  return separatorLast;
}

size_t AnsiCutLength(const char* name, size_t length, size_t limit) {
  if (length <= limit) return length;
  const bool* leadBytes = AnsiLeadBytes();
  size_t kept = 0;
  while (kept < length) {
    size_t step = characterLength(leadBytes, name, kept, length);
    if (kept + step > limit) break;
    kept += step;
  }
  return kept;
}
