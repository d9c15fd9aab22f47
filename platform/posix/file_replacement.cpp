// Copying one file, and putting a file in place of another, on POSIX.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/file_tree.h"
#include "platform/posix/posix_path.h"

namespace platform {
namespace {

bool isFolder(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

uint64_t nanoseconds(const timespec& time) {
  return static_cast<uint64_t>(time.tv_sec) * 1000000000u + static_cast<uint64_t>(time.tv_nsec);
}

}  // namespace

// Written straight to the target, as CopyFileW does: the callers copy to a
// name of their own, or put back what a marker says to put back again after a
// crash. A link is copied as a link, as the shell copy does here.
bool copyFile(const char16_t* from, const char16_t* to) {
  if (from == nullptr || to == nullptr || from[0] == 0 || to[0] == 0) return false;
  const std::string source = posix::systemPath(from);
  const std::string target = posix::systemPath(to);
  struct stat info;
  if (lstat(source.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (!S_ISREG(info.st_mode)) return posix::copyEntry(source, target) == posix::kErrorNone;
  return posix::writeCopyOf(source, info, target) == posix::kErrorNone;
}

bool moveIntoPlace(const char16_t* from, const char16_t* to) {
  if (from == nullptr || to == nullptr || from[0] == 0 || to[0] == 0) return false;
  const std::string target = posix::systemPath(to);
  if (isFolder(target) || posix::injectedFault(posix::FaultSite::Rename, errno, target)) return false;
  return std::rename(posix::systemPath(from).c_str(), target.c_str()) == 0;
}

bool replaceKeepingOriginal(const char16_t* path, const char16_t* replacement, const char16_t* keptAs) {
  if (path == nullptr || replacement == nullptr || keptAs == nullptr) return false;
  const std::string original = posix::systemPath(path);
  const std::string copy = posix::systemPath(replacement);
  const std::string kept = posix::systemPath(keptAs);
  struct stat info;
  if (lstat(original.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || lstat(kept.c_str(), &info) == 0) return false;
  if (posix::injectedFault(posix::FaultSite::Rename, errno)) return false;
  // A second name first, then one rename over the first: the path never
  // stands empty. Where the file system has no hard links, two renames.
  if (link(original.c_str(), kept.c_str()) != 0) {
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV) return false;
    if (std::rename(original.c_str(), kept.c_str()) != 0) return false;
  }
  if (!posix::injectedFault(posix::FaultSite::Rename, errno) && std::rename(copy.c_str(), original.c_str()) == 0) {
    return true;
  }
  if (lstat(original.c_str(), &info) == 0) {
    unlink(kept.c_str());
  } else {
    std::rename(kept.c_str(), original.c_str());
  }
  return false;
}

bool readFileStamp(const char16_t* path, FileStamp& stamp) {
  if (path == nullptr || path[0] == 0) return false;
  struct stat info;
  if (lstat(posix::systemPath(path).c_str(), &info) != 0) return false;
  stamp.volume = static_cast<uint64_t>(info.st_dev);
  stamp.index = static_cast<uint64_t>(info.st_ino);
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.lastWrite = nanoseconds(info.st_mtim);
  stamp.change = nanoseconds(info.st_ctim);
  return true;
}

bool readReachedIdentity(const char16_t* path, FileIdentity& identity) {
  if (path == nullptr || path[0] == 0) return false;
  struct stat info;
  if (stat(posix::systemPath(path).c_str(), &info) != 0) return false;
  identity.volume = static_cast<uint64_t>(info.st_dev);
  identity.index = static_cast<uint64_t>(info.st_ino);
  return true;
}

}  // namespace platform
