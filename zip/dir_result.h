// Results of the reader's inner layers (directory walk and entry stream).
#pragma once

#include <cstdint>

using DirResult = int32_t;

constexpr DirResult DirOk = 0;
constexpr DirResult DirIoError = -1;
constexpr DirResult DirEndOfList = -100;
constexpr DirResult DirBadParameter = -102;
constexpr DirResult DirBadArchive = -103;
constexpr DirResult DirNoMemory = -104;
constexpr DirResult DirCrcMismatch = -105;

// The result of the last ZipDirectoryOpen. Process-wide, never guarded.
extern int32_t LastOpenResult;
