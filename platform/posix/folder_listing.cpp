// Folder enumeration on POSIX, shaped like FindFirstFileW / FindNextFileW.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/ntfs_order.h"
#include "platform/posix/posix_path.h"

namespace platform {

struct FolderListing::State {
  std::vector<FolderEntry> entries;
  size_t position = 0;
};

namespace {

// "*" and "?" as the Windows file patterns use them, letters without case;
// "*.*" matches every name, with or without a dot.
bool matchesPattern(const char16_t* name, const char16_t* pattern) {
  if (pattern[0] == u'*' && pattern[1] == u'.' && pattern[2] == u'*' && pattern[3] == 0) return true;
  if (*pattern == 0) return *name == 0;
  if (*pattern == u'*') {
    for (const char16_t* rest = name;; ++rest) {
      if (matchesPattern(rest, pattern + 1)) return true;
      if (*rest == 0) return false;
    }
  }
  if (*name == 0) return false;
  if (*pattern != u'?' && posix::upperCaseUnit(*pattern) != posix::upperCaseUnit(*name)) return false;
  return matchesPattern(name + 1, pattern + 1);
}

// The entries in NTFS order, each key made once.
void sortInNtfsOrder(std::vector<FolderEntry>& entries) {
  std::vector<std::pair<posix::NtfsSortKey, FolderEntry>> keyed;
  keyed.reserve(entries.size());
  for (FolderEntry& entry : entries) keyed.emplace_back(posix::NtfsSortKey(entry.name), std::move(entry));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) entries[i] = std::move(keyed[i].second);
}

// Folders carry the directory bit; files are normal. Permissions stand in for
// the read-only bit: a name starting with "." is not hidden here.
// Asked relative to the open folder, so that the path is not walked again for each entry.
uint32_t attributesOf(int folder, const char* name) {
  struct stat info;
  if (fstatat(folder, name, &info, 0) != 0 && fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return kAttributeNormal;
  }
  uint32_t attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeNormal;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  return attributes;
}

}  // namespace

FolderListing::FolderListing(const char16_t* pattern, ListingDetail detail) : state_(std::make_unique<State>()) {
  if (pattern == nullptr || pattern[0] == 0) return;
  std::u16string text = pattern;
  size_t separator = text.find_last_of(u"\\/");
  std::u16string folder = separator == std::u16string::npos ? u"." : text.substr(0, separator + 1);
  std::u16string namePattern = separator == std::u16string::npos ? text : text.substr(separator + 1);
  std::string folderPath = posix::systemPath(folder.c_str());

  DIR* directory = opendir(folderPath.c_str());
  if (directory == nullptr) return;
  std::vector<FolderEntry> dots;
  while (dirent* item = readdir(directory)) {
    // Windows names never hold "\"; here one would be read as a path.
    if (std::strchr(item->d_name, '\\') != nullptr) continue;
    FolderEntry entry;
    entry.name = posix::fromUtf8(item->d_name, std::strlen(item->d_name));
    if (!matchesPattern(entry.name.c_str(), namePattern.c_str())) continue;
    // A plain file or folder says what it is; a link is asked about, since a
    // listing names a link to a folder as a folder.
    const bool toldByType =
        detail == ListingDetail::FolderBitOnly && (item->d_type == DT_DIR || item->d_type == DT_REG);
    entry.attributes = !toldByType              ? attributesOf(dirfd(directory), item->d_name)
                       : item->d_type == DT_DIR ? kAttributeDirectory
                                                : kAttributeNormal;
    bool isDot = entry.name == u"." || entry.name == u"..";
    if (isDot) entry.attributes = kAttributeDirectory;
    (isDot ? dots : state_->entries).push_back(std::move(entry));
  }
  closedir(directory);
  sortInNtfsOrder(dots);
  sortInNtfsOrder(state_->entries);
  state_->entries.insert(state_->entries.begin(), dots.begin(), dots.end());
}

FolderListing::~FolderListing() = default;

bool FolderListing::valid() const { return !state_->entries.empty(); }

bool FolderListing::next(FolderEntry& entry) {
  if (state_->position >= state_->entries.size()) return false;
  entry = state_->entries[state_->position++];
  return true;
}

}  // namespace platform
