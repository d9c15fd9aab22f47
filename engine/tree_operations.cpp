// The engine's copy, delete and rename of whole trees, and the folder listing.
#include "engine/tree_operations.h"

#include "engine/paths.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kCopyFlags = platform::kShellSilent | platform::kShellNoConfirmation |
                                platform::kShellNoConfirmMkdir | platform::kShellNoErrorUi;         // 0x614
constexpr uint32_t kDeleteFlags = platform::kShellNoConfirmation | platform::kShellNoErrorUi;       // 0x410
constexpr uint32_t kRenameFlags = platform::kShellNoConfirmation | platform::kShellNoConfirmMkdir;  // 0x210

// The shell takes a list of paths ended by a second NUL, written into the
// caller's buffer behind the path.
bool terminateAsList(char16_t* path) {
  size_t length = 0;
  while (length < kPathBufferLength - 1 && path[length] != 0) ++length;
  if (path[length] != 0 || length > kShellPathMaxLength) return false;
  path[length + 1] = 0;
  return true;
}

}  // namespace

bool copyFolderContents(char16_t* sourcePattern, char16_t* targetFolder) {
  if (sourcePattern == nullptr || targetFolder == nullptr) return false;
  if (!terminateAsList(sourcePattern) || !terminateAsList(targetFolder)) return false;
  if (!platform::pathExists(targetFolder) && !platform::createFolder(targetFolder)) return false;
  return platform::shellFileOperation(platform::ShellOperation::Copy, sourcePattern, targetFolder, kCopyFlags) == 0;
}

bool deletePath(char16_t* path) {
  if (path == nullptr || !terminateAsList(path)) return false;
  return platform::shellFileOperation(platform::ShellOperation::Delete, path, nullptr, kDeleteFlags) == 0;
}

bool renamePath(char16_t* from, char16_t* to) {
  if (from == nullptr || to == nullptr || !terminateAsList(from) || !terminateAsList(to)) return false;
  return platform::shellFileOperation(platform::ShellOperation::Rename, from, to, kRenameFlags) == 0;
}

void listFilesInFolder(const char16_t* folder, std::list<std::u16string>& names) {
  if (folder == nullptr || !platform::setCurrentFolder(folder)) return;
  platform::FolderListing listing(u"*.*");
  if (!listing.valid()) return;
  platform::FolderEntry entry;
  while (listing.next(entry)) {
    if ((entry.attributes & platform::kAttributeDirectory) == 0) names.push_back(entry.name);
  }
}
