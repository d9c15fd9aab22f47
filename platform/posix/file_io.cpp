// File handles on POSIX, emulating the Windows calls that platform.h names.
#include "platform/platform.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/posix_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace platform {
namespace {

constexpr int64_t kWindowsToUnixSeconds = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

// A zero file time leaves the time as it is, as SetFileTime does.
timespec toTimespec(const FileTime* time) {
  timespec result{};
  if (time == nullptr || (time->low == 0 && time->high == 0)) {
    result.tv_nsec = UTIME_OMIT;
    return result;
  }
  int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time->high) << 32) | time->low);
  int64_t seconds = ticks / kTicksPerSecond - kWindowsToUnixSeconds;
  result.tv_sec = static_cast<time_t>(seconds);
  result.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return result;
}

}  // namespace

File File::openForReading(const char16_t* path) {
  if (path == nullptr) return File();
  std::string systemPath = posix::systemPath(path);
  // A FIFO without a writer would hold the open for ever; reads of a FIFO or
  // device then fail or come back empty rather than wait.
  int fd = ::open(systemPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return File();
  struct stat info {};
  // Windows cannot open a folder as a file.
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return File();
  }
  return File(fd);
}

File File::createForWriting(const char16_t* path) {
  if (path == nullptr) return File();
  if (posix::injectedFault(posix::FaultSite::Create, errno)) return File();
  std::string systemPath = posix::systemPath(path);
  struct stat info {};
  bool special = false;
  if (::stat(systemPath.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return File();
    // The read-only attribute of Windows; root would write through the mode otherwise.
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) return File();
    special = !S_ISREG(info.st_mode);
  }
  // A FIFO without a reader, or a device, would hold the open for ever: such
  // an open fails or returns at once (and never makes a terminal ours). On a
  // plain file the flag does nothing; on anything else it is cleared again.
  int fd = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd < 0) return File();
  if (special) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return File(fd);
}

File File::createNew(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return File();
  if (posix::injectedFault(posix::FaultSite::Create, errno)) return File();
  std::string systemPath = posix::systemPath(path);
  struct stat info {};
  if (::lstat(systemPath.c_str(), &info) == 0 && (S_ISDIR(info.st_mode) || ::unlink(systemPath.c_str()) != 0)) {
    return File();
  }
  int fd = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return File();
  return File(fd);
}

void File::close() {
  if (handle_ != kInvalidHandle) {
    ::close(static_cast<int>(handle_));
    handle_ = kInvalidHandle;
  }
}

bool File::read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (!isOpen()) return false;
  ssize_t n;
  do {
    n = ::read(static_cast<int>(handle_), buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  bytesRead = static_cast<uint32_t>(n);
  return true;
}

bool File::write(const void* buffer, uint32_t count, uint32_t& bytesWritten) {
  bytesWritten = 0;
  if (!isOpen()) return false;
  if (posix::injectedFault(posix::FaultSite::Write, errno)) return false;
  const char* bytes = static_cast<const char*>(buffer);
  // WriteFile on a disk file writes everything or fails.
  while (bytesWritten < count) {
    ssize_t n = ::write(static_cast<int>(handle_), bytes + bytesWritten, count - bytesWritten);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytesWritten += static_cast<uint32_t>(n);
  }
  return true;
}

bool File::seek(int64_t distance, SeekOrigin origin, uint64_t* newPosition) {
  if (!isOpen()) return false;
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t position = ::lseek(static_cast<int>(handle_), static_cast<off_t>(distance), whence);
  if (position < 0) return false;
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(position);
  return true;
}

bool File::isDiskFile() const {
  struct stat info {};
  return isOpen() && ::fstat(static_cast<int>(handle_), &info) == 0 && S_ISREG(info.st_mode);
}

// POSIX keeps no creation time; it is accepted and dropped.
bool File::setTimes(const FileTime*, const FileTime* lastAccess, const FileTime* lastWrite) {
  if (!isOpen()) return false;
  timespec times[2] = {toTimespec(lastAccess), toTimespec(lastWrite)};
  return ::futimens(static_cast<int>(handle_), times) == 0;
}

}  // namespace platform
