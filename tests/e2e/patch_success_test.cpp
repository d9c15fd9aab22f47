// Patch runs that succeed: the archives reach the installation in "_sp" order.
#include <gtest/gtest.h>

#include "tests/e2e/patch_test_sandbox.h"

using namespace patch_test;
using testing_support::describeTreeDifference;
using testing_support::makeZip;
using testing_support::readFile;
using testing_support::writeFile;

TEST(PatchRun, AppliesArchivesInNumberOrderOverTheInstallation) {
  PatchSandbox s;
  // Listed a_sp2 first, so only the sort puts b_sp1 before it.
  makeZip(s.patch("a_sp2.zip"), {{"shared/config.ini", "config of sp2"},
                                 {"newdir/", ""},
                                 {"newdir/one.txt", "one"},
                                 {"plain/deeper/two.txt", "two"},  // no directory entries
                                 {"top.txt", "top"}});
  makeZip(s.patch("b_sp1.zip"), {{"shared/config.ini", "config of sp1"}, {"b_only.txt", "from b"}}, "-0");
  writeFile(s.patch("notes.txt"), "not an archive, passed over");

  TreeSnapshot expected = s.installation();
  expected["shared/config.ini"] = "config of sp2";
  expected["newdir"] = "<folder>";
  expected["newdir/one.txt"] = "one";
  expected["plain"] = "<folder>";
  expected["plain/deeper"] = "<folder>";
  expected["plain/deeper/two.txt"] = "two";
  expected["top.txt"] = "top";
  expected["b_only.txt"] = "from b";

  s.runPatch();
  // The executable and sqlite3.dll stand under their own names, with no parked copies.
  EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
  s.expectWorkFoldersGone();
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

TEST(PatchRun, FilesWithoutZipInTheirNameAreNoPatch) {
  PatchSandbox s;
  writeFile(s.patch("readme.txt"), "nothing to apply");
  makeZip(s.patch("update.ZIP"), {{"upper.txt", "from an upper-case name"}});
  TreeSnapshot expected = s.installation();
  expected["upper.txt"] = "from an upper-case name";
  s.runPatch();
  EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
  s.expectWorkFoldersGone();
}
