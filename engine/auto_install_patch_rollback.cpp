#include "engine/auto_install_patch_rollback.h"

#include <string>
#include <vector>

#include "engine/folder_entries.h"
#include "engine/tree_operations.h"
#include "engine/work_folders.h"

namespace {

using platform::EntryKind;

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

struct Trees {
  std::u16string extracted;
  std::u16string backedUp;
  std::u16string installed;
};

// Removes what the patch added below the relative folder, and notes in toPutBack
// every entry there that the backup holds: those the copy may have written over.
// Folders that all three trees hold are gone into instead.
bool removeAddedNotingTheRest(const Trees& trees, const std::u16string& relative,
                              std::vector<std::u16string>& toPutBack) {
  bool whole = true;
  const bool listed = forEachEntry(trees.extracted + relative, [&](const std::u16string& name) {
    const std::u16string entry = relative + name;
    const EntryKind inBackup = kindOf(trees.backedUp + entry);
    if (inBackup == EntryKind::None) {
      whole = removeLiterally(trees.installed + entry) && whole;
    } else if (inBackup == EntryKind::Unknown) {
      whole = false;  // neither added nor surely backed up: nothing may be done to it
    } else if (inBackup == EntryKind::Folder && kindOf(trees.extracted + entry) == EntryKind::Folder &&
               kindOf(trees.installed + entry) == EntryKind::Folder) {
      whole = removeAddedNotingTheRest(trees, entry + u'\\', toPutBack) && whole;
    } else {
      toPutBack.push_back(entry);
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

// The shell copy of the sources (a pattern, or one entry) into the folder.
bool shellCopy(const std::u16string& source, const std::u16string& folder) {
  char16_t from[kPathBufferLength] = {};
  char16_t to[kPathBufferLength] = {};
  if (source.size() > kShellPathMaxLength || folder.size() > kShellPathMaxLength) return false;
  source.copy(from, source.size());
  folder.copy(to, folder.size());
  return copyFolderContents(from, to);
}

// Both files hold the same bytes. False also when either cannot be read.
bool sameContent(const std::u16string& a, const std::u16string& b) {
  platform::File first = platform::File::openForReading(a.c_str());
  platform::File second = platform::File::openForReading(b.c_str());
  if (!first.isOpen() || !second.isOpen()) return false;
  constexpr uint32_t kChunk = 64 * 1024;
  std::string one(kChunk, '\0');
  std::string other(kChunk, '\0');
  for (;;) {
    uint32_t gotOne = 0;
    uint32_t gotOther = 0;
    if (!first.read(one.data(), kChunk, gotOne) || !second.read(other.data(), kChunk, gotOther)) return false;
    if (gotOne != gotOther || one.compare(0, gotOne, other, 0, gotOther) != 0) return false;
    if (gotOne == 0) return true;
  }
}

// A file that holds the backup's bytes needs no putting back, and may lie
// where this user cannot write: it stays, and gets back only the time and bits
// the copy may have given it (where that fails, as for another owner's file,
// the bytes still are the backup's). False when its bytes differ.
bool passedOver(const std::u16string& source, const std::u16string& target) {
  if (!sameContent(source, target)) return false;
  platform::matchTimesAndPermissions(source.c_str(), target.c_str());
  return true;
}

// The shell's copy stops at its first failure; this walk goes on past it, and
// past files that need no putting back.
bool putBackOneByOne(const std::u16string& backedUp, const std::u16string& installed) {
  bool whole = true;
  const bool listed = forEachEntry(backedUp, [&](const std::u16string& name) {
    const std::u16string source = backedUp + name;
    const std::u16string target = installed + name;
    if (kindOf(source) != EntryKind::Folder) {
      if (kindOf(target) != EntryKind::File || !passedOver(source, target)) {
        whole = platform::copyFile(source.c_str(), target.c_str()) && whole;
      }
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

bool putBackEverything(const std::u16string& backedUp, const std::u16string& installed) {
  return shellCopy(backedUp + u"*", installed) || putBackOneByOne(backedUp, installed);
}

// Puts one backed-up entry back: a file over whatever the patch made of it
// (unless passed over), a folder with all it holds.
bool putBackEntry(const Trees& trees, const std::u16string& entry) {
  const std::u16string source = trees.backedUp + entry;
  const std::u16string target = trees.installed + entry;
  const EntryKind backedUp = kindOf(source);
  const EntryKind there = kindOf(target);
  if (backedUp == EntryKind::File && there == EntryKind::File && passedOver(source, target)) return true;
  const size_t separator = entry.find_last_of(u'\\');
  const std::u16string folder =
      trees.installed + (separator == std::u16string::npos ? u"" : entry.substr(0, separator + 1));
  // A file where the patch made a folder, or the other way round: what the
  // patch made goes first.
  if (there != EntryKind::None && (there == EntryKind::Folder) != (backedUp == EntryKind::Folder) &&
      !removeLiterally(target)) {
    return false;
  }
  if (shellCopy(source, folder)) return true;
  if (backedUp != EntryKind::Folder) return platform::copyFile(source.c_str(), target.c_str());
  return (kindOf(target) == EntryKind::Folder || platform::createFolder(target.c_str())) &&
         putBackOneByOne(source + u'\\', target + u'\\');
}

}  // namespace

bool rollBackPatch(const char16_t* extractFolder, const char16_t* backupFolder, const char16_t* installFolder) {
  // The installation folder may itself be a junction or link; nothing in it is followed.
  if (platform::reachedKind(installFolder) != EntryKind::Folder) return false;
  const Trees trees{asFolder(extractFolder), asFolder(backupFolder), asFolder(installFolder)};
  bool whole = removeLeftoverPartials(trees.backedUp, trees.backedUp, trees.installed);
  if (platform::entryKind(extractFolder) != EntryKind::Folder) {
    return putBackEverything(trees.backedUp, trees.installed) && whole;
  }

  std::vector<std::u16string> toPutBack;
  const bool addedGone = removeAddedNotingTheRest(trees, u"", toPutBack) &&
                         removeLeftoverPartials(trees.extracted, trees.backedUp, trees.installed);
  // The extraction folder stays while it is still needed to tell what the patch
  // added. Once it is renamed, a run that dies from here on finds none, and
  // puts the whole backup back.
  whole = addedGone && removeAsOneStep(extractFolder) && whole;
  for (const std::u16string& entry : toPutBack) whole = putBackEntry(trees, entry) && whole;
  return whole;
}
