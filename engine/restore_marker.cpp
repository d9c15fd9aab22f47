// What every run decides from the restore marker: before its own steps, what
// an earlier patch run left is finished or cleared; after them, what the
// outcome leaves of it.
#include "engine/restore_marker.h"

#include "engine/ascii_text.h"
#include "engine/auto_install_patch_rollback.h"
#include "engine/auto_update_base.h"
#include "engine/paths.h"
#include "engine/version_record.h"
#include "engine/work_folders.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

using platform::EntryKind;

std::u16string folderOf(const std::u16string& path) {
  std::u16string drive;
  std::u16string folder;
  splitDriveAndFolder(path.c_str(), drive, folder);
  return drive + folder;
}

// One folder under two spellings (case, a link or junction) is still one.
bool sameFolder(const std::u16string& a, const std::u16string& b) {
  if (a == b) return true;
  platform::FileIdentity first;
  platform::FileIdentity second;
  return platform::readReachedIdentity(a.c_str(), first) && platform::readReachedIdentity(b.c_str(), second) &&
         first == second;
}

// Something stands there, nothing does, or that cannot be told.
enum class Presence { There, Gone, CannotTell };

Presence presenceOf(const std::u16string& path) {
  switch (platform::entryKind(path.c_str())) {
    case EntryKind::None:
      return Presence::Gone;
    case EntryKind::Unknown:
      return Presence::CannotTell;
    default:
      return Presence::There;
  }
}

// A drive that is not there reports its paths not found; that is no proof
// that the installation on it is gone.
bool driveStands(const std::u16string& path) {
  std::u16string drive;
  std::u16string folder;
  splitDriveAndFolder(path.c_str(), drive, folder);
  return drive.empty() || platform::entryKind((drive + u"\\").c_str()) == EntryKind::Folder;
}

}  // namespace

MarkerOwner ownerOf(const RestoreMarker& marker) {
  if (marker.updaterPath.empty()) return MarkerOwner::ThisInstallation;
  char16_t installFolder[kPathBufferLength] = {};
  const std::u16string markedFolder = folderOf(marker.updaterPath);
  if (markedFolder.empty() || !appendModuleFolderPath(installFolder, u"")) return MarkerOwner::Unknown;
  if (sameFolder(markedFolder, installFolder)) return MarkerOwner::ThisInstallation;
  if (!driveStands(markedFolder)) return MarkerOwner::Unknown;
  const Presence folder = presenceOf(markedFolder);
  if (folder != Presence::There) return folder == Presence::Gone ? MarkerOwner::GoneInstallation : MarkerOwner::Unknown;
  // While it runs, the updater there stands under its own name or its parked one.
  const Presence updater = presenceOf(marker.updaterPath);
  const Presence parked = presenceOf(markedFolder + kParkedExecutableName);
  if (updater == Presence::There || parked == Presence::There) return MarkerOwner::AnotherInstallation;
  if (updater == Presence::CannotTell || parked == Presence::CannotTell) return MarkerOwner::Unknown;
  return MarkerOwner::GoneInstallation;
}

bool installationStands() {
  char16_t updater[kPathBufferLength] = {};
  char16_t parked[kPathBufferLength] = {};
  char16_t folder[kPathBufferLength] = {};
  if (!readOwnExecutablePath(updater) || !appendModuleFolderPath(parked, kParkedExecutableName) ||
      !appendModuleFolderPath(folder, u"")) {
    return false;
  }
  // The folder may itself be a junction or link: the user chose where the installation lives.
  return platform::reachedKind(folder) == EntryKind::Folder &&
         (platform::entryKind(updater) == EntryKind::File || platform::entryKind(parked) == EntryKind::File);
}

void settleMarkerAfterRecord(MarkerState before, bool recorded) {
  // An unrecorded success keeps its marker: the next run tries the record once more.
  if (recorded && before == MarkerState::Confirmed) removeRestoreMarker();
}

bool clearMarkerBeforeFullInstall(bool& removedOwn) {
  removedOwn = false;
  const RestoreMarker marker = readRestoreMarker();
  switch (marker.state) {
    case MarkerState::None:
    case MarkerState::Corrupt:  // no run ever restores from it
      return true;
    case MarkerState::Unreadable:
      return false;
    case MarkerState::Restore:
    case MarkerState::Confirmed:
      break;
  }
  if (ownerOf(marker) != MarkerOwner::ThisInstallation) return true;
  // An installation that is not there (a detached volume) waits for its restore.
  if (marker.state == MarkerState::Restore && !installationStands()) return false;
  removedOwn = removeRestoreMarker();
  return removedOwn;
}

bool CAutoUpdateBase::settleEarlierRun() {
  // The passing names of a marker and of folders on their way out are the
  // updater's own and only ever deleted; so is a link under the marker's name.
  removeStrayMarkers();
  removeLeavingFolders();
  const RestoreMarker marker = readRestoreMarker();
  switch (marker.state) {
    case MarkerState::None:
      return true;
    case MarkerState::Unreadable:
      return false;
    case MarkerState::Corrupt:
      // No run could ever finish it; the next patch run clears the work folders.
      return removeRestoreMarker();
    case MarkerState::Restore:
    case MarkerState::Confirmed:
      break;
  }
  switch (ownerOf(marker)) {
    case MarkerOwner::ThisInstallation:
      return marker.state == MarkerState::Restore ? finishInterruptedPatch() : recordConfirmedPatch();
    case MarkerOwner::GoneInstallation:
      // Nothing is left to put back where it came from. The marker goes first:
      // one that stands always speaks for a whole backup.
      return removeRestoreMarker() && removeBackupAndExtraction();
    case MarkerOwner::AnotherInstallation:
    case MarkerOwner::Unknown:
      break;
  }
  // Its own next run finishes it; this one must not put that backup here.
  return false;
}

bool CAutoUpdateBase::finishInterruptedPatch() {
  char16_t backup[kPathBufferLength] = {};
  char16_t extract[kPathBufferLength] = {};
  char16_t install[kPathBufferLength] = {};
  if (!appendClientDataPath(backup, kBackupFolderName) || !appendClientDataPath(extract, kExtractFolderName) ||
      !appendModuleFolderPath(install, u"")) {
    return false;
  }
  // The marker is placed only once the backup is whole; a backup that is gone
  // since has nothing left to put back. One that cannot be told about waits.
  const EntryKind backupKind = platform::entryKind(backup);
  if (backupKind == EntryKind::Unknown) return false;
  if (backupKind != EntryKind::Folder) return removeRestoreMarker();

  // The client ends and an interrupted parking's leftovers go; then the files
  // in use stand as copies that the restore may replace.
  CAutoUpdateBase::prepareUpdate();
  moveLockedFilesAside();
  const bool whole = installationStands() && rollBackPatch(extract, backup, install);
  restoreLockedFiles();
  if (!whole || !removeRestoreMarker()) return false;
  // Put back, the backup is needed no more; what a failed delete leaves of it,
  // without a marker, the next patch run clears.
  removeBackupAndExtraction();
  return true;
}

bool CAutoUpdateBase::recordConfirmedPatch() {
  // The client may hold the database: it ends first, as before a restore.
  CAutoUpdateBase::prepareUpdate();
  // The backup is no longer needed, and the record may need its room. The
  // record is tried once: a success that cannot be recorded is, from here on,
  // what any unrecorded outcome is.
  removeBackupAndExtraction();
  recordVersionOutcome(true);
  return removeRestoreMarker();
}
