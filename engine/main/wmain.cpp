// The updater's entry point: the first argument picks the procedure.
#include <memory>
#include <string>

#include "engine/auto_fully_install.h"
#include "engine/auto_install_patch.h"

int wmain(int argc, char16_t* argv[]) {
  if (argc < 2 || argv[1] == nullptr) return 0;
  const std::u16string choice = argv[1];
  std::unique_ptr<CAutoUpdateBase> procedure;
  if (choice == u"Y") {
    procedure = std::make_unique<CAutoFullyInstall>();
  } else if (choice == u"N") {
    procedure = std::make_unique<CAutoInstallPatch>();
  } else {
    return 0;
  }
  procedure->runUpdate();
  return 0;
}
