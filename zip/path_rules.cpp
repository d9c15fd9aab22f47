#include "zip/path_rules.h"

bool IsAbsolutePath(const char16_t* path) { return IsPathSeparator(path[0]) || (path[0] != 0 && path[1] == u':'); }

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
