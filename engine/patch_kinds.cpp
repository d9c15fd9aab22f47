#include "engine/patch_kinds.h"

#include "engine/folder_entries.h"

namespace {

using platform::EntryKind;

bool fits(const std::u16string& extracted, const std::u16string& installed) {
  platform::FolderListing listing((extracted + u"*").c_str(), platform::ListingDetail::FolderBitOnly);
  if (!listing.valid()) return false;
  platform::FolderEntry entry;
  while (listing.next(entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    const EntryKind there = kindOf(installed + entry.name);
    if (there == EntryKind::None) continue;  // new: nothing to clash with
    // The extraction holds only what the reader made: files and folders.
    const bool folder = (entry.attributes & platform::kAttributeDirectory) != 0;
    if (there == EntryKind::Unknown || (folder && there != EntryKind::Folder) ||
        (!folder && there == EntryKind::Folder)) {
      return false;
    }
    if (folder && !fits(extracted + entry.name + u'\\', installed + entry.name + u'\\')) return false;
  }
  return true;
}

}  // namespace

bool patchKindsFitInstallation(const char16_t* extractFolder, const char16_t* installFolder) {
  return fits(asFolder(extractFolder), asFolder(installFolder));
}
