// "Y": start the one installer of the download folder and wait for it.
#include "engine/auto_fully_install.h"

#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
#include "engine/work_folders.h"
#include "platform/platform.h"

namespace {
constexpr char kDownloadFolderName[] = "downupdatefile";
}

CAutoFullyInstall::CAutoFullyInstall() {
  downloadFolder[0] = 0;
  char16_t name[128] = {};
  // Without its own name the folder stays empty, and the run stops at prepareUpdate.
  if (narrowToWide(kDownloadFolderName, name, 128)) appendClientDataPath(downloadFolder, name);
  supersedesEarlierPatch = true;
}

bool CAutoFullyInstall::prepareUpdate() {
  if (!CAutoUpdateBase::prepareUpdate()) return false;
  return platform::pathExists(downloadFolder);
}

bool CAutoFullyInstall::preparePayload() {
  if (!platform::pathExists(downloadFolder)) return false;
  listFilesInFolder(downloadFolder, fileNames);
  return fileNames.size() == 1;
}

bool CAutoFullyInstall::applyUpdate() {
  if (fileNames.empty()) return false;
  char16_t installerPath[kPathBufferLength] = {};
  std::u16string joined = std::u16string(downloadFolder) + u"\\" + fileNames.back();
  // A path that does not fit is not started under some other, cut name.
  if (joined.size() + 1 > kPathBufferLength) return false;
  joined.copy(installerPath, joined.size());
  // Neither the launch nor the installer's exit code decides the outcome. An
  // installer that cannot start changes nothing, and an interrupted patch's
  // restore stays for the next run.
  platform::HeldProgram installer(installerPath);
  if (!installer.started()) return true;
  // Held before it runs anything, while no file operation stands between: a
  // marker of this installation would have a later run put the backup over
  // what the installer writes, whether it ends the updater, a reboot does, or
  // it fails half-way. Where that marker cannot go, the installer never runs.
  bool superseded = false;
  if (!clearMarkerBeforeFullInstall(superseded)) return true;
  installer.runAndWait();
  if (superseded) removeBackupAndExtraction();
  return true;
}
