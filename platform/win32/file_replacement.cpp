// Copying one file, putting a file in place of another, and telling whether a
// file is still the one that was put there.
#include "platform/platform.h"
#include "platform/win32/entry_removal.h"
#include "platform/win32/win32_wide.h"

namespace platform {

namespace {
uint64_t joined(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }
}  // namespace

// The copy is made new: what stood under the name goes first, itself, and a
// link planted there meanwhile makes the copy fail rather than be written
// through. A read-only file is replaced too, which the rollback needs.
bool copyFile(const char16_t* from, const char16_t* to) {
  // Onto itself, the removal would lose the file; CopyFileW fails there too.
  FileStamp source, there;
  if (readFileStamp(from, source) && readFileStamp(to, there) && source.volume == there.volume &&
      source.index == there.index) {
    return false;
  }
  const wchar_t* target = win32::wide(to);
  win32::removeEntryItself(target);
  return CopyFileExW(win32::wide(from), target, nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS) != FALSE;
}

bool moveIntoPlace(const char16_t* from, const char16_t* to) {
  return MoveFileExW(win32::wide(from), win32::wide(to), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// A running executable may be renamed but not replaced, so the file in use
// leaves its name first; for that instant nothing stands under it.
bool replaceKeepingOriginal(const char16_t* path, const char16_t* replacement, const char16_t* keptAs) {
  if (!MoveFileExW(win32::wide(path), win32::wide(keptAs), 0)) return false;
  if (MoveFileExW(win32::wide(replacement), win32::wide(path), 0)) return true;
  MoveFileExW(win32::wide(keptAs), win32::wide(path), 0);
  return false;
}

bool readFileStamp(const char16_t* path, FileStamp& stamp) {
  HANDLE file =
      CreateFileW(win32::wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  FILE_BASIC_INFO basic{};
  // The change time moves with every write, also one that sets the write time back.
  const bool read = GetFileInformationByHandle(file, &information) &&
                    GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
  CloseHandle(file);
  if (!read) return false;
  stamp.volume = information.dwVolumeSerialNumber;
  stamp.index = joined(information.nFileIndexHigh, information.nFileIndexLow);
  stamp.size = joined(information.nFileSizeHigh, information.nFileSizeLow);
  stamp.lastWrite = joined(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime);
  stamp.change = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
  return true;
}

bool readReachedIdentity(const char16_t* path, FileIdentity& identity) {
  if (path == nullptr || path[0] == 0) return false;
  HANDLE file =
      CreateFileW(win32::wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool read = GetFileInformationByHandle(file, &information) != FALSE;
  CloseHandle(file);
  if (!read) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.index = joined(information.nFileIndexHigh, information.nFileIndexLow);
  return true;
}

}  // namespace platform
