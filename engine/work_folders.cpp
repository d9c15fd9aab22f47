#include "engine/work_folders.h"

#include <string>

#include "engine/folder_entries.h"
#include "engine/paths.h"
#include "engine/tree_operations.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

using platform::EntryKind;

// Copies a path into a shell buffer; false when it does not fit there.
bool shellPath(const std::u16string& path, char16_t (&buffer)[kPathBufferLength]) {
  if (path.empty() || path.size() > kShellPathMaxLength) return false;
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  return true;
}

std::u16string withoutEndingSeparator(const char16_t* path) {
  std::u16string text = path;
  while (!text.empty() && (text.back() == u'\\' || text.back() == u'/')) text.pop_back();
  return text;
}

// The names in the folder (with its separator) under which a file of the
// updater's own is made before it replaces what stands beside it.
std::u16string givingWayPath(const std::u16string& folder, int attempt) {
  std::u16string name = folder + kGivingWayName;
  if (attempt > 0) name += std::u16string(u".") + static_cast<char16_t>(u'0' + attempt);
  return name;
}

// Puts a file of the updater's own in place of the file under path, so that
// only that file is ever deleted: Wine shows a host's link to a file as a
// plain file, and deletes what it points to. It is made under a free name:
// what stands under any other name may be such a link, and Wine moves what a
// link points to. Its one byte is no marker either, should the run die before
// deleting it. Where the replacement is refused (a read-only file on
// Windows), the entry stays for deleteOwnFile, which clears that.
bool giveWayToOwnFile(const std::u16string& path) {
  const std::u16string folder = path.substr(0, path.find_last_of(u'\\') + 1);
  std::u16string ownFile;
  for (int attempt = 0; attempt < kGivingWayNames && ownFile.empty(); ++attempt) {
    const std::u16string candidate = givingWayPath(folder, attempt);
    if (candidate != path && platform::entryKind(candidate.c_str()) == EntryKind::None) ownFile = candidate;
  }
  if (ownFile.empty()) return false;
  platform::File file = platform::File::createNew(ownFile.c_str());
  const bool created = file.isOpen();
  uint32_t written = 0;
  const bool made = created && file.write("?", 1, written) && written == 1;
  file.close();
  if (made && platform::moveIntoPlace(ownFile.c_str(), path.c_str())) return true;
  if (created) platform::deleteFile(ownFile.c_str());
  return platform::entryKind(path.c_str()) == EntryKind::File;
}

bool removeClientDataFolder(const std::u16string& name) {
  char16_t path[kPathBufferLength] = {};
  return appendClientDataPath(path, name.c_str()) && removeOwnEntry(path);
}

}  // namespace

bool removeOwnEntry(const char16_t* path) {
  char16_t shellForm[kPathBufferLength] = {};
  const std::u16string text = withoutEndingSeparator(path);
  switch (platform::entryKind(text.c_str())) {
    case EntryKind::None:
      return true;
    case EntryKind::Unknown:
      return false;
    case EntryKind::Link:
      // The link itself, a junction too: never what it points to.
      if (!platform::deleteOwnFile(text.c_str())) return false;
      break;
    case EntryKind::File:
      if (!giveWayToOwnFile(text) || !platform::deleteOwnFile(text.c_str())) return false;
      break;
    case EntryKind::Folder:
      if (!shellPath(text, shellForm) || !deletePath(shellForm)) return false;
      break;
  }
  return platform::entryKind(text.c_str()) == EntryKind::None;
}

bool removeAsOneStep(const char16_t* folder) {
  const std::u16string path = withoutEndingSeparator(folder);
  char16_t from[kPathBufferLength] = {};
  char16_t leaving[kPathBufferLength] = {};
  if (!shellPath(path, from) || !shellPath(path + kLeavingSuffix, leaving)) return false;
  const EntryKind kind = platform::entryKind(from);
  if (kind == EntryKind::Unknown) return false;
  // Only a real folder is renamed: Wine moves what a host's link points to.
  if (kind != EntryKind::Folder) return removeOwnEntry(from) && removeOwnEntry(leaving);
  if (!(removeOwnEntry(leaving) && renamePath(from, leaving))) return false;
  return removeOwnEntry(leaving);
}

void removeGivingWayFiles(const char16_t* folder) {
  for (int attempt = 0; attempt < kGivingWayNames; ++attempt) {
    removeOwnEntry(givingWayPath(asFolder(folder), attempt).c_str());
  }
}

void removeLeavingFolders() {
  char16_t patchFolderName[128] = {};
  if (narrowToWide(kPatchFolderName, patchFolderName, 128)) {
    removeClientDataFolder(std::u16string(patchFolderName) + kLeavingSuffix);
  }
  removeClientDataFolder(std::u16string(kExtractFolderName) + kLeavingSuffix);
}

bool removeBackupAndExtraction() {
  const bool backupGone = removeClientDataFolder(kBackupFolderName);
  return removeClientDataFolder(kExtractFolderName) && backupGone;
}
