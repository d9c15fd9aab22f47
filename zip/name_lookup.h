// Finding an entry of the central directory by its name.
#pragma once

#include <cstdint>

#include "zip/dir_result.h"

struct ZipDirectory;

constexpr uint32_t kLookupNameArea = 256;  // stored names compare as at most this many bytes
constexpr uint32_t kWantedNameArea = 259;  // the wanted name's ANSI form, terminator included
constexpr int32_t kCaseSensitiveLookup = 1;

// Makes the first entry of that name current (mode 1: exact bytes; any other:
// ASCII letters folded). A failure leaves the current entry as it was.
// Answered from the directory's index when it can be.
DirResult SeekCentralEntryByName(ZipDirectory* directory, const char16_t* wantedName, int32_t mode);

// The same, always by walking the directory from its first entry.
DirResult SeekCentralEntryByNameWalk(ZipDirectory* directory, const char16_t* wantedName, int32_t mode);
