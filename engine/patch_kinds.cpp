#include "engine/patch_kinds.h"

#include "engine/folder_entries.h"

namespace {

using platform::EntryKind;

bool fits(const std::u16string& extracted, const std::u16string& installed) {
  bool fitting = true;
  const bool listed =
      forEachFolderEntry(extracted, platform::ListingDetail::FolderBitOnly, [&](const platform::FolderEntry& entry) {
        if (!fitting) return;
        const EntryKind there = kindOf(installed + entry.name);
        if (there == EntryKind::None) return;  // new: nothing to clash with
        // The extraction holds only what the reader made: files and folders.
        const bool folder = (entry.attributes & platform::kAttributeDirectory) != 0;
        if (there == EntryKind::Unknown || (folder && there != EntryKind::Folder) ||
            (!folder && there == EntryKind::Folder)) {
          fitting = false;
        } else if (folder) {
          fitting = fits(extracted + entry.name + u'\\', installed + entry.name + u'\\');
        }
      });
  return listed && fitting;
}

}  // namespace

bool patchKindsFitInstallation(const char16_t* extractFolder, const char16_t* installFolder) {
  return fits(asFolder(extractFolder), asFolder(installFolder));
}
