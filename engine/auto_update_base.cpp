// The run sequence and the three steps that both procedures share.
#include "engine/auto_update_base.h"

#include "engine/ascii_text.h"
#include "engine/paths.h"
#include "engine/tree_operations.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kParkedExecutable[] = u"VelmiUpdate_Rename.exe";
constexpr char16_t kSqliteLibrary[] = u"sqlite3.dll";
constexpr char16_t kParkedSqliteLibrary[] = u"sqlite3_Rename.dll";

// The path the updater was started under; false when it cannot be read whole.
bool readOwnExecutablePath(char16_t (&path)[kPathBufferLength]) {
  uint32_t length = platform::getModuleFilePath(path, kPathBufferLength);
  if (length == 0 || length >= kPathBufferLength) {
    path[0] = 0;
    return false;
  }
  return true;
}

bool bothExist(const char16_t* a, const char16_t* b) { return platform::pathExists(a) && platform::pathExists(b); }

// Gives a parked file its name back unless the update brought a new file of
// that name. That new file takes the parked one's permissions: it came in
// under a free name, and a new updater must still be runnable where that
// depends on permission bits.
void restoreParked(char16_t* parked, char16_t* normal) {
  if (!platform::pathExists(normal)) {
    renamePath(parked, normal);
  } else if (platform::pathExists(parked)) {
    platform::copyPermissions(parked, normal);
  }
}

}  // namespace

CAutoUpdateBase::~CAutoUpdateBase() = default;

bool CAutoUpdateBase::runUpdate() {
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

  // A parked copy is left over from a run whose update put a new file in its place.
  char16_t ownPath[kPathBufferLength] = {};
  char16_t parkedPath[kPathBufferLength] = {};
  bool ownKnown = readOwnExecutablePath(ownPath);
  bool parkedKnown = appendModuleFolderPath(parkedPath, kParkedExecutable);
  // Started as the parked copy itself, the two paths are one file: keep it.
  if (ownKnown && parkedKnown && !asciiEqualsIgnoringCase(ownPath, parkedPath) && bothExist(parkedPath, ownPath)) {
    deletePath(parkedPath);
  }

  char16_t libraryPath[kPathBufferLength] = {};
  char16_t parkedLibraryPath[kPathBufferLength] = {};
  if (appendModuleFolderPath(libraryPath, kSqliteLibrary) &&
      appendModuleFolderPath(parkedLibraryPath, kParkedSqliteLibrary) && bothExist(parkedLibraryPath, libraryPath)) {
    deletePath(parkedLibraryPath);
  }
  return true;
}

bool CAutoUpdateBase::backupFiles() { return true; }
bool CAutoUpdateBase::preparePayload() { return true; }
bool CAutoUpdateBase::applyUpdate() { return true; }
bool CAutoUpdateBase::removeWorkFolders() { return true; }
bool CAutoUpdateBase::recordOutcome(bool) { return true; }

bool CAutoUpdateBase::moveLockedFilesAside() {
  char16_t ownPath[kPathBufferLength] = {};
  char16_t parkedPath[kPathBufferLength] = {};
  if (readOwnExecutablePath(ownPath) && appendModuleFolderPath(parkedPath, kParkedExecutable)) {
    renamePath(ownPath, parkedPath);
  }
  char16_t libraryPath[kPathBufferLength] = {};
  char16_t parkedLibraryPath[kPathBufferLength] = {};
  if (appendModuleFolderPath(libraryPath, kSqliteLibrary) &&
      appendModuleFolderPath(parkedLibraryPath, kParkedSqliteLibrary)) {
    renamePath(libraryPath, parkedLibraryPath);
  }
  return true;
}

bool CAutoUpdateBase::restoreLockedFiles() {
  char16_t ownPath[kPathBufferLength] = {};
  char16_t parkedPath[kPathBufferLength] = {};
  if (readOwnExecutablePath(ownPath) && appendModuleFolderPath(parkedPath, kParkedExecutable)) {
    restoreParked(parkedPath, ownPath);
  }
  char16_t libraryPath[kPathBufferLength] = {};
  char16_t parkedLibraryPath[kPathBufferLength] = {};
  if (appendModuleFolderPath(libraryPath, kSqliteLibrary) &&
      appendModuleFolderPath(parkedLibraryPath, kParkedSqliteLibrary)) {
    restoreParked(parkedLibraryPath, libraryPath);
  }
  return true;
}
