// Single files and folders on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/file_tree.h"
#include "platform/posix/posix_path.h"

namespace platform {

bool pathExists(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  std::string systemForm = posix::systemPath(path);
  struct stat info;
  // A dangling symbolic link is still an entry under that name.
  return stat(systemForm.c_str(), &info) == 0 || lstat(systemForm.c_str(), &info) == 0;
}

bool createFolder(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  if (posix::injectedFault(posix::FaultSite::CreateFolder, errno)) return false;
  return mkdir(posix::systemPath(path).c_str(), 0777) == 0;
}

bool deleteFile(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  std::string systemForm = posix::systemPath(path);
  struct stat info;
  if (lstat(systemForm.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (posix::injectedFault(posix::FaultSite::Delete, errno, systemForm)) return false;
  return unlink(systemForm.c_str()) == 0;
}

// Permission bits do not keep a file from being deleted here.
bool deleteOwnFile(const char16_t* path) { return deleteFile(path); }

bool copyPermissions(const char16_t* source, const char16_t* target) {
  if (source == nullptr || target == nullptr) return false;
  const std::string targetPath = posix::systemPath(target);
  struct stat info;
  struct stat targetInfo;
  if (stat(posix::systemPath(source).c_str(), &info) != 0 || stat(targetPath.c_str(), &targetInfo) != 0) return false;
  // Set-ID bits only for the same owner, as with every copy.
  return chmod(targetPath.c_str(), posix::modeForCopy(info, targetInfo)) == 0;
}

EntryKind entryKind(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return EntryKind::None;
  struct stat info;
  if (lstat(posix::systemPath(path).c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? EntryKind::None : EntryKind::Unknown;
  }
  if (S_ISLNK(info.st_mode)) return EntryKind::Link;
  return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File;
}

EntryKind reachedKind(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return EntryKind::None;
  struct stat info;
  if (stat(posix::systemPath(path).c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? EntryKind::None : EntryKind::Unknown;
  }
  return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File;
}

bool matchTimesAndPermissions(const char16_t* source, const char16_t* target) {
  if (source == nullptr || target == nullptr) return false;
  const std::string targetPath = posix::systemPath(target);
  struct stat info;
  struct stat targetInfo;
  if (stat(posix::systemPath(source).c_str(), &info) != 0 || stat(targetPath.c_str(), &targetInfo) != 0) return false;
  const bool sameTime =
      info.st_mtim.tv_sec == targetInfo.st_mtim.tv_sec && info.st_mtim.tv_nsec == targetInfo.st_mtim.tv_nsec;
  const timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
  const bool timed = sameTime || utimensat(AT_FDCWD, targetPath.c_str(), times, 0) == 0;
  const mode_t mode = posix::modeForCopy(info, targetInfo);
  return ((targetInfo.st_mode & 07777) == mode || chmod(targetPath.c_str(), mode) == 0) && timed;
}

bool removeFolder(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  if (posix::injectedFault(posix::FaultSite::Delete, errno)) return false;
  std::string systemForm = posix::systemPath(path);
  struct stat info;
  if (lstat(systemForm.c_str(), &info) != 0) return false;
  // A link to a folder goes as a link, as RemoveDirectoryW takes a junction.
  if (S_ISLNK(info.st_mode)) {
    struct stat target;
    return stat(systemForm.c_str(), &target) == 0 && S_ISDIR(target.st_mode) && unlink(systemForm.c_str()) == 0;
  }
  return rmdir(systemForm.c_str()) == 0;
}

bool setCurrentFolder(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  return chdir(posix::systemPath(path).c_str()) == 0;
}

uint32_t getCurrentFolder(char16_t* buffer, uint32_t capacity) {
  std::string current;
  std::string scratch(4096, '\0');
  while (getcwd(scratch.data(), scratch.size()) == nullptr) {
    if (errno != ERANGE) return 0;
    scratch.resize(scratch.size() * 2);
  }
  current = scratch.c_str();
  std::u16string wide;
  if (!posix::fromSystemPath(current, wide)) return 0;
  if (buffer == nullptr || wide.size() + 1 > capacity) return static_cast<uint32_t>(wide.size() + 1);
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  return static_cast<uint32_t>(wide.size());
}

}  // namespace platform
