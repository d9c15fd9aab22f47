// The update procedure base: a fixed run sequence over virtual steps.
#pragma once

#include <list>
#include <string>

#include "platform/platform.h"

class CAutoUpdateBase {
 public:
  CAutoUpdateBase() = default;
  virtual ~CAutoUpdateBase();
  CAutoUpdateBase(const CAutoUpdateBase&) = delete;
  CAutoUpdateBase& operator=(const CAutoUpdateBase&) = delete;

  // The steps, in the order of their slots. Each returns false to end the run's chain.
  virtual bool prepareUpdate();
  virtual bool backupFiles();
  virtual bool preparePayload();
  virtual bool applyUpdate();
  virtual bool removeWorkFolders();
  virtual bool moveLockedFilesAside();
  virtual bool restoreLockedFiles();
  // Runs prepareUpdate, backupFiles, moveLockedFilesAside, preparePayload and
  // applyUpdate until one fails, then always recordOutcome, restoreLockedFiles
  // and removeWorkFolders. Always true. Before all of it, the run takes the
  // client data folder's lock (held elsewhere, or not to be had: nothing is
  // done) and finishes what a patch run that died left; where that cannot be
  // done now, only a run that supersedes it goes on.
  virtual bool runUpdate();
  virtual bool recordOutcome(bool success);

 protected:
  // Bare names of the plain files that preparePayload listed, in listing order.
  std::list<std::u16string> fileNames;
  bool succeeded = false;
  // A full install supersedes whatever an earlier patch run left: it goes on
  // where that cannot be finished now, and never reads the backup.
  bool supersedesEarlierPatch = false;

 private:
  // Finishes what an earlier patch run that died left, as its restore marker
  // says, and clears its leftovers. False when nothing else may happen now:
  // the marker is another installation's that still holds an updater, whose
  // owner or content cannot be told, or what it asks for could not be done
  // whole. A marker whose content no build writes is removed.
  bool settleEarlierRun();
  // Puts back the backup of a patch run that died during its copy over the
  // installation. False while not all of it could be put back: the backup and
  // its marker then stay.
  bool finishInterruptedPatch();
  // Records, in one try, the success of a patch run that died after its copy
  // was confirmed, and removes the marker whatever the record's result.
  bool recordConfirmedPatch();

  // The copy that moveLockedFilesAside put under each in-use file's name, as
  // it stood there: the executable, then "sqlite3.dll".
  struct PlacedCopy {
    bool placed = false;
    platform::FileStamp stamp;
  };
  PlacedCopy placedCopies[2];
};

// The process id of the first running "Quillet.exe" (ASCII letters compared
// without case); 0 when none runs; -1 when the search failed with an exception.
int32_t findClientProcessId();
