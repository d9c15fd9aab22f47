// The two in-use files across runs: parked, given back, or left for the next
// run to delete when the update brought a new file under the normal name.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/full_install_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace full_install;

TEST(ParkAndRestore, ReplacedFilesLeaveParkedCopiesThatTheNextRunDeletes) {
  UpdaterSandbox sandbox("Updater Copy.exe");  // any name of the executable
  fs::path install = sandbox.installFolder();
  writeFile(install / "sqlite3.dll", "old library");
  // The installer brings a new executable and a new library.
  writeScript(downloadFolder(sandbox) / "setup",
              "cp " + quoted(install / "VelmiUpdate_Rename.exe") + " " + quoted(sandbox.updater()) +
                  "\necho new library > " + quoted(install / "sqlite3.dll") + "\n");

  sandbox.run({"Y"});
  {
    SCOPED_TRACE("after the first run");
    EXPECT_TRUE(fs::exists(sandbox.updater()));
    EXPECT_TRUE(fs::exists(install / "VelmiUpdate_Rename.exe"));
    EXPECT_EQ(readFile(install / "sqlite3.dll"), "new library\n");
    EXPECT_EQ(readFile(install / "sqlite3_Rename.dll"), "old library");
  }
  fs::remove_all(downloadFolder(sandbox));
  sandbox.run({"Y"});
  {
    SCOPED_TRACE("after the second run");
    EXPECT_TRUE(fs::exists(sandbox.updater()));
    EXPECT_FALSE(fs::exists(install / "VelmiUpdate_Rename.exe"));
    EXPECT_EQ(readFile(install / "sqlite3.dll"), "new library\n");
    EXPECT_FALSE(fs::exists(install / "sqlite3_Rename.dll"));
  }
}

TEST(ParkAndRestore, AParkedCopyWithoutItsNormalFileGetsTheNameBack) {
  UpdaterSandbox sandbox;
  fs::path install = sandbox.installFolder();
  writeFile(install / "sqlite3_Rename.dll", "leftover library");
  writeFile(install / "VelmiUpdate_Rename.exe", "leftover updater");
  // No download folder: the run stops after prepareUpdate.
  sandbox.run({"Y"});
  EXPECT_EQ(readFile(install / "sqlite3.dll"), "leftover library");
  EXPECT_FALSE(fs::exists(install / "sqlite3_Rename.dll"));
  EXPECT_FALSE(fs::exists(install / "VelmiUpdate_Rename.exe"));
  EXPECT_TRUE(fs::exists(sandbox.updater()));
}

TEST(ParkAndRestore, BothFilesComeBackWhenThePayloadFails) {
  UpdaterSandbox sandbox;
  fs::path install = sandbox.installFolder();
  writeFile(install / "sqlite3.dll", "library");
  fs::create_directories(downloadFolder(sandbox));  // empty: preparePayload fails after the parking
  sandbox.run({"Y"});
  EXPECT_EQ(readFile(install / "sqlite3.dll"), "library");
  EXPECT_TRUE(fs::exists(sandbox.updater()));
  EXPECT_FALSE(fs::exists(install / "sqlite3_Rename.dll"));
  EXPECT_FALSE(fs::exists(install / "VelmiUpdate_Rename.exe"));
}

TEST(ParkAndRestore, APatchRunAlsoDeletesLeftoversFirst) {
  UpdaterSandbox sandbox;
  fs::path install = sandbox.installFolder();
  writeFile(install / "sqlite3.dll", "library");
  writeFile(install / "sqlite3_Rename.dll", "leftover library");
  writeFile(install / "VelmiUpdate_Rename.exe", "leftover updater");
  sandbox.run({"N"});  // no patch folder: nothing else happens
  EXPECT_FALSE(fs::exists(install / "sqlite3_Rename.dll"));
  EXPECT_FALSE(fs::exists(install / "VelmiUpdate_Rename.exe"));
  EXPECT_EQ(readFile(install / "sqlite3.dll"), "library");
  EXPECT_TRUE(fs::exists(sandbox.updater()));
}
