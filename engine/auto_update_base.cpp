// The run sequence and the three steps that both procedures share.
#include "engine/auto_update_base.h"

#include <memory>

#include "engine/ascii_text.h"
#include "engine/paths.h"
#include "engine/tree_operations.h"
#include "engine/work_names.h"

namespace {

// The two files of the installation that the running updater holds. The
// executable has whatever name it was started under; each is parked under its
// parked name, and its copy is made under the copy name first.
struct InUseFile {
  const char16_t* name;  // null for the executable
  const char16_t* parkedName;
  const char16_t* copyName;
};
constexpr InUseFile kInUseFiles[2] = {{nullptr, kParkedExecutableName, kExecutableCopyName},
                                      {u"sqlite3.dll", kParkedLibraryName, kLibraryCopyName}};

struct InUsePaths {
  char16_t normal[kPathBufferLength] = {};
  char16_t parked[kPathBufferLength] = {};
  char16_t copy[kPathBufferLength] = {};
};

bool fitsTheShell(const char16_t* path) { return std::char_traits<char16_t>::length(path) <= kShellPathMaxLength; }

// False when one of the three paths cannot be built whole for the shell.
bool buildInUsePaths(const InUseFile& file, InUsePaths& paths) {
  const bool built =
      (file.name == nullptr ? readOwnExecutablePath(paths.normal) : appendModuleFolderPath(paths.normal, file.name)) &&
      appendModuleFolderPath(paths.parked, file.parkedName) && appendModuleFolderPath(paths.copy, file.copyName);
  return built && fitsTheShell(paths.normal) && fitsTheShell(paths.parked) && fitsTheShell(paths.copy);
}

// Started as the parked copy itself, the two paths are one file.
bool startedAsParked(const InUsePaths& paths) { return asciiEqualsIgnoringCase(paths.normal, paths.parked); }

bool bothExist(const char16_t* a, const char16_t* b) { return platform::pathExists(a) && platform::pathExists(b); }

// Gives a parked file its name back unless the update brought a new file of
// that name: into its place when the run's own copy stands there untouched.
// A new file takes the parked one's permissions: it came in under a free
// name, and a new updater must still be runnable where that depends on
// permission bits.
void restoreParked(char16_t* parked, char16_t* normal, bool ownCopyUntouched) {
  if (!platform::pathExists(normal)) {
    renamePath(parked, normal);
  } else if (ownCopyUntouched) {
    platform::moveIntoPlace(parked, normal);
  } else if (platform::pathExists(parked)) {
    platform::copyPermissions(parked, normal);
  }
}

}  // namespace

CAutoUpdateBase::~CAutoUpdateBase() = default;

bool CAutoUpdateBase::runUpdate() {
  // One run at a time per client data folder: a run that does not hold the
  // lock, because another does or because it cannot tell, does nothing at all.
  const std::unique_ptr<char16_t[]> clientData = getClientDataFolder();
  const platform::RunLock lock(clientData != nullptr ? clientData.get() : u"");
  if (!lock.held()) return true;
  if (!settleEarlierRun() && !supersedesEarlierPatch) return true;

  succeeded = true;
  if (!prepareUpdate() || !backupFiles() || !moveLockedFilesAside() || !preparePayload() || !applyUpdate()) {
    succeeded = false;
  }
  recordOutcome(succeeded);
  restoreLockedFiles();
  removeWorkFolders();
  return true;
}

bool CAutoUpdateBase::prepareUpdate() {
  int32_t clientId = findClientProcessId();
  if (clientId != 0 && clientId != -1) platform::terminateProcessById(static_cast<uint32_t>(clientId), 0);

  bool parkable = true;
  for (const InUseFile& file : kInUseFiles) {
    InUsePaths paths;
    if (!buildInUsePaths(file, paths)) {
      parkable = false;
      continue;
    }
    // A parked copy is left over from a run whose update put a new file in its place.
    if (!startedAsParked(paths) && bothExist(paths.parked, paths.normal)) deletePath(paths.parked);
    // A copy under the copy name is what an interrupted parking left.
    if (platform::entryKind(paths.copy) == platform::EntryKind::File) platform::deleteFile(paths.copy);
  }
  // A file that cannot be parked would stay in use while the update replaces it.
  return parkable;
}

bool CAutoUpdateBase::backupFiles() { return true; }
bool CAutoUpdateBase::preparePayload() { return true; }
bool CAutoUpdateBase::applyUpdate() { return true; }
bool CAutoUpdateBase::removeWorkFolders() { return true; }
bool CAutoUpdateBase::recordOutcome(bool) { return true; }

bool CAutoUpdateBase::moveLockedFilesAside() {
  for (size_t i = 0; i < 2; ++i) {
    placedCopies[i].placed = false;
    InUsePaths paths;
    if (!buildInUsePaths(kInUseFiles[i], paths) || startedAsParked(paths) ||
        platform::entryKind(paths.normal) != platform::EntryKind::File) {
      continue;
    }
    // A copy takes the normal name and the file in use the parked one, so that
    // an update can replace the copy, and the normal name never stands empty.
    // What fails leaves the file under its own name.
    if (platform::copyFile(paths.normal, paths.copy) &&
        platform::replaceKeepingOriginal(paths.normal, paths.copy, paths.parked)) {
      placedCopies[i].placed = platform::readFileStamp(paths.normal, placedCopies[i].stamp);
    } else {
      platform::deleteFile(paths.copy);
    }
  }
  return true;
}

bool CAutoUpdateBase::restoreLockedFiles() {
  for (size_t i = 0; i < 2; ++i) {
    const PlacedCopy placed = placedCopies[i];
    placedCopies[i].placed = false;
    InUsePaths paths;
    if (!buildInUsePaths(kInUseFiles[i], paths)) continue;
    platform::FileStamp now;
    restoreParked(paths.parked, paths.normal,
                  placed.placed && platform::readFileStamp(paths.normal, now) && now == placed.stamp);
  }
  return true;
}
