// Unpacks one zip archive into a folder through the reader's handle interface.
#pragma once

#include "zip/zip.h"

// False when the archive path is missing or empty, or the archive cannot be
// opened, or an entry that should reach the folder did not; true otherwise.
// destinationFolder ends with "\".
bool extractArchive(const char16_t* archivePath, const char16_t* destinationFolder);

// Finds the entry again by name (the found name must equal it exactly) and
// extracts it below destinationFolder. False when an entry that should reach
// the folder did not, when the name rule refuses its name, or when its first
// component names one of the updater's work files (work_names.h); an entry
// that the exact-name rule passes over is no failure.
bool extractArchiveEntry(const char16_t* destinationFolder, const char16_t* entryName, ZipReaderHandle* handle);
