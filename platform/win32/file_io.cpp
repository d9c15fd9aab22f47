// File handles: CreateFileW and the calls on its handle.

#include "platform/platform.h"
#include "platform/win32/entry_removal.h"
#include "platform/win32/win32_wide.h"

namespace platform {

static_assert(File::kInvalidHandle == -1, "INVALID_HANDLE_VALUE is -1");

File File::openForReading(const char16_t* path) {
  HANDLE handle = CreateFileW(win32::wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(win32::fromHandle(handle));
}

File File::createForWriting(const char16_t* path) {
  HANDLE handle =
      CreateFileW(win32::wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(win32::fromHandle(handle));
}

File File::createNew(const char16_t* path) {
  const wchar_t* name = win32::wide(path);
  const auto create = [name] {
    return CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  };
  HANDLE handle = create();
  // Only where something stands is it removed: Wine deletes the target of a host's link.
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
    win32::removeEntryItself(name);
    handle = create();
  }
  return File(win32::fromHandle(handle));
}

void File::close() {
  if (isOpen()) CloseHandle(win32::toHandle(handle_));
  handle_ = kInvalidHandle;
}

bool File::read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  DWORD done = 0;
  const bool ok = isOpen() && ReadFile(win32::toHandle(handle_), buffer, count, &done, nullptr);
  bytesRead = done;
  return ok;
}

bool File::write(const void* buffer, uint32_t count, uint32_t& bytesWritten) {
  DWORD done = 0;
  const bool ok = isOpen() && WriteFile(win32::toHandle(handle_), buffer, count, &done, nullptr);
  bytesWritten = done;
  return ok;
}

bool File::seek(int64_t distance, SeekOrigin origin, uint64_t* newPosition) {
  if (!isOpen()) return false;
  const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                       : origin == SeekOrigin::Current ? FILE_CURRENT
                                                       : FILE_END;
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(win32::toHandle(handle_), move, &position, method)) return false;
  if (newPosition) *newPosition = static_cast<uint64_t>(position.QuadPart);
  return true;
}

bool File::isDiskFile() const { return isOpen() && GetFileType(win32::toHandle(handle_)) == FILE_TYPE_DISK; }

bool File::setTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite) {
  if (!isOpen()) return false;
  FILETIME times[3] = {};
  const FileTime* given[3] = {creation, lastAccess, lastWrite};
  for (int i = 0; i < 3; ++i) {
    if (given[i]) times[i] = FILETIME{given[i]->low, given[i]->high};
  }
  return SetFileTime(win32::toHandle(handle_), creation ? &times[0] : nullptr, lastAccess ? &times[1] : nullptr,
                     lastWrite ? &times[2] : nullptr) != FALSE;
}

}  // namespace platform
