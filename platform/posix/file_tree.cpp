#include "platform/posix/file_tree.h"
#include "platform/platform.h"
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
#include <cstdlib>
#include <vector>

namespace platform::posix {
namespace {

struct Child {
  std::string name;
  unsigned char type;  // as readdir tells it, DT_UNKNOWN where it cannot
};

// In NTFS order, as the listing of the top level comes.
std::vector<Child> childrenOf(const std::string& folder, bool& ok) {
  std::vector<std::pair<NtfsSortKey, Child>> children;
  DIR* directory = opendir(folder.c_str());
  ok = directory != nullptr;
  if (!ok) return {};
  while (dirent* item = readdir(directory)) {
    std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    // The key first: the name moves into the child.
    NtfsSortKey key(fromUtf8(name.data(), name.size()));
    children.emplace_back(std::move(key), Child{std::move(name), item->d_type});
  }
  closedir(directory);
  std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Child> ordered;
  ordered.reserve(children.size());
  for (auto& child : children) ordered.push_back(std::move(child.second));
  return ordered;
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

}  // namespace

mode_t modeForCopy(const struct stat& reference, const struct stat& copy) {
  mode_t mode = reference.st_mode & 07777;
  if (copy.st_uid != reference.st_uid) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  if (copy.st_gid != reference.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
  return mode;
}

namespace {

// This process's ids, asked once: the updater never changes them, and a tree
// copy would ask for every file.
uid_t ownUser() {
  static const uid_t user = geteuid();
  return user;
}

gid_t ownGroup() {
  static const gid_t group = getegid();
  return group;
}

// The bits this process's umask takes from a new file's mode.
mode_t umaskBits() {
  static const mode_t bits = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
  }();
  return bits;
}

// The reference's owner where this process may give it (root may), else at
// least its group. Nothing to do for the common case, a file of our own.
void giveOwnerOf(const struct stat& reference, int fd, const char* linkPath = nullptr) {
  if (reference.st_uid == ownUser() && reference.st_gid == ownGroup()) return;
  const auto give = [&](uid_t user) {
    return (linkPath != nullptr ? lchown(linkPath, user, reference.st_gid) : fchown(fd, user, reference.st_gid)) == 0;
  };
  if (!give(reference.st_uid)) give(static_cast<uid_t>(-1));
}

// Owner first, then bits: a change of owner clears the set-ID bits, and they
// stay only where the owner (for set-group-ID, the group) came along.
bool giveOwnerAndMode(int fd, const struct stat& reference, bool modeGivenAtCreation) {
  giveOwnerOf(reference, fd);
  if ((reference.st_mode & (S_ISUID | S_ISGID)) == 0) {
    return modeGivenAtCreation || fchmod(fd, reference.st_mode & 07777) == 0;
  }
  struct stat copy;
  return fstat(fd, &copy) == 0 && fchmod(fd, modeForCopy(reference, copy)) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Copies to the end of the data, or to size bytes where the source tells no
// more: a small file then takes one read, not a second one that finds the end.
bool copyBytes(int in, int out, off_t size) {
  // One buffer for every file: a copy of a tree copies thousands of small ones.
  thread_local std::vector<char> buffer(1 << 16);
  off_t copied = 0;
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!writeAll(out, buffer.data(), static_cast<size_t>(got))) return false;
    copied += got;
    if (copied == size && static_cast<size_t>(got) < buffer.size()) return true;
  }
}

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int writeCopyOf(const std::string& source, const struct stat& sourceInfo, const std::string& path) {
  if (injectedFault(FaultSite::CopyFile, errno, path)) return errorFromErrno();
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errorFromErrno();
  // A new file is created exclusively, never through a link. Its bits come
  // with the create where the umask leaves them whole, else from fchmod.
  struct stat reference = sourceInfo;
  const mode_t plainMode = sourceInfo.st_mode & 0777;
  const bool plain = (sourceInfo.st_mode & 07000) == 0 && (plainMode & umaskBits()) == 0;
  int out = open(path.c_str(), kCreateFlags, plain ? plainMode : 0600);
  std::string partial;
  bool modeGiven = out >= 0 && plain;
  if (out < 0 && errno == EEXIST) {
    // What stood there may be gone already; then the name is simply free.
    struct stat replaced {};
    int result = kErrorNone;
    const bool there = lstat(path.c_str(), &replaced) == 0;
    if (!there && errno != ENOENT) result = errorFromErrno();
    // Copying a file onto itself would lose it; it is its own copy already.
    const bool itself = there && sameFile(replaced, sourceInfo);
    if (there && S_ISDIR(replaced.st_mode)) result = kErrorAlreadyExists;
    // A replaced file keeps its permissions and owner: an update must not
    // make a program unrunnable or a private file readable.
    if (there && S_ISREG(replaced.st_mode)) reference = replaced;
    if (itself || result != kErrorNone) {
      close(in);
      return result;
    }
    // A file that stood there is replaced in one step, so that a crash never
    // leaves it half-written: the updater itself must still start. The new
    // bytes go under the passing name, made new; where that name is taken,
    // by anybody's file, it is left alone and the copy goes in place.
    if (S_ISREG(replaced.st_mode)) {
      static const std::string partialName = systemPath(platform::kPartialCopyName);
      partial = folderOf(path) + "/" + partialName;
      out = open(partial.c_str(), kCreateFlags, 0600);
      if (out < 0) partial.clear();
    }
    // Else what stands there is removed, never opened: a read-only file is
    // replaced without a question, and a link is never written through.
    if (out < 0) {
      if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        result = errorFromErrno();
        close(in);
        return result;
      }
      out = open(path.c_str(), kCreateFlags, 0600);
    }
    modeGiven = false;
  }
  if (out < 0) {
    const int result = errorFromErrno();
    close(in);
    return result;
  }
  int result = copyBytes(in, out, sourceInfo.st_size) ? kErrorNone : kErrorAccessDenied;
  if (result == kErrorNone) {
    struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (!giveOwnerAndMode(out, reference, modeGiven) || futimens(out, times) != 0) result = kErrorAccessDenied;
  }
  if (close(out) != 0 && result == kErrorNone) result = kErrorAccessDenied;
  close(in);
  if (partial.empty()) return result;
  // The fault hook sits just before: an end there leaves the whole copy under the passing name.
  if (result == kErrorNone &&
      (injectedFault(FaultSite::Rename, errno, path) || rename(partial.c_str(), path.c_str()) != 0)) {
    result = errorFromErrno();
  }
  if (result != kErrorNone) unlink(partial.c_str());
  return result;
}

namespace {

int copyLink(const std::string& source, const struct stat& sourceInfo, const std::string& target) {
  std::string destination(PATH_MAX, '\0');
  ssize_t length = readlink(source.c_str(), destination.data(), destination.size());
  if (length < 0) return errorFromErrno();
  destination.resize(static_cast<size_t>(length));
  if (injectedFault(FaultSite::CopyFile, errno, target)) return errorFromErrno();
  struct stat targetInfo;
  if (lstat(target.c_str(), &targetInfo) == 0) {
    if (S_ISDIR(targetInfo.st_mode)) return kErrorAlreadyExists;
    if (unlink(target.c_str()) != 0) return errorFromErrno();
  }
  if (symlink(destination.c_str(), target.c_str()) != 0) return errorFromErrno();
  giveOwnerOf(sourceInfo, -1, target.c_str());
  return kErrorNone;
}

// A folder of another owner may be written into but not given bits or times
// (EPERM): the copy goes on without them, as for an owner it cannot give.
bool setOrNotOurs(int result) { return result == 0 || errno == EPERM; }

int copyFolder(const std::string& source, const struct stat& sourceInfo, const std::string& target) {
  // A folder that was there keeps its permissions, as a replaced file does,
  // and is never chmod-ed. A new one takes its source's owner where it may,
  // and its bits, a set-group-ID bit too: on a folder that only hands its
  // group to new entries.
  struct stat targetInfo;
  const bool created = lstat(target.c_str(), &targetInfo) != 0;
  if (!created) {
    if (!S_ISDIR(targetInfo.st_mode)) return kErrorAlreadyExists;
  } else if (injectedFault(FaultSite::CreateFolder, errno) || mkdir(target.c_str(), 0700) != 0) {
    return errorFromErrno();
  } else {
    giveOwnerOf(sourceInfo, -1, target.c_str());
  }
  bool listed = false;
  for (const Child& child : childrenOf(source, listed)) {
    int result = copyEntry(source + "/" + child.name, target + "/" + child.name);
    if (result != kErrorNone) return result;
  }
  if (!listed) return kErrorAccessDenied;
  // The folder's own bits and time last: its children would change its time.
  struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
  if (created && !setOrNotOurs(chmod(target.c_str(), sourceInfo.st_mode & 07777))) return errorFromErrno();
  if (!setOrNotOurs(utimensat(AT_FDCWD, target.c_str(), times, 0))) return errorFromErrno();
  return kErrorNone;
}

}  // namespace

int copyEntry(const std::string& source, const std::string& target) {
  struct stat sourceInfo;
  if (lstat(source.c_str(), &sourceInfo) != 0) return errorFromErrno();
  if (S_ISLNK(sourceInfo.st_mode)) return copyLink(source, sourceInfo, target);
  if (S_ISDIR(sourceInfo.st_mode)) return copyFolder(source, sourceInfo, target);
  if (S_ISREG(sourceInfo.st_mode)) return writeCopyOf(source, sourceInfo, target);
  return kErrorAccessDenied;  // devices, pipes and sockets are not copied
}

namespace {

// type: what the folder listing said stands there, DT_UNKNOWN when it did not.
int removeEntry(const std::string& path, unsigned char type) {
  // A file or link that the listing names goes without a query of its own.
  if (type != DT_UNKNOWN && type != DT_DIR) {
    if (injectedFault(FaultSite::Delete, errno, path)) return errorFromErrno();
    return unlink(path.c_str()) == 0 ? kErrorNone : errorFromErrno();
  }
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return errorFromErrno();
  if (injectedFault(FaultSite::Delete, errno)) return errorFromErrno();
  if (!S_ISDIR(info.st_mode)) return unlink(path.c_str()) == 0 ? kErrorNone : errorFromErrno();
  // A folder of ours that we may not list or change is opened up first.
  if ((info.st_mode & S_IRWXU) != S_IRWXU) chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
  bool listed = false;
  for (const Child& child : childrenOf(path, listed)) {
    int result = removeEntry(path + "/" + child.name, child.type);
    if (result != kErrorNone) return result;
  }
  if (!listed) return kErrorAccessDenied;
  return rmdir(path.c_str()) == 0 ? kErrorNone : errorFromErrno();
}

}  // namespace

int removeTree(const std::string& path) { return removeEntry(path, DT_UNKNOWN); }

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
