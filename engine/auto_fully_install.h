// "Y": runs the one full installer found in the download folder and waits for it.
#pragma once

#include "engine/auto_update_base.h"
#include "engine/paths.h"

class CAutoFullyInstall : public CAutoUpdateBase {
 public:
  CAutoFullyInstall();

  bool prepareUpdate() override;
  bool preparePayload() override;
  bool applyUpdate() override;

 protected:
  char16_t downloadFolder[kPathBufferLength] = {};
};
