// The updater's own path and the user's roaming application-data folder.
#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32_wide.h"
// After windows.h, which it needs.
#include <shlobj.h>

namespace platform {

uint32_t getModuleFilePath(char16_t* buffer, uint32_t capacity) {
  return GetModuleFileNameW(nullptr, win32::wide(buffer), capacity);
}

bool getRoamingAppDataFolder(char16_t* buffer, uint32_t capacity) {
  // The shell writes into a buffer of MAX_PATH characters; the caller's may be
  // smaller, so the path is handed on only when it fits whole.
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return false;
  const size_t length = std::wcslen(folder);
  if (buffer == nullptr || length + 1 > capacity) return false;
  std::wmemcpy(win32::wide(buffer), folder, length + 1);
  return true;
}

}  // namespace platform
