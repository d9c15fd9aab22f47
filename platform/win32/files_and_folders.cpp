// Single files and folders, and the process's current folder.
#include "platform/platform.h"
#include "platform/win32/entry_removal.h"
#include "platform/win32/win32_wide.h"
// After windows.h, which it needs.
#include <shlwapi.h>

namespace platform {

bool pathExists(const char16_t* path) { return PathFileExistsW(win32::wide(path)) != FALSE; }

bool createFolder(const char16_t* path) { return CreateDirectoryW(win32::wide(path), nullptr) != FALSE; }

bool deleteFile(const char16_t* path) { return DeleteFileW(win32::wide(path)) != FALSE; }

bool deleteOwnFile(const char16_t* path) {
  const wchar_t* name = win32::wide(path);
  const DWORD attributes = GetFileAttributesW(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  win32::removeEntryItself(name);
  return GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool copyPermissions(const char16_t*, const char16_t*) { return true; }

namespace {

// Every path on a drive letter that names no drive is "not found", which says
// nothing of what stands there once the drive is back (taken out, or a network
// drive not connected).
bool onMissingDrive(const char16_t* path) {
  if (path == nullptr || path[0] == 0 || path[1] != u':') return false;
  const wchar_t root[] = {static_cast<wchar_t>(path[0]), L':', L'\\', 0};
  return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

// After a failed query: nothing stands there, or that cannot be told.
EntryKind afterFailure(const char16_t* path) {
  const DWORD error = GetLastError();
  const bool notFound = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  return notFound && !onMissingDrive(path) ? EntryKind::None : EntryKind::Unknown;
}

EntryKind byFolderBit(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder : EntryKind::File;
}

}  // namespace

EntryKind entryKind(const char16_t* path) {
  const DWORD attributes = GetFileAttributesW(win32::wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return afterFailure(path);
  // Symbolic links and junctions alike; never looked through.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::Link;
  return byFolderBit(attributes);
}

// The attributes of a link are its own; opening it without
// FILE_FLAG_OPEN_REPARSE_POINT reaches its target, whose attributes tell.
EntryKind reachedKind(const char16_t* path) {
  const DWORD attributes = GetFileAttributesW(win32::wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return afterFailure(path);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return byFolderBit(attributes);
  HANDLE target =
      CreateFileW(win32::wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return afterFailure(path);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool read = GetFileInformationByHandle(target, &information) != FALSE;
  const DWORD error = GetLastError();
  CloseHandle(target);
  SetLastError(error);
  return read ? byFolderBit(information.dwFileAttributes) : afterFailure(path);
}

namespace {

// Deleted through a handle to the link itself, and only once that handle shows
// the reparse point: Wine shows a host's link to a folder as one, yet opens
// and removes what it points to (RemoveDirectoryW takes an empty target).
void removeLinkItself(const wchar_t* name) {
  HANDLE link = CreateFileW(name, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (link == INVALID_HANDLE_VALUE) return;
  FILE_ATTRIBUTE_TAG_INFO opened{};
  if (GetFileInformationByHandleEx(link, FileAttributeTagInfo, &opened, sizeof opened) &&
      (opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(link, FileDispositionInfo, &disposition, sizeof disposition);
  }
  CloseHandle(link);
}

}  // namespace

void win32::removeEntryItself(const wchar_t* name) {
  const DWORD attributes = GetFileAttributesW(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    removeLinkItself(name);
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
  // DeleteFileW refuses a read-only file.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(name, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  DeleteFileW(name);
}

bool removeFolder(const char16_t* path) { return RemoveDirectoryW(win32::wide(path)) != FALSE; }

bool setCurrentFolder(const char16_t* path) { return SetCurrentDirectoryW(win32::wide(path)) != FALSE; }

uint32_t getCurrentFolder(char16_t* buffer, uint32_t capacity) {
  return GetCurrentDirectoryW(capacity, win32::wide(buffer));
}

}  // namespace platform
