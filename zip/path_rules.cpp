#include "zip/path_rules.h"

#include <string>

bool IsUnsafeRelativeName(const char16_t* name) {
  if (IsPathSeparator(name[0])) return true;
  size_t componentStart = 0;
  for (size_t i = 0;; ++i) {
    char16_t c = name[i];
    if (c == u':') return true;
    if (c == 0 || IsPathSeparator(c)) {
      if (i - componentStart == 2 && name[componentStart] == u'.' && name[componentStart + 1] == u'.') return true;
      if (c == 0) return false;
      componentStart = i + 1;
    }
  }
}

bool IsAbsolutePath(const char16_t* path) {
  return IsPathSeparator(path[0]) || (path[0] != 0 && path[1] == u':');
}

const char16_t* PathBelowRoot(const char16_t* root, const char16_t* target) {
  size_t i = 0;
  for (; root[i] != 0; ++i) {
    bool same = root[i] == target[i] || (IsPathSeparator(root[i]) && IsPathSeparator(target[i]));
    if (!same) return nullptr;
  }
  // A root without a closing separator must end at one in the target.
  if (i > 0 && !IsPathSeparator(root[i - 1])) {
    if (!IsPathSeparator(target[i])) return nullptr;
    ++i;
  }
  return target + i;
}

bool JoinPath(const char16_t* base, const char16_t* relative, size_t relativeLength, char16_t (&out)[ZipMaxPath]) {
  size_t baseLength = std::char_traits<char16_t>::length(base);
  if (baseLength + relativeLength >= ZipMaxPath) return false;
  for (size_t i = 0; i < baseLength; ++i) out[i] = base[i];
  for (size_t i = 0; i < relativeLength; ++i) out[baseLength + i] = relative[i];
  out[baseLength + relativeLength] = 0;
  return true;
}
