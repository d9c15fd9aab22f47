// Patch runs that succeed: the archives reach the installation in "_sp" order.
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/e2e/patch_test_sandbox.h"

using namespace patch_test;
using testing_support::describeTreeDifference;
using testing_support::makeZip;
using testing_support::readFile;
using testing_support::writeFile;

// Each run changes the installation by exactly the listed entries. The executable
// and sqlite3.dll stand under their own names, with no parked copies.
TEST(PatchRun, AppliesArchivesInNumberOrderOverTheInstallation) {
  struct Row {
    const char* what;
    std::function<void(const PatchSandbox&)> prepare;
    TreeSnapshot changes;
  };
  const Row rows[] = {
      {"listed a_sp2 first, so only the sort puts b_sp1 before it",
       [](const PatchSandbox& s) {
         makeZip(s.patch("a_sp2.zip"), {{"shared/config.ini", "config of sp2"},
                                        {"newdir/", ""},
                                        {"newdir/one.txt", "one"},
                                        {"plain/deeper/two.txt", "two"},  // no directory entries
                                        {"top.txt", "top"}});
         makeZip(s.patch("b_sp1.zip"), {{"shared/config.ini", "config of sp1"}, {"b_only.txt", "from b"}}, "-0");
         writeFile(s.patch("notes.txt"), "not an archive, passed over");
       },
       {{"shared/config.ini", "config of sp2"},
        {"newdir", "<folder>"},
        {"newdir/one.txt", "one"},
        {"plain", "<folder>"},
        {"plain/deeper", "<folder>"},
        {"plain/deeper/two.txt", "two"},
        {"top.txt", "top"},
        {"b_only.txt", "from b"}}},
      {"files without zip in their name are no patch",
       [](const PatchSandbox& s) {
         writeFile(s.patch("readme.txt"), "nothing to apply");
         makeZip(s.patch("update.ZIP"), {{"upper.txt", "from an upper-case name"}});
       },
       {{"upper.txt", "from an upper-case name"}}},
      {"Latin-1 names in the installation, the patch folder and the archive go through unchanged",
       [](const PatchSandbox& s) {
         writeFile(s.install() / "caf\xe9.txt", "old");
         writeFile(s.install() / "shared" / "\xe9t\xe9.ini", "kept");
         makeZip(s.patch("mise \xe0 jour_sp1.zip"), {{"caf\xe9.txt", "new"}, {"na\xefve/new.txt", "new"}});
       },
       {{"caf\xe9.txt", "new"}, {"na\xefve", "<folder>"}, {"na\xefve/new.txt", "new"}}},
      {"the restore marker of an installation that is gone is dropped with its backup, never put back here",
       [](const PatchSandbox& s) {
         std::string marker("R\0", 2);
         for (char c : std::string("/gone/install/VelmiUpdate")) marker += {c, '\0'};
         fs::create_directories(s.backupFolder());
         fs::create_directories(s.extractFolder());
         writeFile(s.clientData() / "baksrcfile.restore", marker);
         writeFile(s.backupFolder() / "keep.txt", "from the other installation's backup");
         writeFile(s.extractFolder() / "extracted.txt", "from the other installation's patch");
         makeZip(s.patch("a_sp1.zip"), {{"top.txt", "top"}});
       },
       {{"top.txt", "top"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PatchSandbox s;
    row.prepare(s);
    TreeSnapshot expected = s.installation();
    for (const auto& [name, content] : row.changes) expected[name] = content;
    s.runPatch();
    EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
    s.expectWorkFoldersGone();
  }
}

TEST(PatchRun, ANewSqliteLibraryLeavesTheOldParkedUntilTheNextRun) {
  PatchSandbox s;
  makeZip(s.patch("lib_sp1.zip"), {{"sqlite3.dll", "sqlite library, new"}});
  TreeSnapshot expected = s.installation();
  expected["sqlite3.dll"] = "sqlite library, new";

  s.runPatch();
  TreeSnapshot withParked = expected;
  withParked["sqlite3_Rename.dll"] = "sqlite library, old";
  EXPECT_EQ(describeTreeDifference(withParked, s.installation()), "");
  s.expectWorkFoldersGone();

  SCOPED_TRACE("the next run deletes the parked copy, even one that fails for want of a patch");
  s.runPatch();
  EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
}

TEST(PatchRun, ReplacedFilesAndFoldersKeepTheirPermissions) {
  for (bool rolledBack : {false, true}) {
    SCOPED_TRACE(rolledBack ? "a copy that stops half-way and is rolled back" : "a copy that goes in whole");
    PatchSandbox s;
    writeFile(s.install() / "run.sh", "#!/bin/sh\n");
    writeFile(s.install() / "secret.txt", "old secret");
    fs::create_directories(s.install() / "private");
    writeFile(s.install() / "private" / "data.txt", "old data");
    chmod((s.install() / "run.sh").c_str(), 0755);
    chmod((s.install() / "secret.txt").c_str(), 0600);
    chmod((s.install() / "private").c_str(), 0700);
    // As root, another user's set-user-ID helper stays that user's, never root's with the bit.
    const bool root = geteuid() == 0;
    if (root) {
      writeFile(s.install() / "helper", "#!/bin/sh\n");
      ASSERT_EQ(chown((s.install() / "helper").c_str(), 65534, 65534), 0);
      chmod((s.install() / "helper").c_str(), 04755);
    }
    std::vector<std::pair<std::string, std::string>> entries = {{"VelmiUpdate", "new updater"},
                                                                {"private/data.txt", "new data"},
                                                                {"run.sh", "new script"},
                                                                {"secret.txt", "new secret"}};
    if (root) entries.push_back({"helper", "new helper"});
    // Copied by name, so this comes last and fails after the others went in:
    // a folder that cannot be written, for root on a read-only mount.
    const fs::path blocked = s.install() / "zz";
    if (rolledBack) {
      fs::create_directories(blocked);
      entries.push_back({"zz/inside.txt", "cannot land"});
      if (root) {
        ASSERT_EQ(unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        ASSERT_EQ(mount(blocked.c_str(), blocked.c_str(), nullptr, MS_BIND, nullptr), 0);
        ASSERT_EQ(mount(nullptr, blocked.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
      } else {
        chmod(blocked.c_str(), 0555);
      }
    }
    makeZip(s.patch("a_sp1.zip"), entries);
    auto modes = [&] {
      std::map<std::string, std::pair<uid_t, mode_t>> all;
      for (const char* name : {"VelmiUpdate", "run.sh", "secret.txt", "private", "private/data.txt", "helper"}) {
        struct stat info {};
        if (stat((s.install() / name).c_str(), &info) == 0) all[name] = {info.st_uid, info.st_mode & 07777};
      }
      return all;
    };
    const std::map<std::string, std::pair<uid_t, mode_t>> before = modes();
    s.runPatch();
    EXPECT_EQ(readFile(s.install() / "secret.txt"), rolledBack ? "old secret" : "new secret");
    EXPECT_EQ(modes(), before);
    if (rolledBack && root) umount2(blocked.c_str(), MNT_DETACH);
    chmod(blocked.c_str(), 0755);
  }
}
