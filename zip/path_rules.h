// Rules that keep extraction inside the root folder and inside its buffers.
#pragma once

#include <cstddef>

#include "zip/zip.h"

inline bool IsPathSeparator(char16_t c) { return c == u'/' || c == u'\\'; }


// A name that could lead outside the folder it is joined to: a ".." component,
// a leading separator, or any colon (drive letters, alternate data streams).
bool IsUnsafeRelativeName(const char16_t* name);

// Begins with a separator or has a drive colon as its second unit.
bool IsAbsolutePath(const char16_t* path);

// The part of an absolute target below the root folder, or null when the
// target does not lie under it. Separators of either kind match each other.
const char16_t* PathBelowRoot(const char16_t* root, const char16_t* target);

// Joins base and relative (no separator added) into out; false, with nothing
// usable in out, when the result would not fit in ZipMaxPath units.
bool JoinPath(const char16_t* base, const char16_t* relative, size_t relativeLength, char16_t (&out)[ZipMaxPath]);
