#include "engine/work_folders.h"

#include <string>

#include "engine/paths.h"
#include "engine/tree_operations.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kLeavingSuffix[] = u".delete";

// Copies a path into a shell buffer; false when it does not fit there.
bool shellPath(const std::u16string& path, char16_t (&buffer)[kPathBufferLength]) {
  if (path.empty() || path.size() > kShellPathMaxLength) return false;
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  return true;
}

// True when nothing stands under the path afterwards.
bool removeWholly(char16_t* path) {
  const platform::EntryKind kind = platform::entryKind(path);
  if (kind == platform::EntryKind::None) return true;
  return kind != platform::EntryKind::Unknown && deletePath(path) &&
         platform::entryKind(path) == platform::EntryKind::None;
}

std::u16string withoutEndingSeparator(const char16_t* folder) {
  std::u16string path = folder;
  while (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
  return path;
}

bool removeClientDataFolder(const char16_t* name) {
  char16_t path[kPathBufferLength] = {};
  return appendClientDataPath(path, name) && std::char_traits<char16_t>::length(path) <= kShellPathMaxLength &&
         removeWholly(path);
}

}  // namespace

bool removeAsOneStep(const char16_t* folder) {
  const std::u16string path = withoutEndingSeparator(folder);
  char16_t from[kPathBufferLength] = {};
  char16_t leaving[kPathBufferLength] = {};
  if (!shellPath(path, from) || !shellPath(path + kLeavingSuffix, leaving)) return false;
  const platform::EntryKind kind = platform::entryKind(from);
  if (kind == platform::EntryKind::Unknown) return false;
  if (kind != platform::EntryKind::None && !(removeWholly(leaving) && renamePath(from, leaving))) return false;
  return removeWholly(leaving);
}

void removeLeavingFolders() {
  removeClientDataFolder(kLeavingPatchFolderName);
  removeClientDataFolder(kLeavingExtractFolderName);
}

bool removeBackupAndExtraction() {
  const bool backupGone = removeClientDataFolder(kBackupFolderName);
  return removeClientDataFolder(kExtractFolderName) && backupGone;
}
