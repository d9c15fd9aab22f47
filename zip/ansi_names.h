// Entry names in the ANSI code page, taken character by character: in a
// double-byte code page the second byte of a character can look like "\" or
// like a letter, and is neither.
#pragma once

#include <cstddef>
#include <cstdint>

// 0 when equal with the ASCII letters folded (a-z onto A-Z); non-zero otherwise (the sign means nothing).
int32_t CompareAnsiNoCase(const char* a, const char* b);

// The same, but b ends at its terminator or after bLimit bytes, whichever comes first.
int32_t CompareAnsiNoCaseBounded(const char* a, const char* b, size_t bLimit);

inline char FoldAnsiLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

// Which bytes open a two-byte character of the ANSI code page, asked of the
// platform once: names are taken apart byte by byte, many thousands of them.
const bool* AnsiLeadBytes();

// Folds the letters of one name, fed to it byte by byte from its start; the
// second byte of a two-byte character comes back as it is.
class AnsiNameFolder {
 public:
  char fold(char byte) {
    bool secondByte = secondByteNext_;
    secondByteNext_ = !secondByte && leadBytes_[static_cast<unsigned char>(byte)];
    return secondByte ? byte : FoldAnsiLetter(byte);
  }

 private:
  const bool* leadBytes_ = AnsiLeadBytes();
  bool secondByteNext_ = false;
};

// The last character of the name is "/" or "\".
bool EndsWithAnsiSeparator(const char* name);

// How many of the first length bytes to keep so that at most limit bytes
// remain and no two-byte character is cut in half.
size_t AnsiCutLength(const char* name, size_t length, size_t limit);
