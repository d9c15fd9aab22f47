#include "zip/ansi_compare.h"

#include <limits>

int32_t CompareAnsiNoCase(const char* a, const char* b) {
  return CompareAnsiNoCaseBounded(a, b, std::numeric_limits<size_t>::max());
}

int32_t CompareAnsiNoCaseBounded(const char* a, const char* b, size_t bLimit) {
  for (size_t i = 0;; ++i) {
    char left = FoldAnsiLetter(a[i]);
    char right = i < bLimit ? FoldAnsiLetter(b[i]) : '\0';
    if (left != right) return static_cast<unsigned char>(left) < static_cast<unsigned char>(right) ? -1 : 1;
    if (left == '\0') return 0;
  }
}
