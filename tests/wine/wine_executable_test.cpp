// What VelmiUpdate.exe carries besides its code: a manifest that asks for no
// elevation, and an import of "sqlite3.dll", the library it parks while it runs.
#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;

TEST(WineExecutable, ManifestAsksForNoElevation) {
  const std::string executable = testing_support::readFile(windowsBuildFile("VelmiUpdate.exe"));
  EXPECT_NE(executable.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
}

TEST(WineExecutable, ImportsSqliteFromItsDll) {
  const std::string dump = commandOutput(std::string("'") + VELMI_MINGW_OBJDUMP + "' -p '" +
                                         windowsBuildFile("VelmiUpdate.exe").string() + "'");
  EXPECT_NE(dump.find("DLL Name: sqlite3.dll"), std::string::npos);
  EXPECT_NE(dump.find("sqlite3_open"), std::string::npos);
}

}  // namespace
