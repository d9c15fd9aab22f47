// "Y" end to end: the one installer of the download folder runs, and the
// parked files come back unless the installer replaced them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "tests/support/full_install_support.h"
#include "tests/support/patch_archives.h"
#include "tests/support/tree_snapshot.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace full_install;

TEST(FullInstall, RunsTheInstallerInTheDownloadFolderAndWaitsForIt) {
  UpdaterSandbox sandbox;
  writeFile(sandbox.installFolder() / "sqlite3.dll", "old library");
  fs::path record = sandbox.root() / "record.txt";
  fs::path done = sandbox.root() / "done.txt";
  writeScript(downloadFolder(sandbox) / "QuilletSetup.exe",
              "{ pwd; echo $#; LC_ALL=C ls " + quoted(sandbox.installFolder()) + "; } > " + quoted(record) +
                  "\nsleep 0.3\necho new library > " + quoted(sandbox.installFolder() / "sqlite3.dll") +
                  "\necho done > " + quoted(done) + "\n");

  RunResult result = sandbox.run({"Y"});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);

  std::istringstream lines(readFile(record));
  std::string workingFolder, argumentCount, rest;
  std::getline(lines, workingFolder);
  std::getline(lines, argumentCount);
  std::getline(lines, rest, '\0');
  EXPECT_EQ(workingFolder, downloadFolder(sandbox).string());
  EXPECT_EQ(argumentCount, "0");
  SCOPED_TRACE("while the installer ran, both files stood parked, and copies of them under their own names");
  EXPECT_EQ(rest, "VelmiUpdate\nVelmiUpdate_Rename.exe\nsqlite3.dll\nsqlite3_Rename.dll\n");

  EXPECT_TRUE(fs::exists(done)) << "the run did not wait for the installer";
  EXPECT_TRUE(fs::exists(sandbox.updater()));
  EXPECT_FALSE(fs::exists(sandbox.installFolder() / "VelmiUpdate_Rename.exe"));
  EXPECT_EQ(readFile(sandbox.installFolder() / "sqlite3.dll"), "new library\n");
  EXPECT_EQ(readFile(sandbox.installFolder() / "sqlite3_Rename.dll"), "old library");
  EXPECT_TRUE(fs::exists(downloadFolder(sandbox) / "QuilletSetup.exe"));

  SCOPED_TRACE("the next run deletes the parked library that the new one replaced");
  fs::remove_all(downloadFolder(sandbox));
  result = sandbox.run({"Y"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_FALSE(fs::exists(sandbox.installFolder() / "sqlite3_Rename.dll"));
  EXPECT_EQ(readFile(sandbox.installFolder() / "sqlite3.dll"), "new library\n");
  EXPECT_TRUE(fs::exists(sandbox.updater()));
}

TEST(FullInstall, StartsNothingUnlessTheDownloadFolderHoldsExactlyOneFile) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> folders;
  };
  for (const Case& c : {Case{"no file", {}, {}}, Case{"two files", {"a.exe", "b.exe"}, {}},
                        Case{"only a sub-folder", {}, {"sub"}}, Case{"no download folder", {}, {}},
                        // Read as a path, the one file's name would start the sub-folder's program.
                        Case{"one file whose name holds a backslash", {"sub\\setup.exe"}, {"sub"}}}) {
    SCOPED_TRACE(c.name);
    UpdaterSandbox sandbox;
    writeFile(sandbox.installFolder() / "sqlite3.dll", "library");
    fs::path marker = sandbox.root() / "installer-ran";
    if (std::string(c.name) != "no download folder") fs::create_directories(downloadFolder(sandbox));
    for (const auto& file : c.files) writeScript(downloadFolder(sandbox) / file, "echo > " + quoted(marker) + "\n");
    for (const auto& folder : c.folders) {
      writeScript(downloadFolder(sandbox) / folder / "setup.exe", "echo > " + quoted(marker) + "\n");
    }
    TreeSnapshot before = snapshotTree(sandbox.root());

    RunResult result = sandbox.run({"Y"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(describeTreeDifference(before, snapshotTree(sandbox.root())), "");
  }
}

TEST(FullInstall, OneFileBesideASubFolderIsStartedWhateverBytesItsNameHolds) {
  for (const char* name : {"setup", "setup-caf\xe9"}) {
    SCOPED_TRACE(name);
    UpdaterSandbox sandbox;
    fs::path marker = sandbox.root() / "installer-ran";
    fs::create_directories(downloadFolder(sandbox) / "sub");
    writeScript(downloadFolder(sandbox) / name, "echo > " + quoted(marker) + "\n");
    sandbox.run({"Y"});
    EXPECT_TRUE(fs::exists(marker));
  }
}

TEST(FullInstall, AnInstallerThatCannotStartChangesNothing) {
  UpdaterSandbox sandbox;
  writeFile(sandbox.installFolder() / "sqlite3.dll", "library");
  fs::create_directories(downloadFolder(sandbox));
  writeFile(downloadFolder(sandbox) / "setup.exe", "MZ, not for this system");
  TreeSnapshot before = snapshotTree(sandbox.root());
  RunResult result = sandbox.run({"Y"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(describeTreeDifference(before, snapshotTree(sandbox.root())), "");
}

TEST(FullInstall, AnInstallationTooDeepToParkTheUpdaterStartsNothing) {
  UpdaterSandbox sandbox;
  // The updater's own path fits a shell path of 510 units; its parked name beside it does not.
  fs::path deep = sandbox.root();
  while (deep.string().size() < 400) deep /= std::string(60, 'd');
  deep /= std::string(493 - deep.string().size() - 1, 'd');
  fs::create_directories(deep);
  fs::copy_file(sandbox.updater(), deep / "VelmiUpdate");
  writeFile(deep / "sqlite3.dll", "library");
  fs::path marker = sandbox.root() / "installer-ran";
  writeScript(downloadFolder(sandbox) / "setup", "echo > " + quoted(marker) + "\n");
  TreeSnapshot before = snapshotTree(sandbox.root());

  RunResult result = runProgram(
      {deep / "VelmiUpdate", {"Y"}, {"XDG_CONFIG_HOME=" + sandbox.roamingFolder().string()}, sandbox.root()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(describeTreeDifference(before, snapshotTree(sandbox.root())), "");
}

namespace {

void putFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  writeFile(path, content);
}

}  // namespace

// Whatever an earlier patch run left, a full install starts its installer.
// Afterwards this installation's marker and backup are gone, superseded by the
// install; another installation's, or one whose owner cannot be told, stay,
// and a patch run does nothing beside them.
TEST(FullInstall, StartsItsInstallerWhateverAnEarlierPatchRunLeft) {
  struct Row {
    const char* what;
    std::function<void(const UpdaterSandbox&)> leave;
    bool another;
    bool backupStays;  // the next patch run clears what no marker speaks for
  };
  const Row rows[] = {
      {"this installation's success, which a damaged database cannot record",
       [](const UpdaterSandbox& s) {
         writeRestoreMarker(s.clientDataFolder(), "C" + s.updater().string());
         putFile(s.clientDataFolder() / "usr000.db", "not a database, and never made one");
       },
       false, false},
      {"a marker that no build writes",
       [](const UpdaterSandbox& s) { writeRestoreMarker(s.clientDataFolder(), "Z" + s.updater().string()); }, false,
       true},
      {"this installation's restore, which cannot finish",
       [](const UpdaterSandbox& s) {
         writeRestoreMarker(s.clientDataFolder(), "R" + s.updater().string());
         putFile(s.clientDataFolder() / "baksrcfile" / "blocked", "a file where the installation has a folder");
         putFile(s.installFolder() / "blocked" / "inside.txt", "in the way");
       },
       false, false},
      {"another installation's restore",
       [](const UpdaterSandbox& s) {
         putFile(s.root() / "other" / "VelmiUpdate", "another installation's updater");
         writeRestoreMarker(s.clientDataFolder(), "R" + (s.root() / "other" / "VelmiUpdate").string());
       },
       true, true},
      {"a restore whose installation cannot be told about",
       [](const UpdaterSandbox& s) {
         fs::create_directory_symlink("loop", s.root() / "loop");
         writeRestoreMarker(s.clientDataFolder(), "R" + (s.root() / "loop" / "VelmiUpdate").string());
       },
       true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UpdaterSandbox sandbox;
    putFile(sandbox.installFolder() / "sqlite3.dll", "library");
    putFile(sandbox.clientDataFolder() / "baksrcfile" / "kept.txt", "backed up");
    row.leave(sandbox);
    if (row.another) {
      fs::create_directories(sandbox.clientDataFolder() / "downsmallversion");
      makeZip(sandbox.clientDataFolder() / "downsmallversion" / "a_sp1.zip", {{"patched.txt", "patched"}});
      EXPECT_EQ(sandbox.run({"N"}).exitCode, 0);
      EXPECT_FALSE(fs::exists(sandbox.installFolder() / "patched.txt"));
    }
    const fs::path ran = sandbox.root() / "installer-ran";
    writeScript(downloadFolder(sandbox) / "setup", "echo > " + quoted(ran) + "\n");
    EXPECT_EQ(sandbox.run({"Y"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(ran));
    EXPECT_EQ(fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore"), row.another);
    EXPECT_EQ(fs::exists(sandbox.clientDataFolder() / "baksrcfile"), row.backupStays);
  }
}

// After a patch run that died during its copy, a full install leaves no marker
// that would have a later patch run put the backup over what its installer
// wrote; an installer that cannot start leaves the restore to that run.
TEST(FullInstall, LeavesNoMarkerThatCouldPutTheSupersededBackupBack) {
  struct Row {
    const char* what;
    bool restoreBlocked;  // a file of the backup where the installation now has a folder
    std::string installer;
    bool startable;
    const char* keptAfterwards;  // after the next patch run, which finds no archive
  };
  const Row rows[] = {
      {"an installer that ends the updater once it wrote", true, "echo v3 > kept.txt\nkill -9 $PPID\n", true, "v3\n"},
      {"an installer that cannot start", true, "not for this system", false, "backed up"},
      {"a restore that finishes", false, "echo v3 > kept.txt\n", true, "v3\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UpdaterSandbox sandbox;
    putFile(sandbox.installFolder() / "sqlite3.dll", "library");
    putFile(sandbox.clientDataFolder() / "baksrcfile" / "sqlite3.dll", "library");
    putFile(sandbox.clientDataFolder() / "baksrcfile" / "kept.txt", "backed up");
    putFile(sandbox.installFolder() / "kept.txt", "patched");
    if (row.restoreBlocked) {
      putFile(sandbox.clientDataFolder() / "baksrcfile" / "blocked", "a file");
      putFile(sandbox.installFolder() / "blocked" / "inside.txt", "in the way");
    }
    writeRestoreMarker(sandbox.clientDataFolder(), "R" + sandbox.updater().string());
    const fs::path setup = downloadFolder(sandbox) / "setup";
    if (row.startable) {
      writeScript(setup, "cd " + quoted(sandbox.installFolder()) + "\n" + row.installer);
    } else {
      putFile(setup, row.installer);
    }
    sandbox.run({"Y"});  // one installer ends it
    const bool restoreWaits = !row.startable;
    EXPECT_EQ(fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore"), restoreWaits);
    if (!restoreWaits) {
      EXPECT_EQ(readFile(sandbox.installFolder() / "kept.txt"), row.keptAfterwards);
      if (!row.restoreBlocked) {
        EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile"));
      }
    } else {
      EXPECT_TRUE(fs::exists(sandbox.clientDataFolder() / "baksrcfile" / "kept.txt"));
      fs::remove_all(sandbox.installFolder() / "blocked");  // no longer in the way
    }
    EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "decpressupdatefile"));

    EXPECT_EQ(sandbox.run({"N"}).exitCode, 0);
    EXPECT_EQ(readFile(sandbox.installFolder() / "kept.txt"), row.keptAfterwards);
    EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore"));
    EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile"));
  }
}
