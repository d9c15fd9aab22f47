// Patch runs that fail: the installation stays exactly as it was.
#include <gtest/gtest.h>

#include <functional>

#include "tests/e2e/patch_test_sandbox.h"

using namespace patch_test;
using testing_support::describeTreeDifference;
using testing_support::makeZip;
using testing_support::replaceBytes;
using testing_support::shortenFirstEntryData;
using testing_support::writeFile;

namespace {

// A good archive that would change the installation, applied first.
void addGoodArchive(const PatchSandbox& s) {
  makeZip(s.patch("a_sp1.zip"), {{"keep.txt", "changed by a_sp1"}, {"added/by_a.txt", "added"}});
}

}  // namespace

// Each run fails before its copy: the installation stays exactly as it was.
TEST(PatchFailure, NothingUsableInThePatchFolder) {
  struct Row {
    const char* what;
    bool goodArchiveFirst;
    std::function<void(const PatchSandbox&)> prepare;
  };
  const Row rows[] = {
      {"no patch folder", false, [](const PatchSandbox&) {}},
      {"an empty patch folder", false, [](const PatchSandbox& s) { fs::create_directories(s.patchFolder()); }},
      {"a patch folder with only a sub-folder", false,
       [](const PatchSandbox& s) { fs::create_directories(s.patchFolder() / "x_sp1.zip"); }},
      {"a file named zip that is no archive", true,
       [](const PatchSandbox& s) { writeFile(s.patch("part.zip.txt"), "plain text, whatever its name says"); }},
      {"an archive that cannot be opened", true,
       [](const PatchSandbox& s) { writeFile(s.patch("b_sp2.zip"), "PK but no archive"); }},
      {"an entry with data that do not match its CRC", true,
       [](const PatchSandbox& s) {
         makeZip(s.patch("b_sp2.zip"), {{"fine.txt", "fine"}, {"keep.txt", "this content gets damaged"}}, "-0");
         ASSERT_EQ(replaceBytes(s.patch("b_sp2.zip"), "gets damaged", "got damaged!"), 1);
       }},
      {"an entry whose data are cut short", true,
       [](const PatchSandbox& s) {
         makeZip(s.patch("b_sp2.zip"), {{"keep.txt", std::string(5000, 'k')}, {"after.txt", "after"}});
         shortenFirstEntryData(s.patch("b_sp2.zip"), 6);
       }},
      {"an entry that leads out of the extraction folder", true,
       [](const PatchSandbox& s) {
         makeZip(s.patch("b_sp2.zip"), {{"fine.txt", "fine"}, {"zz/escaped.txt", "escaped"}});
         ASSERT_EQ(replaceBytes(s.patch("b_sp2.zip"), "zz/escaped", "../escaped"), 2);
       }},
      // What stands in the installation is of another kind than the entry:
      // the copy would write the one over the other, so the patch fails before the copy.
      {"a folder entry where the installation has a file", true,
       [](const PatchSandbox& s) {
         makeZip(s.patch("b_sp2.zip"), {{"sqlite3.dll/", ""}, {"sqlite3.dll/x.txt", "over the library"}});
       }},
      {"a file entry where the installation has a folder", true,
       [](const PatchSandbox& s) {
         makeZip(s.patch("b_sp2.zip"), {{"aa_new.txt", "new"}, {"shared", "a file"}});
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PatchSandbox s;
    if (row.goodArchiveFirst) addGoodArchive(s);
    row.prepare(s);
    s.expectFailedRunLeavesInstallation();
    EXPECT_FALSE(fs::exists(s.clientData() / "escaped.txt"));
  }
}

TEST(PatchFailure, AFolderLinkedFromOutsideIsNeverDeletedThrough) {
  PatchSandbox s;
  const fs::path userData = s.install().parent_path() / "userdata";
  fs::create_directories(userData);
  writeFile(userData / "settings.ini", "the user's own settings");
  fs::create_symlink("../userdata", s.install() / "data");
  // The copy goes by name: "aa_new.txt" lands, then the folder cannot go onto the link.
  makeZip(s.patch("a_sp1.zip"), {{"aa_new.txt", "new"}, {"data/settings.ini", "from the patch"}});
  const TreeSnapshot before = s.installation();
  const TreeSnapshot userDataBefore = testing_support::snapshotTree(userData);

  s.runPatch();
  TreeSnapshot after = s.installation();
  after.erase("VelmiUpdate_Rename.exe");
  after.erase("sqlite3_Rename.dll");
  EXPECT_EQ(describeTreeDifference(before, after), "");
  EXPECT_EQ(fs::read_symlink(s.install() / "data"), "../userdata");
  EXPECT_EQ(describeTreeDifference(userDataBefore, testing_support::snapshotTree(userData)), "");
}

TEST(PatchFailure, PathsThatDoNotFitTheirBuffersFailBeforeAnythingIsTouched) {
  {
    // The extraction folder fits the procedure's paths but not the reader's:
    // no archive can go in whole, so none goes in at all.
    SCOPED_TRACE("a client data folder too long for the extraction driver");
    PatchSandbox s(240);
    ASSERT_LT(s.patchFolder().string().size(), 510u);
    addGoodArchive(s);
    s.expectFailedRunLeavesInstallation();
  }
  {
    SCOPED_TRACE("a client data folder too long for the procedure's paths");
    PatchSandbox s(500);
    addGoodArchive(s);
    const TreeSnapshot patch = testing_support::snapshotTree(s.patchFolder());
    const TreeSnapshot before = s.installation();
    s.runPatch();
    EXPECT_EQ(describeTreeDifference(before, s.installation()), "");
    // A path that cannot be built names nothing, so nothing is deleted either.
    EXPECT_EQ(describeTreeDifference(patch, testing_support::snapshotTree(s.patchFolder())), "");
  }
}

TEST(PatchFailure, AnExecutablePathHoldingABackslashPatchesNoFolder) {
  // Read as a path, "in\VelmiUpdate" would make "in" the installation folder.
  PatchSandbox s(0, "in\\VelmiUpdate");
  fs::create_directories(s.install() / "in");
  addGoodArchive(s);
  const TreeSnapshot before = s.installation();
  s.runPatch();
  EXPECT_EQ(describeTreeDifference(before, s.installation()), "");
}
