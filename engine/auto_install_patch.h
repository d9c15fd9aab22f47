// "N": applies the zip archives of the patch folder over the installation.
#pragma once

#include "engine/auto_update_base.h"
#include "engine/paths.h"

class CAutoInstallPatch : public CAutoUpdateBase {
 public:
  CAutoInstallPatch();

  bool prepareUpdate() override;
  bool backupFiles() override;
  bool preparePayload() override;
  bool applyUpdate() override;
  bool removeWorkFolders() override;
  bool recordOutcome(bool success) override;

 protected:
  char16_t patchFolder[kPathBufferLength] = {};
  char16_t extractFolder[kPathBufferLength] = {};
  char16_t backupFolder[kPathBufferLength] = {};
  char16_t installFolder[kPathBufferLength] = {};
};
