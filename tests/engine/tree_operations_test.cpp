// The engine's tree operations over their 512-unit path buffers, the folder
// listing, and the rollback of a copy over the installation that stopped half-way.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <list>

#include "engine/auto_install_patch_rollback.h"
#include "engine/paths.h"
#include "engine/tree_operations.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct PathBuffer {
  explicit PathBuffer(const std::u16string& text) {
    std::fill(std::begin(units), std::end(units), u'#');
    std::copy(text.begin(), text.end(), units);
    units[text.size()] = 0;
  }
  explicit PathBuffer(const fs::path& path) : PathBuffer(widen(path.string())) {}
  char16_t units[kPathBufferLength];
};

}  // namespace

TEST(TreeOperations, WriteTheListsSecondNulBehindThePath) {
  TempFolder temp;
  writeFile(temp / "a", "a");
  PathBuffer from(temp / "a");
  PathBuffer to(temp / "b");
  size_t length = (temp / "a").string().size();
  ASSERT_TRUE(renamePath(from.units, to.units));
  EXPECT_EQ(from.units[length], 0);
  EXPECT_EQ(from.units[length + 1], 0);
  EXPECT_EQ(from.units[length + 2], u'#');
  EXPECT_EQ(std::u16string(from.units), widen((temp / "a").string()));
  EXPECT_EQ(to.units[length + 1], 0);
}

TEST(TreeOperations, RefusePathsThatLeaveNoRoomForTheSecondNul) {
  TempFolder temp;
  std::u16string base = widen(temp.path().string()) + u"\\";
  PathBuffer longest(base + std::u16string(510 - base.size(), u'x'));
  EXPECT_FALSE(deletePath(longest.units));  // fits, but names nothing
  EXPECT_EQ(longest.units[511], 0);
  PathBuffer tooLong(base + std::u16string(511 - base.size(), u'x'));
  EXPECT_FALSE(deletePath(tooLong.units));
  char16_t unterminated[kPathBufferLength];
  std::fill(std::begin(unterminated), std::end(unterminated), u'x');
  EXPECT_FALSE(deletePath(unterminated));
  EXPECT_FALSE(deletePath(nullptr));
  EXPECT_FALSE(renamePath(nullptr, tooLong.units));
  EXPECT_FALSE(copyFolderContents(nullptr, tooLong.units));
}

TEST(TreeOperations, CopyCreatesOneTargetLevelAndOverwrites) {
  TempFolder temp;
  fs::create_directories(temp / "source/sub");
  writeFile(temp / "source/file", "new");
  writeFile(temp / "source/sub/inner", "inner");
  PathBuffer from(widen((temp / "source").string()) + u"\\*");
  struct Row {
    const char* what;
    const char* target;
    bool copied;
  };
  for (const Row& row : {Row{"missing parent: nothing copied", "missing/target", false},
                         Row{"missing target with its parent present", "target", true},
                         Row{"existing files are replaced", "target", true}}) {
    SCOPED_TRACE(row.what);
    if (fs::exists(temp / "target")) writeFile(temp / "target/file", "old");
    PathBuffer to(temp / row.target);
    EXPECT_EQ(copyFolderContents(from.units, to.units), row.copied);
    EXPECT_EQ(fs::exists(temp / row.target), row.copied);
    if (row.copied) {
      EXPECT_EQ(describeTreeDifference(snapshotTree(temp / "source"), snapshotTree(temp / row.target)), "");
    }
  }
  EXPECT_FALSE(fs::exists(temp / "missing"));
}

TEST(TreeOperations, DeleteRemovesTreesAndRenameNeverReplaces) {
  TempFolder temp;
  fs::create_directories(temp / "tree/sub");
  writeFile(temp / "tree/sub/file", "x");
  PathBuffer tree(temp / "tree");
  EXPECT_TRUE(deletePath(tree.units));
  EXPECT_FALSE(fs::exists(temp / "tree"));
  EXPECT_FALSE(deletePath(tree.units));

  writeFile(temp / "a", "a");
  writeFile(temp / "b", "b");
  PathBuffer a(temp / "a");
  PathBuffer b(temp / "b");
  EXPECT_FALSE(renamePath(a.units, b.units));
  EXPECT_EQ(readFile(temp / "b"), "b");
}

TEST(ListFilesInFolder, AppendsPlainFilesAndMakesTheFolderCurrent) {
  TempFolder temp;
  fs::create_directories(temp / "download/sub");
  fs::create_directories(temp / "only/sub");
  for (const char* name : {"b.exe", ".hidden", "A.exe"}) writeFile(temp / "download" / name, "x");
  struct Row {
    const char* folder;
    std::list<std::u16string> names;
    const char* current;  // a missing folder leaves the current one as it was
  };
  for (const Row& row : {Row{"download", {u"earlier", u".hidden", u"A.exe", u"b.exe"}, "download"},
                         Row{"only", {u"earlier"}, "only"}, Row{"missing", {u"earlier"}, "only"}}) {
    SCOPED_TRACE(row.folder);
    std::list<std::u16string> names{u"earlier"};
    listFilesInFolder(widen((temp / row.folder).string()).c_str(), names);
    EXPECT_EQ(names, row.names);
    EXPECT_EQ(fs::current_path(), temp / row.current);
  }
}

TEST(PatchRollback, TakesNamesLiterallyNeverFollowsLinksAndGoesPastFailures) {
  TempFolder temp;
  // As in a real run, the backup lies elsewhere: a relative link copied there leads nowhere.
  const fs::path extract = temp / "client/extract", backup = temp / "client/backup", install = temp / "install";
  const fs::path outside = temp / "outside";
  for (const char* name : {"*", "new/inner.txt", "keep.txt", "data/settings.ini", "blocked/x", "same.txt"}) {
    fs::create_directories((extract / name).parent_path());
    writeFile(extract / name, "from the patch");
  }
  fs::create_directories(outside);
  fs::create_directories(backup);
  writeFile(outside / "settings.ini", "the user's own");
  writeFile(backup / "keep.txt", "kept");
  writeFile(backup / "other.txt", "other");
  fs::create_symlink("../outside", backup / "data");
  // The installation after the copy stopped: a file named "*" and a new folder
  // holding a link that leads out; beside them a folder linked from outside.
  fs::create_directories(install / "new");
  writeFile(install / "*", "from the patch");
  writeFile(install / "new/inner.txt", "from the patch");
  fs::create_symlink("../../outside", install / "new/escape");
  writeFile(install / "keep.txt", "from the patch");
  fs::create_symlink("../outside", install / "data");
  // Not in the patch, so the copy never wrote it: it stays as it is.
  writeFile(install / "other.txt", "changed since the backup");
  // Written by the copy with the bytes it had: only its time is the patch's.
  writeFile(backup / "same.txt", "same");
  writeFile(install / "same.txt", "same");
  const auto backedUpTime = fs::last_write_time(backup / "same.txt") - std::chrono::hours(24);
  fs::last_write_time(backup / "same.txt", backedUpTime);
  const TreeSnapshot outsideBefore = snapshotTree(outside);
  auto rollBack = [&] {
    return rollBackPatch(widen(extract.string()).c_str(), widen(backup.string()).c_str(),
                         widen(install.string()).c_str());
  };
  {
    SCOPED_TRACE("what the patch named put back");
    EXPECT_TRUE(rollBack());
    // The snapshot names a link by where it leads; the link itself is compared on its own.
    TreeSnapshot backedUp = snapshotTree(backup), installed = snapshotTree(install);
    backedUp.erase("data");
    backedUp["other.txt"] = "changed since the backup";
    installed.erase("../outside");
    EXPECT_EQ(describeTreeDifference(backedUp, installed), "");
    EXPECT_EQ(fs::read_symlink(install / "data"), "../outside");
    EXPECT_EQ(describeTreeDifference(outsideBefore, snapshotTree(outside)), "");
    EXPECT_FALSE(fs::exists(extract));
    EXPECT_FALSE(fs::exists(temp / "client/extract.delete"));
    EXPECT_EQ(fs::last_write_time(install / "same.txt"), backedUpTime);
  }
  {
    SCOPED_TRACE("without the extraction folder, everything; a file that cannot go back is passed over, and told");
    writeFile(backup / "blocked", "a file where the installation now has a folder");
    fs::create_directories(install / "blocked");
    writeFile(install / "keep.txt", "from the patch");
    writeFile(install / "other.txt", "from the patch");
    fs::last_write_time(install / "same.txt", backedUpTime + std::chrono::hours(1));
    EXPECT_FALSE(rollBack());
    EXPECT_EQ(fs::last_write_time(install / "same.txt"), backedUpTime);
    EXPECT_EQ(readFile(install / "keep.txt"), "kept");
    EXPECT_EQ(readFile(install / "other.txt"), "other");
  }
}
