#include "platform/posix/file_tree.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/ntfs_order.h"
#include "platform/posix/posix_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform::posix {
namespace {

// In NTFS order, as the listing of the top level comes.
std::vector<std::string> childrenOf(const std::string& folder, bool& ok) {
  std::vector<std::pair<std::u16string, std::string>> children;
  DIR* directory = opendir(folder.c_str());
  ok = directory != nullptr;
  if (!ok) return {};
  while (dirent* item = readdir(directory)) {
    std::string name = item->d_name;
    if (name != "." && name != "..") children.emplace_back(fromUtf8(name.data(), name.size()), name);
  }
  closedir(directory);
  std::sort(children.begin(), children.end(),
            [](const auto& a, const auto& b) { return ntfsNameOrder(a.first, b.first); });
  std::vector<std::string> names;
  for (auto& child : children) names.push_back(std::move(child.second));
  return names;
}

int errorFromErrno() {
  if (errno == ENOENT || errno == ENOTDIR) return kErrorNotFound;
  if (errno == EEXIST || errno == ENOTEMPTY) return kErrorAlreadyExists;
  return kErrorAccessDenied;
}

bool writeAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t written = write(fd, data, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int writeCopyOf(const std::string& source, const struct stat& sourceInfo, const std::string& path, mode_t mode) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errorFromErrno();
  // What stands under path goes first, once the source is known to open: a
  // read-only file is replaced without a question, and a link is never written through.
  unlink(path.c_str());
  int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    int result = errorFromErrno();
    close(in);
    return result;
  }
  std::vector<char> buffer(1 << 16);
  int result = kErrorNone;
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || (got > 0 && !writeAll(out, buffer.data(), static_cast<size_t>(got)))) {
      result = kErrorAccessDenied;
      break;
    }
    if (got == 0) break;
  }
  if (result == kErrorNone) {
    struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (fchmod(out, mode) != 0 || futimens(out, times) != 0) result = kErrorAccessDenied;
  }
  if (close(out) != 0 && result == kErrorNone) result = kErrorAccessDenied;
  close(in);
  return result;
}

namespace {

// A file is written under this name in its target folder and renamed into
// place once whole, so a crash never leaves a half-written file under its
// own name; only this one name, which the next copy into the folder removes.
std::string partialPathIn(const std::string& folder) { return folder + "/" + kPartialCopyName; }

int copyFileContents(const std::string& source, const struct stat& sourceInfo, const std::string& target) {
  // A replaced file keeps its permissions: an update must not make a program
  // unrunnable or a private file readable. A new one takes its source's.
  mode_t mode = sourceInfo.st_mode & 07777;
  struct stat targetInfo;
  if (lstat(target.c_str(), &targetInfo) == 0) {
    if (S_ISDIR(targetInfo.st_mode)) return kErrorAlreadyExists;
    if (S_ISREG(targetInfo.st_mode)) mode = targetInfo.st_mode & 07777;
    // Copying a file onto itself would truncate it.
    if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) return kErrorNone;
  }
  const std::string partial = partialPathIn(folderOf(target));
  int result = writeCopyOf(source, sourceInfo, partial, mode);
  // A read-only file or a link under the target name is replaced as a whole.
  // The fault hook sits just before: a failure or an end there leaves the
  // whole copy under the passing name.
  if (result == kErrorNone &&
      (injectedFault(FaultSite::CopyFile, errno) || rename(partial.c_str(), target.c_str()) != 0)) {
    result = errorFromErrno();
  }
  if (result != kErrorNone) unlink(partial.c_str());
  return result;
}

int copyLink(const std::string& source, const std::string& target) {
  std::string destination(PATH_MAX, '\0');
  ssize_t length = readlink(source.c_str(), destination.data(), destination.size());
  if (length < 0) return errorFromErrno();
  destination.resize(static_cast<size_t>(length));
  if (injectedFault(FaultSite::CopyFile, errno)) return errorFromErrno();
  struct stat targetInfo;
  if (lstat(target.c_str(), &targetInfo) == 0 && S_ISDIR(targetInfo.st_mode)) return kErrorAlreadyExists;
  const std::string partial = partialPathIn(folderOf(target));
  unlink(partial.c_str());
  if (symlink(destination.c_str(), partial.c_str()) != 0) return errorFromErrno();
  if (rename(partial.c_str(), target.c_str()) == 0) return kErrorNone;
  const int result = errorFromErrno();
  unlink(partial.c_str());
  return result;
}

int copyFolder(const std::string& source, const struct stat& sourceInfo, const std::string& target) {
  // A folder that was there keeps its permissions, as a replaced file does.
  mode_t mode = sourceInfo.st_mode & 07777;
  struct stat targetInfo;
  if (lstat(target.c_str(), &targetInfo) == 0) {
    if (!S_ISDIR(targetInfo.st_mode)) return kErrorAlreadyExists;
    mode = targetInfo.st_mode & 07777;
  } else if (injectedFault(FaultSite::CreateFolder, errno) || mkdir(target.c_str(), 0700) != 0) {
    return errorFromErrno();
  }
  removePartialCopy(target);
  bool listed = false;
  for (const std::string& name : childrenOf(source, listed)) {
    int result = copyEntry(source + "/" + name, target + "/" + name);
    if (result != kErrorNone) return result;
  }
  if (!listed) return kErrorAccessDenied;
  // The folder's own bits and time last: its children would change its time.
  struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
  if (chmod(target.c_str(), mode) != 0) return errorFromErrno();
  if (utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) return errorFromErrno();
  return kErrorNone;
}

}  // namespace

int copyEntry(const std::string& source, const std::string& target) {
  // What an interrupted copy left is never carried along.
  const size_t slash = source.find_last_of('/');
  if (source.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, kPartialCopyName) == 0) {
    return kErrorNone;
  }
  struct stat sourceInfo;
  if (lstat(source.c_str(), &sourceInfo) != 0) return errorFromErrno();
  if (S_ISLNK(sourceInfo.st_mode)) return copyLink(source, target);
  if (S_ISDIR(sourceInfo.st_mode)) return copyFolder(source, sourceInfo, target);
  if (S_ISREG(sourceInfo.st_mode)) return copyFileContents(source, sourceInfo, target);
  return kErrorAccessDenied;  // devices, pipes and sockets are not copied
}

int removeTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return errorFromErrno();
  if (injectedFault(FaultSite::Delete, errno)) return errorFromErrno();
  if (!S_ISDIR(info.st_mode)) return unlink(path.c_str()) == 0 ? kErrorNone : errorFromErrno();
  // A folder of ours that we may not list or change is opened up first.
  if ((info.st_mode & S_IRWXU) != S_IRWXU) chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
  bool listed = false;
  for (const std::string& name : childrenOf(path, listed)) {
    int result = removeTree(path + "/" + name);
    if (result != kErrorNone) return result;
  }
  if (!listed) return kErrorAccessDenied;
  return rmdir(path.c_str()) == 0 ? kErrorNone : errorFromErrno();
}

void removePartialCopy(const std::string& folder) { unlink(partialPathIn(folder).c_str()); }

bool isSameOrInside(const std::string& target, const std::string& source) {
  char resolvedTarget[PATH_MAX];
  char resolvedSource[PATH_MAX];
  if (realpath(target.c_str(), resolvedTarget) == nullptr || realpath(source.c_str(), resolvedSource) == nullptr) {
    return false;
  }
  std::string inner = resolvedTarget;
  std::string outer = resolvedSource;
  if (outer == "/") return true;
  return inner == outer || inner.compare(0, outer.size() + 1, outer + "/") == 0;
}

}  // namespace platform::posix
