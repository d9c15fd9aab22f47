// The first argument alone picks a procedure: anything but "Y" and "N" does nothing.
#include <gtest/gtest.h>

#include "tests/support/full_install_support.h"
#include "tests/support/tree_snapshot.h"

using namespace testing_support;
using namespace full_install;

namespace {

// Everything a run could touch: leftovers it would delete, an installer it
// would start, a patch folder it would use.
void prepareEverything(const UpdaterSandbox& sandbox) {
  writeFile(sandbox.installFolder() / "sqlite3.dll", "library");
  writeFile(sandbox.installFolder() / "sqlite3_Rename.dll", "parked library");
  writeFile(sandbox.installFolder() / "VelmiUpdate_Rename.exe", "parked updater");
  writeScript(downloadFolder(sandbox) / "setup.sh", "echo ran > " + quoted(sandbox.root() / "installer-ran") + "\n");
  std::filesystem::create_directories(sandbox.clientDataFolder() / "downsmallversion");
  writeFile(sandbox.clientDataFolder() / "downsmallversion" / "patch_sp1.zip", "not really a zip");
}

}  // namespace

TEST(Arguments, AnythingButExactlyYOrNTouchesNothing) {
  UpdaterSandbox sandbox;
  prepareEverything(sandbox);
  TreeSnapshot before = snapshotTree(sandbox.root());
  const std::vector<std::vector<std::string>> cases{{}, {""}, {"y"}, {"n"}, {"Y "}, {"N2"}, {" Y"}, {"YES"}};
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments.empty() ? "no argument" : "\"" + arguments[0] + "\"");
    RunResult result = sandbox.run(arguments);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(describeTreeDifference(before, snapshotTree(sandbox.root())), "");
  }
}

TEST(Arguments, FurtherArgumentsAfterYAreIgnored) {
  UpdaterSandbox sandbox;
  prepareEverything(sandbox);
  RunResult result = sandbox.run({"Y", "N", "--verbose"});
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(sandbox.root() / "installer-ran"));
  EXPECT_FALSE(std::filesystem::exists(sandbox.installFolder() / "VelmiUpdate_Rename.exe"));
  EXPECT_FALSE(std::filesystem::exists(sandbox.installFolder() / "sqlite3_Rename.dll"));
  EXPECT_TRUE(std::filesystem::exists(sandbox.updater()));
  EXPECT_EQ(readFile(sandbox.installFolder() / "sqlite3.dll"), "library");
}
