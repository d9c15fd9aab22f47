#include "engine/auto_install_patch.h"

#include <string>

#include "engine/auto_install_patch_rollback.h"
#include "engine/bounded_path.h"
#include "engine/extract_archive.h"
#include "engine/patch_kinds.h"
#include "engine/patch_order.h"
#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
#include "engine/work_folders.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

// A folder path that a builder refused is empty; a long one may fit its buffer
// but not with the pattern a later step puts behind it and the shell's second
// NUL. Either way no step may use it.
bool usableFolderPath(const char16_t* path, size_t patternLength = 0) {
  const size_t length = std::char_traits<char16_t>::length(path);
  return length > 0 && length + patternLength <= kShellPathMaxLength;
}

}  // namespace

CAutoInstallPatch::CAutoInstallPatch() {
  char16_t patchFolderName[128] = {};
  if (narrowToWide(kPatchFolderName, patchFolderName, 128)) appendClientDataPath(patchFolder, patchFolderName);
  appendClientDataPath(extractFolder, kExtractFolderName);
  appendClientDataPath(backupFolder, kBackupFolderName);
  appendModuleFolderPath(installFolder, u"");
}

bool CAutoInstallPatch::prepareUpdate() {
  if (!CAutoUpdateBase::prepareUpdate()) return false;
  // Checked here, before anything is deleted or copied, with the longest
  // pattern each folder gets later ("\*", or "*" behind the installation folder).
  if (!usableFolderPath(patchFolder) || !usableFolderPath(extractFolder, 2) || !usableFolderPath(backupFolder, 2) ||
      !usableFolderPath(installFolder, 1)) {
    return false;
  }
  // The extraction driver takes the destination, the extraction folder and
  // "\", in its own shorter buffers: one that does not fit there ends the run
  // now, not after the backup and the parking.
  char16_t destination[ZipMaxPath] = {};
  if (!joinPath(destination, ZipMaxPath - 1, {extractFolder, u"\\"})) return false;
  // An earlier run's files left in either folder would be copied over the
  // installation with this patch, or put back as its backup: a folder that
  // cannot be deleted ends the run before anything is copied.
  if (!removeBackupAndExtraction()) return false;
  if (!platform::pathExists(patchFolder)) return false;
  if (!platform::pathExists(extractFolder) && !platform::createFolder(extractFolder)) return false;
  return true;
}

bool CAutoInstallPatch::backupFiles() {
  char16_t everythingInstalled[kPathBufferLength] = {};
  if (!joinPath(everythingInstalled, kShellPathMaxLength, {installFolder, u"*"})) return false;
  return copyFolderContents(everythingInstalled, backupFolder);
}

bool CAutoInstallPatch::preparePayload() {
  listFilesInFolder(patchFolder, fileNames);
  if (fileNames.empty()) return false;

  char16_t destination[kPathBufferLength] = {};
  if (!joinPath(destination, kPathBufferLength - 1, {extractFolder, u"\\"})) return false;

  sortPatchNames(fileNames);
  for (const std::u16string& name : fileNames) {
    if (!isPatchArchiveName(name)) continue;
    char16_t archivePath[kPathBufferLength] = {};
    if (!joinPath(archivePath, kPathBufferLength - 1, {patchFolder, u"\\", name.c_str()})) return false;
    // The first archive that does not go in whole ends the patch; later ones
    // are not tried, and nothing has touched the installation yet.
    if (!extractArchive(archivePath, destination)) return false;
  }
  return true;
}

bool CAutoInstallPatch::applyUpdate() {
  char16_t everythingExtracted[kPathBufferLength] = {};
  if (!joinPath(everythingExtracted, kShellPathMaxLength, {extractFolder, u"\\*"})) return false;
  // The updater never makes the installation anew: a folder that is gone, or
  // a volume detached from under it, takes no patch.
  if (!installationStands()) return false;
  // A folder entry over a file, or a file over a folder, would have the one
  // written over the other, or stop the copy half-way: the patch fails whole.
  if (!patchKindsFitInstallation(extractFolder, installFolder)) return false;
  // Without the marker, a run that dies during the copy would leave a half
  // patched installation that no later run knows about.
  if (!placeRestoreMarker(MarkerState::Restore)) return false;
  // Once the copy is whole, the marker says so until the success is on record:
  // a run that dies before that records it next time, never restores.
  if (copyFolderContents(everythingExtracted, installFolder) &&
      (placeRestoreMarker(MarkerState::Confirmed) || removeRestoreMarker())) {
    return true;
  }

  // The copy stopped half-way. While the backup is not wholly back, it stays,
  // and with it the marker, so that the next run finishes the restore.
  if (installationStands() && rollBackPatch(extractFolder, backupFolder, installFolder)) removeRestoreMarker();
  return false;
}

bool CAutoInstallPatch::removeWorkFolders() {
  // A backup that is not wholly back yet is the next run's to put back.
  if (!backupStillNeeded(readRestoreMarker().state)) removeBackupAndExtraction();
  // The listing made the patch folder the current folder, and Windows does not
  // remove a folder that is a process's current folder: step out of it first.
  platform::setCurrentFolder(installFolder);
  // The patch folder goes as one step: a run that dies while deleting it must
  // not leave some of its archives to be applied alone.
  if (usableFolderPath(patchFolder)) removeAsOneStep(patchFolder);
  return true;
}
