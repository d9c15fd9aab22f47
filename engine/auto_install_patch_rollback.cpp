#include "engine/auto_install_patch_rollback.h"

#include <string>

#include "engine/bounded_path.h"
#include "engine/tree_operations.h"
#include "platform/platform.h"

namespace {

std::u16string asFolder(const char16_t* path) {
  std::u16string folder = path;
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

void removeAdded(const std::u16string& extracted, const std::u16string& backedUp, const std::u16string& installed) {
  platform::FolderListing listing((extracted + u"*.*").c_str());
  platform::FolderEntry entry;
  while (listing.next(entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    const std::u16string inBackup = backedUp + entry.name;
    if (!platform::pathExists(inBackup.c_str())) {
      char16_t target[kPathBufferLength] = {};
      if (joinPath(target, kShellPathMaxLength, {installed.c_str(), entry.name.c_str()}) &&
          platform::pathExists(target)) {
        deletePath(target);
      }
    } else if ((entry.attributes & platform::kAttributeDirectory) != 0) {
      removeAdded(extracted + entry.name + u'\\', inBackup + u'\\', installed + entry.name + u'\\');
    }
  }
}

}  // namespace

void removeEntriesAddedByPatch(const char16_t* extractFolder, const char16_t* backupFolder,
                               const char16_t* installFolder) {
  removeAdded(asFolder(extractFolder), asFolder(backupFolder), asFolder(installFolder));
}
