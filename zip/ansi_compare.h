// Comparison of ANSI names that folds only the ASCII letters.
#pragma once

#include <cstddef>
#include <cstdint>

// 0 when equal after mapping a-z onto A-Z; non-zero otherwise (the sign means nothing).
int32_t CompareAnsiNoCase(const char* a, const char* b);

// The same, but b ends at its terminator or after bLimit bytes, whichever comes first.
int32_t CompareAnsiNoCaseBounded(const char* a, const char* b, size_t bLimit);

inline char FoldAnsiLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }
