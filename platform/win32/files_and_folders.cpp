// Single files and folders, and the process's current folder.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"
// After windows.h, which it needs.
#include <shlwapi.h>

namespace platform {

bool pathExists(const char16_t* path) { return PathFileExistsW(win32::wide(path)) != FALSE; }

bool createFolder(const char16_t* path) { return CreateDirectoryW(win32::wide(path), nullptr) != FALSE; }

bool deleteFile(const char16_t* path) { return DeleteFileW(win32::wide(path)) != FALSE; }

bool copyPermissions(const char16_t*, const char16_t*) { return true; }

bool setCurrentFolder(const char16_t* path) { return SetCurrentDirectoryW(win32::wide(path)) != FALSE; }

uint32_t getCurrentFolder(char16_t* buffer, uint32_t capacity) {
  return GetCurrentDirectoryW(capacity, win32::wide(buffer));
}

}  // namespace platform
