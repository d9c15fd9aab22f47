// Stands in for the version-table record until it lands.
#include "engine/auto_install_patch.h"

bool CAutoInstallPatch::recordOutcome(bool) { return true; }
