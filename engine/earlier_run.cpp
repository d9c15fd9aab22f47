// What a patch run that died left, finished or cleared by the next run, "Y" or "N".
#include "engine/auto_install_patch_rollback.h"
#include "engine/auto_update_base.h"
#include "engine/paths.h"
#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
#include "engine/version_record.h"
#include "engine/work_folders.h"

namespace {

struct PatchWorkFolders {
  char16_t backup[kPathBufferLength] = {};
  char16_t extract[kPathBufferLength] = {};
  char16_t install[kPathBufferLength] = {};

  bool build() {
    return appendClientDataPath(backup, kBackupFolderName) && appendClientDataPath(extract, kExtractFolderName) &&
           appendModuleFolderPath(install, u"") && std::char_traits<char16_t>::length(backup) <= kShellPathMaxLength &&
           std::char_traits<char16_t>::length(extract) <= kShellPathMaxLength;
  }
};

// True when nothing stands under the path afterwards.
bool removeWholly(char16_t* path) {
  return platform::entryKind(path) == platform::EntryKind::None || (deletePath(path) && !platform::pathExists(path));
}

// The patch folder of a run that died while deleting it, and a marker that
// was being placed, are the updater's own and only ever deleted; so is a link
// planted under the marker's name.
void removeLeftoverWorkNames() {
  removeStrayMarkers();
  char16_t leaving[kPathBufferLength] = {};
  if (appendClientDataPath(leaving, kLeavingPatchFolderName) &&
      std::char_traits<char16_t>::length(leaving) <= kShellPathMaxLength) {
    removeWholly(leaving);
  }
}

}  // namespace

bool CAutoUpdateBase::settleEarlierRun() {
  removeLeftoverWorkNames();
  const RestoreMarker marker = readRestoreMarker();
  if (marker.state == MarkerState::None) return true;
  if (marker.state == MarkerState::Unreadable) return false;
  switch (ownerOf(marker)) {
    case MarkerOwner::ThisInstallation:
      return marker.state == MarkerState::Restore ? finishInterruptedPatch() : recordConfirmedPatch();
    case MarkerOwner::GoneInstallation: {
      // Nothing is left to put back where it came from.
      PatchWorkFolders folders;
      return folders.build() && removeWholly(folders.backup) && removeWholly(folders.extract) && removeRestoreMarker();
    }
    case MarkerOwner::AnotherInstallation:
    case MarkerOwner::Unknown:
      break;
  }
  // Its own next run finishes it; this one must not put that backup here.
  return false;
}

bool CAutoUpdateBase::finishInterruptedPatch() {
  PatchWorkFolders folders;
  if (!folders.build()) return false;
  // The marker is placed only once the backup is whole; a backup that is gone
  // since has nothing left to put back. One that cannot be told about waits.
  const platform::EntryKind backup = platform::entryKind(folders.backup);
  if (backup == platform::EntryKind::Unknown) return false;
  if (backup != platform::EntryKind::Folder) return removeRestoreMarker();

  // The client ends and an interrupted parking's leftovers go; then the files
  // in use stand as copies that the restore may replace.
  CAutoUpdateBase::prepareUpdate();
  moveLockedFilesAside();
  const bool whole = rollBackPatch(folders.extract, folders.backup, folders.install);
  restoreLockedFiles();
  return whole && removeRestoreMarker();
}

bool CAutoUpdateBase::recordConfirmedPatch() {
  PatchWorkFolders folders;
  if (!folders.build()) return false;
  // The backup is no longer needed, and the record may need its room.
  removeWholly(folders.backup);
  removeWholly(folders.extract);
  return recordVersionOutcome(true) != VersionRecordResult::Failed && removeRestoreMarker();
}
