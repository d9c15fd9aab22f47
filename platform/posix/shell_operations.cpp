// The shell's tree operations on POSIX. There is no user interface here, so
// the flags that choose windows and questions change nothing: every question
// is answered yes and every error ends the operation with its code.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/file_tree.h"
#include "platform/posix/posix_path.h"

namespace platform {
namespace {

using namespace posix;

// A list of NUL-terminated paths, ended by an empty one.
std::vector<std::string> pathList(const char16_t* list) {
  std::vector<std::string> paths;
  while (list != nullptr && *list != 0) {
    paths.push_back(systemPath(list));
    list += std::char_traits<char16_t>::length(list) + 1;
  }
  return paths;
}

bool endsWithWildcard(const std::string& path, std::string& folder) {
  size_t slash = path.find_last_of('/');
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  if (last != "*" && last != "*.*") return false;
  folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  return true;
}

std::string fileNameOf(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.find_last_of('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isFolder(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The entries a source names: itself, or every entry of its folder.
int expandSource(const std::string& source, std::vector<std::string>& entries) {
  std::string folder;
  if (!endsWithWildcard(source, folder)) {
    if (!exists(source)) return kErrorNotFound;
    entries.push_back(source);
    return kErrorNone;
  }
  if (!isFolder(folder)) return kErrorNotFound;
  std::u16string pattern = fromUtf8(folder.data(), folder.size()) + u"/*";
  FolderListing listing(pattern.c_str());
  FolderEntry entry;
  while (listing.next(entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    entries.push_back(folder + "/" + toUtf8(entry.name.data(), entry.name.size()));
  }
  return kErrorNone;
}

int copyOne(const std::string& source, const std::string& target) {
  if (isFolder(source) && isSameOrInside(folderOf(target), source)) return kErrorIntoItself;
  return copyEntry(source, target);
}

int copyPaths(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
  if (sources.empty() || targets.size() != 1) return kErrorBadArguments;
  const std::string& target = targets.front();
  std::vector<std::string> entries;
  std::string ignored;
  bool wildcard = false;
  for (const std::string& source : sources) {
    wildcard = wildcard || endsWithWildcard(source, ignored);
    int result = expandSource(source, entries);
    if (result != kErrorNone) return result;
  }
  // One named source onto a path that is not a folder: the copy takes that path.
  if (sources.size() == 1 && !wildcard && !isFolder(target)) return copyOne(entries.front(), target);
  if (!exists(target) && (injectedFault(FaultSite::CreateFolder, errno) || mkdir(target.c_str(), 0777) != 0)) {
    return kErrorAccessDenied;
  }
  if (!isFolder(target)) return kErrorAlreadyExists;
  for (const std::string& entry : entries) {
    int result = copyOne(entry, target + "/" + fileNameOf(entry));
    if (result != kErrorNone) return result;
  }
  return kErrorNone;
}

int deletePaths(const std::vector<std::string>& sources) {
  if (sources.empty()) return kErrorBadArguments;
  for (const std::string& source : sources) {
    std::vector<std::string> entries;
    int result = expandSource(source, entries);
    for (size_t i = 0; result == kErrorNone && i < entries.size(); ++i) result = removeTree(entries[i]);
    if (result != kErrorNone) return result;
  }
  return kErrorNone;
}

int renamePaths(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
  if (sources.size() != 1 || targets.size() != 1) return kErrorBadArguments;
  if (!exists(sources.front())) return kErrorNotFound;
  // As on Windows, a rename never replaces what stands under the new name.
  if (exists(targets.front())) return kErrorAlreadyExists;
  if (injectedFault(FaultSite::Rename, errno)) return kErrorAccessDenied;
  return std::rename(sources.front().c_str(), targets.front().c_str()) == 0 ? kErrorNone : kErrorAccessDenied;
}

}  // namespace

int shellFileOperation(ShellOperation operation, const char16_t* from, const char16_t* to, uint32_t) {
  if (from == nullptr) return kErrorBadArguments;
  std::vector<std::string> sources = pathList(from);
  switch (operation) {
    case ShellOperation::Copy:
      return copyPaths(sources, pathList(to));
    case ShellOperation::Delete:
      return deletePaths(sources);
    case ShellOperation::Rename:
      return renamePaths(sources, pathList(to));
    case ShellOperation::Move:
      break;
  }
  return kErrorBadArguments;
}

}  // namespace platform
