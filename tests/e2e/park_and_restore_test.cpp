// The two in-use files across runs: parked, given back, or left for the next
// run to delete when the update brought a new file under the normal name.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/full_install_support.h"
#include "tests/support/tree_snapshot.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace full_install;

TEST(ParkAndRestore, ReplacedFilesLeaveParkedCopiesThatTheNextRunDeletes) {
  UpdaterSandbox sandbox("Updater Copy.exe");  // any name of the executable
  fs::path install = sandbox.installFolder();
  writeFile(install / "sqlite3.dll", "old library");
  // The installer brings a new executable and a new library.
  writeScript(downloadFolder(sandbox) / "setup", "cp " + quoted(install / "VelmiUpdate_Rename.exe") + " " +
                                                     quoted(sandbox.updater()) + "\necho new library > " +
                                                     quoted(install / "sqlite3.dll") + "\n");

  const std::string updater = readFile(sandbox.updater());
  sandbox.run({"Y"});
  EXPECT_EQ(describeTreeDifference({{"Updater Copy.exe", updater},
                                    {"VelmiUpdate_Rename.exe", updater},
                                    {"sqlite3.dll", "new library\n"},
                                    {"sqlite3_Rename.dll", "old library"}},
                                   snapshotTree(install)),
            "");
  fs::remove_all(downloadFolder(sandbox));
  sandbox.run({"Y"});
  EXPECT_EQ(
      describeTreeDifference({{"Updater Copy.exe", updater}, {"sqlite3.dll", "new library\n"}}, snapshotTree(install)),
      "")
      << "after the second run";
}

// One run each; afterwards the installation holds exactly the updater, unchanged, and the listed files.
TEST(ParkAndRestore, LeftoversAreGivenBackOrDeletedAndAFailedPayloadPutsBothBack) {
  struct Row {
    const char* what;
    const char* argument;
    bool emptyDownloadFolder;  // preparePayload fails after the parking
    TreeSnapshot before, after;
  };
  const Row rows[] = {
      {"a parked copy without its normal file gets the name back (no download folder: the run stops after "
       "prepareUpdate)",
       "Y",
       false,
       {{"sqlite3_Rename.dll", "leftover library"}, {"VelmiUpdate_Rename.exe", "leftover updater"}},
       {{"sqlite3.dll", "leftover library"}}},
      {"both files come back when the payload fails",
       "Y",
       true,
       {{"sqlite3.dll", "library"}},
       {{"sqlite3.dll", "library"}}},
      {"a patch run also deletes leftovers first (no patch folder: nothing else happens)",
       "N",
       false,
       {{"sqlite3.dll", "library"},
        {"sqlite3_Rename.dll", "leftover library"},
        {"VelmiUpdate_Rename.exe", "leftover updater"}},
       {{"sqlite3.dll", "library"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UpdaterSandbox sandbox;
    for (const auto& [name, content] : row.before) writeFile(sandbox.installFolder() / name, content);
    if (row.emptyDownloadFolder) fs::create_directories(downloadFolder(sandbox));
    TreeSnapshot expected = row.after;
    expected["VelmiUpdate"] = readFile(sandbox.updater());
    sandbox.run({row.argument});
    EXPECT_EQ(describeTreeDifference(expected, snapshotTree(sandbox.installFolder())), "");
  }
}
