#include "engine/patch_kinds.h"

#include "engine/folder_entries.h"

namespace {

using platform::EntryKind;

bool fits(const std::u16string& extracted, const std::u16string& installed) {
  bool fitting = true;
  const bool listed = forEachEntry(extracted, [&](const std::u16string& name) {
    if (!fitting) return;
    const EntryKind there = kindOf(installed + name);
    if (there == EntryKind::None) return;  // new: nothing to clash with
    const bool folder = kindOf(extracted + name) == EntryKind::Folder;
    if (there == EntryKind::Unknown || (folder && there != EntryKind::Folder) ||
        (!folder && there == EntryKind::Folder)) {
      fitting = false;
    } else if (folder) {
      fitting = fits(extracted + name + u'\\', installed + name + u'\\');
    }
  });
  return listed && fitting;
}

}  // namespace

bool patchKindsFitInstallation(const char16_t* extractFolder, const char16_t* installFolder) {
  return fits(asFolder(extractFolder), asFolder(installFolder));
}
