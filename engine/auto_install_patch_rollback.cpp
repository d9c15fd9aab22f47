#include "engine/auto_install_patch_rollback.h"

#include <string>

#include "engine/tree_operations.h"
#include "platform/platform.h"

namespace {

using platform::EntryKind;

std::u16string asFolder(const char16_t* path) {
  std::u16string folder = path;
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

EntryKind kindOf(const std::u16string& path) { return platform::entryKind(path.c_str()); }

// Calls visit with the bare name of every entry of the folder (no dot entries).
// False when the folder cannot be listed.
template <typename Visit>
bool forEachEntry(const std::u16string& folder, Visit visit) {
  platform::FolderListing listing((folder + u"*").c_str());
  if (!listing.valid()) return false;
  platform::FolderEntry entry;
  while (listing.next(entry)) {
    if (entry.name != u"." && entry.name != u"..") visit(entry.name);
  }
  return true;
}

// Removes what stands under path: a file, a link itself, or a folder with all
// it holds, never through a link. True when nothing stands there afterwards.
bool removeLiterally(const std::u16string& path) {
  switch (kindOf(path)) {
    case EntryKind::None:
      return true;
    case EntryKind::File:
      return platform::deleteFile(path.c_str());
    case EntryKind::Link:
      return platform::deleteFile(path.c_str()) || platform::removeFolder(path.c_str());
    case EntryKind::Unknown:
      return false;  // something may stand there, and nothing tells what
    case EntryKind::Folder:
      break;
  }
  bool whole = true;
  const std::u16string folder = asFolder(path.c_str());
  forEachEntry(folder, [&](const std::u16string& name) { whole = removeLiterally(folder + name) && whole; });
  return platform::removeFolder(path.c_str()) && whole;
}

bool removeAdded(const std::u16string& extracted, const std::u16string& backedUp, const std::u16string& installed) {
  bool whole = true;
  const bool listed = forEachEntry(extracted, [&](const std::u16string& name) {
    // Only what the backup surely lacks was added; an entry the query cannot
    // tell about is left alone.
    const EntryKind inBackup = kindOf(backedUp + name);
    if (inBackup == EntryKind::None) {
      whole = removeLiterally(installed + name) && whole;
    } else if (inBackup == EntryKind::Folder && kindOf(extracted + name) == EntryKind::Folder &&
               kindOf(installed + name) == EntryKind::Folder) {
      whole = removeAdded(extracted + name + u'\\', backedUp + name + u'\\', installed + name + u'\\') && whole;
    }
  });
  return listed && whole;
}

// A copy that died over the installation may have left its passing name in
// any folder it wrote to, the folders of tree. One the backup does not hold is
// that leftover; one it holds is the user's and stays.
bool removeLeftoverPartials(const std::u16string& tree, const std::u16string& backedUp,
                            const std::u16string& installed) {
  bool whole = true;
  if (kindOf(installed + platform::kPartialCopyName) != EntryKind::None &&
      kindOf(backedUp + platform::kPartialCopyName) == EntryKind::None) {
    whole = removeLiterally(installed + platform::kPartialCopyName);
  }
  forEachEntry(tree, [&](const std::u16string& name) {
    if (kindOf(tree + name) == EntryKind::Folder && kindOf(installed + name) == EntryKind::Folder) {
      whole = removeLeftoverPartials(tree + name + u'\\', backedUp + name + u'\\', installed + name + u'\\') && whole;
    }
  });
  return whole;
}

// The shell's copy stops at its first failure; this walk goes on past it.
bool putBackOneByOne(const std::u16string& backedUp, const std::u16string& installed) {
  bool whole = true;
  const bool listed = forEachEntry(backedUp, [&](const std::u16string& name) {
    const std::u16string source = backedUp + name;
    const std::u16string target = installed + name;
    if (kindOf(source) != EntryKind::Folder) {
      whole = platform::copyFile(source.c_str(), target.c_str()) && whole;
      return;
    }
    const EntryKind there = kindOf(target);
    if (there == EntryKind::None && !platform::createFolder(target.c_str())) {
      whole = false;
    } else if (there != EntryKind::None && there != EntryKind::Folder) {
      whole = false;
    } else {
      whole = putBackOneByOne(source + u'\\', target + u'\\') && whole;
    }
  });
  return listed && whole;
}

bool putBack(const std::u16string& backedUp, const std::u16string& installed) {
  char16_t everythingBackedUp[kPathBufferLength] = {};
  char16_t target[kPathBufferLength] = {};
  const std::u16string pattern = backedUp + u"*";
  if (pattern.size() <= kShellPathMaxLength && installed.size() <= kShellPathMaxLength) {
    pattern.copy(everythingBackedUp, pattern.size());
    installed.copy(target, installed.size());
    if (copyFolderContents(everythingBackedUp, target)) return true;
  }
  return putBackOneByOne(backedUp, installed);
}

}  // namespace

bool rollBackPatch(const char16_t* extractFolder, const char16_t* backupFolder, const char16_t* installFolder) {
  const std::u16string extracted = asFolder(extractFolder);
  const std::u16string backedUp = asFolder(backupFolder);
  const std::u16string installed = asFolder(installFolder);
  bool removed = true;
  if (kindOf(extractFolder) == EntryKind::Folder) {
    removed = removeAdded(extracted, backedUp, installed) && removeLeftoverPartials(extracted, backedUp, installed) &&
              removeLiterally(extractFolder);
  }
  removed = removeLeftoverPartials(backedUp, backedUp, installed) && removed;
  return putBack(backedUp, installed) && removed;
}
