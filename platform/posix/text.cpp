// Text conversion on POSIX. The ANSI code page of this platform is UTF-8.
// File names here are bytes that need not be UTF-8, so that each byte that
// does not decode becomes a lone low surrogate (U+DC80 to U+DCFF) and such a
// surrogate becomes its byte again, as Python's "surrogateescape" does: every
// name comes back from UTF-16 as the bytes it was. (Windows puts U+FFFD there;
// its names are UTF-16 to begin with.)
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

#include <cstring>
#include <string>

namespace platform::posix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kFirstEscape = 0xDC80;
constexpr char32_t kLastEscape = 0xDCFF;

// Decodes one UTF-8 sequence at text[i]; an invalid or cut sequence consumes
// one byte, which comes out as its escape. Bytes below 0x80 always decode.
char32_t decodeUtf8(const unsigned char* text, size_t length, size_t& i) {
  auto escapeLead = [&] { return kFirstEscape + (text[i++] - 0x80); };
  unsigned char lead = text[i];
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return escapeLead();
  }
  if (i + extra >= length) return escapeLead();
  for (int k = 1; k <= extra; ++k) {
    unsigned char next = text[i + k];
    if ((next & 0xC0) != 0x80) return escapeLead();
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return escapeLead();
  i += 1 + extra;
  return value;
}

void appendUtf16(std::u16string& out, char32_t value) {
  if (value >= 0x10000) {
    value -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(value));
  }
}

void appendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<char>(value));
  } else if (value < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (value >> 6)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else if (value < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (value >> 12)));
    out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (value >> 18)));
    out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  }
}

}  // namespace

std::u16string fromUtf8(const char* text, size_t length) {
  std::u16string out;
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    if (bytes[i] < 0x80) {  // most names are ASCII
      out.push_back(bytes[i++]);
      continue;
    }
    appendUtf16(out, decodeUtf8(bytes, length, i));
  }
  return out;
}

std::string toUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t unit = text[i];
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unit >= kFirstEscape && unit <= kLastEscape) {
      out.push_back(static_cast<char>(unit - kFirstEscape + 0x80));
      continue;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      unit = kReplacement;
    }
    appendUtf8(out, unit);
  }
  return out;
}

std::string systemPath(const char16_t* path) {
  std::string out = toUtf8(path, std::char_traits<char16_t>::length(path));
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool fromSystemPath(const std::string& path, std::u16string& wide) {
  if (path.find('\\') != std::string::npos) return false;
  wide = fromUtf8(path.data(), path.size());
  return true;
}

}  // namespace platform::posix

namespace platform {

using posix::fromUtf8;
using posix::toUtf8;

// Both code pages are UTF-8 here.
int multiByteToWide(CodePage, const char* src, int srcLength, char16_t* dst, int dstCapacity) {
  if (src == nullptr || srcLength < -1 || dstCapacity < 0) return 0;
  size_t length = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
  if (length == 0) return 0;
  std::u16string wide = fromUtf8(src, length);
  if (dstCapacity == 0) return static_cast<int>(wide.size());
  if (dst == nullptr || wide.size() > static_cast<size_t>(dstCapacity)) return 0;
  std::memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
  return static_cast<int>(wide.size());
}

int wideToMultiByte(CodePage, const char16_t* src, int srcLength, char* dst, int dstCapacity) {
  if (src == nullptr || srcLength < -1 || dstCapacity < 0) return 0;
  size_t length = srcLength == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<size_t>(srcLength);
  if (length == 0) return 0;
  std::string narrow = toUtf8(src, length);
  if (dstCapacity == 0) return static_cast<int>(narrow.size());
  if (dst == nullptr || narrow.size() > static_cast<size_t>(dstCapacity)) return 0;
  std::memcpy(dst, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

// UTF-8 has no two-byte characters in the Windows sense: no byte of a
// character ever stands for "\" or a letter.
bool isLeadByte(CodePage, char) { return false; }

std::u16string toSystemPathForm(const char16_t* path) {
  std::u16string out = path == nullptr ? std::u16string() : std::u16string(path);
  for (char16_t& c : out) {
    if (c == u'\\') c = u'/';
  }
  return out;
}

}  // namespace platform
