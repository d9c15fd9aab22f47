#include "zip/entry_names.h"

#include <string>

namespace {

bool forbiddenInFileNames(char16_t c) {
  return (c >= 1 && c <= 31) || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

}  // namespace

bool IsUnsafeEntryName(const char16_t* name) {
  if (IsPathSeparator(name[0])) return true;
  size_t componentStart = 0;
  for (size_t i = 0;; ++i) {
    char16_t c = name[i];
    if (c == u':' || forbiddenInFileNames(c)) return true;
    if (c == 0 || IsPathSeparator(c)) {
      if (i - componentStart == 2 && name[componentStart] == u'.' && name[componentStart + 1] == u'.') return true;
      if (c == 0) return false;
      componentStart = i + 1;
    }
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
