// Patch runs ("N") of VelmiUpdate.exe under Wine: archives from the roaming
// folder applied over an installation on C:, the version table of usr000.db,
// the work folders, and the two files the running updater holds.
#include <gtest/gtest.h>
#include <locale.h>

#include <functional>
#include <map>

#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"
#include "tests/support/zip_builder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;
using testing_support::readFile;
using testing_support::writeFile;

class WinePatch : public ::testing::Test {
 protected:
  void SetUp() override {
    preparePrefix();
    freshInstallation();
  }

  void freshInstallation() {
    resetInstallation({{"client.dat", "client 2.0.0"},
                       {"readme.txt", "readme 2.0.0"},
                       {"data/strings.txt", "strings 2.0.0"},
                       {"keep.txt", "not in any patch"},
                       {"client_config.txt", "config 2.0.0"}});
    makeVersionTable(clientDataFolder() / "usr000.db", "2.0.1", "2.0.0");
  }

  fs::path patchFolder() const { return clientDataFolder() / "downsmallversion"; }

  void expectWorkFoldersGone() {
    for (const char* folder : {"downsmallversion", "decpressupdatefile", "baksrcfile"}) {
      EXPECT_FALSE(fs::exists(clientDataFolder() / folder)) << folder;
    }
  }
};

TEST_F(WinePatch, AppliesArchivesByNumberAndRecordsTheVersion) {
  const std::string newLibrary = readFile(windowsBuildFile("sqlite3.dll"));
  // Listed by name, "_sp10" comes before "_sp2"; applied by number, it comes last.
  makeZip(patchFolder() / "client_sp10.zip",
          {{"readme.txt", "readme from sp10"}, {"client.dat", "client from sp10"}, {"sqlite3.dll", newLibrary}});
  makeZip(patchFolder() / "client_sp2.zip", {{"readme.txt", "readme from sp2"},
                                             {"data/strings.txt", "strings from sp2"},
                                             {"data/fonts/extra.txt", "extra from sp2"}});
  const std::string ownExecutable = readFile(installFolder() / "VelmiUpdate.exe");

  const auto run = runUpdater("N");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);

  {
    SCOPED_TRACE("the installation holds the patch, the later archive winning");
    EXPECT_EQ(readFile(installFolder() / "readme.txt"), "readme from sp10");
    EXPECT_EQ(readFile(installFolder() / "client.dat"), "client from sp10");
    EXPECT_EQ(readFile(installFolder() / "data/strings.txt"), "strings from sp2");
    EXPECT_EQ(readFile(installFolder() / "data/fonts/extra.txt"), "extra from sp2");
    EXPECT_EQ(readFile(installFolder() / "keep.txt"), "not in any patch");
  }
  {
    SCOPED_TRACE("patched files carry the time stored in their archive entry");
    EXPECT_EQ(lastWriteSeconds(installFolder() / "readme.txt"), kArchivedFileTime);
    EXPECT_EQ(lastWriteSeconds(installFolder() / "data/fonts/extra.txt"), kArchivedFileTime);
  }
  {
    SCOPED_TRACE("the version columns: the current version is now also the backup");
    EXPECT_EQ(readVersions(clientDataFolder() / "usr000.db"), "2.0.1|2.0.1");
  }
  {
    SCOPED_TRACE("the work folders are gone");
    expectWorkFoldersGone();
  }
  {
    SCOPED_TRACE("the executable got its name back; the patched library took the name, its old copy stays parked");
    EXPECT_EQ(readFile(installFolder() / "VelmiUpdate.exe"), ownExecutable);
    EXPECT_FALSE(fs::exists(installFolder() / "VelmiUpdate_Rename.exe"));
    EXPECT_EQ(readFile(installFolder() / "sqlite3.dll"), newLibrary);
    EXPECT_TRUE(fs::exists(installFolder() / "sqlite3_Rename.dll"));
  }
}

// Wine's SHFileOperationW reports success for a copy whose single files fail
// (a sharing violation, a file where the tree has a folder), so under Wine a
// failed patch is one whose second archive cannot be opened: nothing reaches
// the installation, and the run is recorded as failed all the same.
TEST_F(WinePatch, FailedPatchLeavesTheInstallationAndRestoresTheBackupVersion) {
  // A copy parked by an earlier run, beside a library under its own name: the run deletes it first.
  fs::copy_file(installFolder() / "sqlite3.dll", installFolder() / "sqlite3_Rename.dll");
  makeZip(patchFolder() / "client_sp1.zip", {{"readme.txt", "readme from sp1"}, {"client.dat", "client from sp1"}});
  testing_support::writeFile(patchFolder() / "client_sp2.zip", "not an archive");
  auto expected = testing_support::snapshotTree(installFolder());
  expected.erase("sqlite3_Rename.dll");

  const auto run = runUpdater("N");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);

  {
    SCOPED_TRACE("the installation is as it was, the leftover parked copy deleted, nothing parked");
    EXPECT_EQ(testing_support::describeTreeDifference(expected, testing_support::snapshotTree(installFolder())), "");
  }
  {
    SCOPED_TRACE("the backup version is the current one again");
    EXPECT_EQ(readVersions(clientDataFolder() / "usr000.db"), "2.0.0|2.0.0");
  }
  {
    SCOPED_TRACE("the work folders are gone");
    expectWorkFoldersGone();
  }
}

// Wine follows a link of the host in nearly every file call: its shell delete
// empties a linked folder, and it shows a link to a file as that file, whose
// DeleteFileW deletes the target. A link under any name of the updater's own
// in the client data folder is removed itself or left standing; what it points
// to, outside, never changes. Each row is one run, a patch ("N") or a full
// install ("Y"), beside one link.
TEST_F(WinePatch, ALinkUnderAnOwnNameNeverReachesWhatItPointsTo) {
  const fs::path elsewhere = roamingFolder() / "elsewhere";
  const char* const names[] = {"baksrcfile",
                               "decpressupdatefile",
                               "downsmallversion",
                               "decpressupdatefile.delete",
                               "downsmallversion.delete",
                               "baksrcfile.restore",
                               "baksrcfile.restore.new",
                               "baksrcfile.gone"};
  for (const std::string name : names) {
    for (const std::string target : {"folder", "empty folder", "file.txt", "empty.txt"}) {
      for (const std::string argument : {"N", "Y"}) {
        SCOPED_TRACE(name + " -> " + target + ", run " + argument);
        freshInstallation();
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere / "folder");
        writeFile(elsewhere / "folder" / "kept.txt", "the user's own");
        fs::create_directories(elsewhere / "empty folder");
        writeFile(elsewhere / "file.txt", "the user's own");
        writeFile(elsewhere / "empty.txt", "");
        if (fs::is_directory(elsewhere / target)) {
          fs::create_directory_symlink(elsewhere / target, clientDataFolder() / name);
        } else {
          fs::create_symlink(elsewhere / target, clientDataFolder() / name);
        }
        const fs::path record = clientDataFolder() / "installer_record.txt";
        if (argument == "Y") {
          fs::create_directories(clientDataFolder() / "downupdatefile");
          fs::copy_file(testProgram("installer_probe.exe"), clientDataFolder() / "downupdatefile" / "QuilletSetup.exe");
        } else if (name != "downsmallversion") {
          makeZip(patchFolder() / "client_sp1.zip", {{"readme.txt", "readme from sp1"}});
        }
        const auto before = testing_support::snapshotTree(elsewhere);

        const auto run = runUpdater(argument, {"VELMI_PROBE_RECORD=" + windowsPath(record), "VELMI_PROBE_PAUSE_MS=0"});
        EXPECT_TRUE(run.exited && run.exitCode == 0);
        EXPECT_EQ(testing_support::describeTreeDifference(before, testing_support::snapshotTree(elsewhere)), "");
      }
    }
  }
}

// What a run killed during its copy over the installation leaves: a whole
// backup, the restore marker, a half patched installation and the running
// files parked. The next run puts the backup back first, in place of the
// files it runs from itself, and here has no patch of its own to apply.
TEST_F(WinePatch, ARunThatDiedDuringItsCopyIsPutBackByTheNext) {
  const auto installed = testing_support::snapshotTree(installFolder());
  const fs::path backup = clientDataFolder() / "baksrcfile";
  fs::copy(installFolder(), backup, fs::copy_options::recursive);
  const fs::path extracted = clientDataFolder() / "decpressupdatefile";
  for (const auto& [name, content] :
       std::map<std::string, std::string>{{"client.dat", "client from sp1"}, {"data/added.txt", "added by sp1"}}) {
    for (const fs::path& folder : {extracted, installFolder()}) {
      fs::create_directories((folder / name).parent_path());
      writeFile(folder / name, content);
    }
  }
  fs::copy_file(windowsBuildFile("VelmiUpdate.exe"), installFolder() / "VelmiUpdate_Rename.exe");
  fs::copy_file(windowsBuildFile("sqlite3.dll"), installFolder() / "sqlite3_Rename.dll");
  writeFile(clientDataFolder() / "baksrcfile.restore", "");

  const auto run = runUpdater("N");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);

  auto after = testing_support::snapshotTree(installFolder());
  // The files it ran from were parked again to be put back; their parked copies wait for the next run.
  after.erase("VelmiUpdate_Rename.exe");
  after.erase("sqlite3_Rename.dll");
  EXPECT_EQ(testing_support::describeTreeDifference(installed, after), "");
  EXPECT_FALSE(fs::exists(clientDataFolder() / "baksrcfile.restore"));
  EXPECT_EQ(readVersions(clientDataFolder() / "usr000.db"), "2.0.0|2.0.0");
  expectWorkFoldersGone();
}

// The restore marker's bytes as a build writes them: UTF-16LE, a state unit and the updater's path.
std::string markerBytes(const std::string& text) {
  std::string bytes;
  for (char c : text) bytes += {c, '\0'};
  return bytes;
}

// Names as Windows reads them with the Japanese ANSI code page, 932, which Wine
// takes from the locale. There the second byte of a character may be 0x5C, the
// byte of "\", or a letter: the kanji for "table" is 95 5C, katakana A is
// 83 41 and katakana DI is 83 61. Names of devices, names Windows cuts at their
// end, short names that Wine reads as the long names of the installation's
// files, entries of another kind than what stands in the installation, and the
// names of the updater's own files fail the patch whole. Each row is one patch
// run with its archives, some beside a restore marker that an earlier run, or
// no build, left; and each leaves an updater that starts again.
TEST_F(WinePatch, ArchiveNamesAsWindowsReadsThem) {
  locale_t japanese = newlocale(LC_ALL_MASK, "ja_JP.UTF-8", nullptr);
  ASSERT_NE(japanese, nullptr) << "no ja_JP.UTF-8 locale on this machine: localedef -i ja_JP -f UTF-8 ja_JP.UTF-8";
  freelocale(japanese);
  struct Row {
    const char* what;
    std::vector<std::vector<std::pair<std::string, std::string>>> archives;  // names in code page 932
    std::map<std::string, std::string> patched;                              // host names (UTF-8), or none
    std::function<void(const fs::path& marker)> leave = nullptr;  // what stands under the marker's name first
    bool leftAlone = false;  // the run does nothing: the marker and the patch stay for the marker's owner
  };
  const std::string thisUpdater = windowsPath(installFolder() / "VelmiUpdate.exe");
  ASSERT_FALSE(fs::exists(fs::symlink_status(driveC().parent_path() / "dosdevices" / "q:"))) << "Q: names a drive";
  const auto writeMarker = [](const std::string& bytes) {
    return [bytes](const fs::path& marker) { writeFile(marker, bytes); };
  };
  std::vector<Row> rows = {
      {"second bytes that look like a backslash and like letters",
       {{{"d\x95\x5C", "kanji"}, {"\x83\x41.txt", "katakana A"}, {"\x83\x61.txt", "katakana DI"}}},
       {{"d\xe8\xa1\xa8", "kanji"}, {"\xe3\x82\xa2.txt", "katakana A"}, {"\xe3\x83\x82.txt", "katakana DI"}}},
      {"a name Windows refuses", {{{"readme.txt", "patched"}, {"a*b.txt", "wildcard"}}}, {}},
      {"a folder entry where an earlier archive left a file", {{{"extra", "a file"}}, {{"extra/", ""}}}, {}},
      {"a name longer than the records hold", {{{"readme.txt", "patched"}, {std::string(300, 'n'), "long"}}}, {}},
      {"a folder entry where the installation has the library",
       {{{"readme.txt", "patched"}, {"sqlite3.dll/", ""}, {"sqlite3.dll/x.txt", "over the library"}}},
       {}},
      {"a file in a folder where the installation has a file", {{{"client.dat/x.txt", "over client.dat"}}}, {}},
      {"a marker with a state no build writes",
       {{{"readme.txt", "patched"}}},
       {{"readme.txt", "patched"}},
       writeMarker(markerBytes("Z" + thisUpdater))},
      {"a marker of an odd byte count",
       {{{"readme.txt", "patched"}}},
       {{"readme.txt", "patched"}},
       writeMarker(markerBytes("R" + thisUpdater) + "R")},
      {"a folder under the marker's name",
       {{{"readme.txt", "patched"}}},
       {{"readme.txt", "patched"}},
       [](const fs::path& marker) {
         fs::create_directory(marker);
         writeFile(marker / "inside.txt", "in a folder");
       }},
      {"a read-only marker with a state no build writes",
       {{{"readme.txt", "patched"}}},
       {{"readme.txt", "patched"}},
       [&](const fs::path& marker) {
         writeFile(marker, markerBytes("Z" + thisUpdater));
         // Wine keeps the read-only attribute as a file that nobody may write.
         fs::permissions(marker, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       }},
      {"a restore marker of an installation on a drive that is not there",
       {{{"readme.txt", "patched"}}},
       {},
       writeMarker(markerBytes("RQ:\\other\\VelmiUpdate.exe")),
       true},
  };
  // The last three are Wine's short forms of VelmiUpdate.exe, of its parked name and of client_config.txt.
  for (const char* name : {"NUL", "nul.txt", "data/AUX", "COM1", "client.dat.", "client.dat ", "VelmiUpdate_Rename.exe",
                           "sqlite3_Rename.dll", "VelmiUpdate_Copy.tmp", "sqlite3_Copy.tmp", "VELM~J2R.EXE",
                           "VELM~BI1.EXE", "CLIE~15Z.TXT"}) {
    rows.push_back({name, {{{"readme.txt", "patched"}, {name, "refused"}}}, {}});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    freshInstallation();
    for (size_t i = 0; i < row.archives.size(); ++i) {
      testing_support::ZipBuilder zip;
      for (const auto& [name, content] : row.archives[i]) {
        if (name.back() == '/') {
          zip.addFolder(name);
        } else {
          zip.addFile(name, content);
        }
      }
      fs::create_directories(patchFolder());
      zip.writeTo(patchFolder() / ("names_sp" + std::to_string(i + 1) + ".zip"));
    }
    const fs::path marker = clientDataFolder() / "baksrcfile.restore";
    if (row.leave) row.leave(marker);
    const std::string markerLeft = fs::is_regular_file(marker) ? readFile(marker) : "";
    const auto installed = testing_support::snapshotTree(installFolder());

    const std::vector<std::string> japanese = {"LANG=ja_JP.UTF-8", "LC_ALL=ja_JP.UTF-8"};
    const auto run = runUpdater("N", japanese);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    if (row.patched.empty()) {
      EXPECT_EQ(testing_support::describeTreeDifference(installed, testing_support::snapshotTree(installFolder())), "");
      EXPECT_EQ(readVersions(clientDataFolder() / "usr000.db"), row.leftAlone ? "2.0.1|2.0.0" : "2.0.0|2.0.0");
    } else {
      for (const auto& [name, content] : row.patched) {
        const fs::path file = installFolder() / name;
        EXPECT_EQ(fs::is_regular_file(file) ? readFile(file) : "<no file>", content) << name;
      }
      EXPECT_EQ(readVersions(clientDataFolder() / "usr000.db"), "2.0.1|2.0.1");
    }
    if (row.leftAlone) {
      EXPECT_EQ(fs::is_regular_file(marker) ? readFile(marker) : "<no marker>", markerLeft);
      EXPECT_TRUE(fs::exists(patchFolder() / "names_sp1.zip"));
      EXPECT_FALSE(fs::exists(clientDataFolder() / "baksrcfile"));
      EXPECT_FALSE(fs::exists(clientDataFolder() / "decpressupdatefile"));
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(marker))) << "the restore marker stays";
      expectWorkFoldersGone();
    }
    // A library or an updater written over would stop it at its start (Wine's exit code 53).
    EXPECT_EQ(runUpdater("N", japanese).exitCode, 0) << "the next run does not start";
  }
}

}  // namespace
