// Rules that keep a caller's target path inside the root folder.
#pragma once

#include "zip/entry_names.h"

// Begins with a separator or has a drive colon as its second unit.
bool IsAbsolutePath(const char16_t* path);

// The part of an absolute target below the root folder, or null when the
// target does not lie under it. Separators of either kind match each other.
const char16_t* PathBelowRoot(const char16_t* root, const char16_t* target);
