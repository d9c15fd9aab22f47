// Making the entry of a given index current.
#pragma once

#include <cstdint>

#include "zip/dir_result.h"

struct ZipDirectory;

// Steps to the entry (back to the first one when it lies before the current
// one). DirOk when it is current and its header was read; otherwise the failure
// that stopped the stepping. Answered from the directory's index when it can be.
DirResult MoveToCentralEntry(ZipDirectory* directory, int32_t index);

// The same, always one header at a time.
DirResult MoveToCentralEntryByStepping(ZipDirectory* directory, int32_t index);
