// The update procedure base: a fixed run sequence over virtual steps.
#pragma once

#include <list>
#include <string>

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
  // and removeWorkFolders. Always true.
  virtual bool runUpdate();
  virtual bool recordOutcome(bool success);

 protected:
  // Bare names of the plain files that preparePayload listed, in listing order.
  std::list<std::u16string> fileNames;
  bool succeeded = false;
};

// The process id of the first running "Quillet.exe" (ASCII letters compared
// without case); 0 when none runs; -1 when the search failed with an exception.
int32_t findClientProcessId();
