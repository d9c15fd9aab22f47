// The rules an entry name must pass before it becomes a path, for the reader
// and for its callers alike.
#pragma once

#include <cstddef>

#include "zip/zip.h"

inline bool IsPathSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// A name that may not be written below a folder: one that could lead outside
// it (a ".." component, a leading separator, any colon for a drive or a data
// stream), one that Windows refuses in a file name (< > " | ? * and the
// control characters 1 to 31), one with a component that Windows opens as a
// device (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, COM and LPT with a
// superscript 1-3; any case, any extension), one with a component that
// Windows cuts because it ends in a dot or a space ("." included), or one
// with a component that may be a short name for another file: a tilde in a
// name of 8.3 form, a stem of 1 to 8 units and an extension of 0 to 3
// ("VELMIU~1.EXE", "PROGRA~1", "~").
bool IsUnsafeEntryName(const char16_t* name);

// Equal unit for unit, case included.
bool SameEntryName(const char16_t* a, const char16_t* b);

// The folder, one separator, and the first nameLength units of the name, into
// out. The separator is added only where the folder has none at its end (and
// not to an empty folder). False, with nothing usable in out, when the result
// would not fit in ZipMaxPath units.
bool JoinEntryPath(const char16_t* folder, const char16_t* name, size_t nameLength, char16_t (&out)[ZipMaxPath]);
