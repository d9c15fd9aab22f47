// The shell's copy, delete and rename as the POSIX layer emulates them.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr uint32_t kCopyFlags = 0x614;

// A list of one path: the path, its NUL and the list's NUL.
std::u16string listOf(const fs::path& path) { return widen(path.string()) + u'\0'; }

int shellCopy(const fs::path& from, const fs::path& to) {
  return platform::shellFileOperation(platform::ShellOperation::Copy, listOf(from).c_str(), listOf(to).c_str(),
                                      kCopyFlags);
}

int shellDelete(const fs::path& path) {
  return platform::shellFileOperation(platform::ShellOperation::Delete, listOf(path).c_str(), nullptr, 0x410);
}

int shellRename(const fs::path& from, const fs::path& to) {
  return platform::shellFileOperation(platform::ShellOperation::Rename, listOf(from).c_str(), listOf(to).c_str(),
                                      0x210);
}

}  // namespace

TEST(ShellCopy, WildcardCopiesTheWholeTreeIntoTheTargetAndReplacesFiles) {
  TempFolder temp;
  fs::create_directories(temp / "source/sub/deeper");
  writeFile(temp / "source/top.txt", "new top");
  writeFile(temp / "source/sub/deeper/leaf.txt", "leaf");
  fs::create_directories(temp / "target");
  writeFile(temp / "target/top.txt", "old top, longer than the new one");
  writeFile(temp / "target/kept.txt", "kept");
  // A user's files of any name are copied and left alone, whatever names a copy might pass through.
  fs::create_directories(temp / "target/sub");
  writeFile(temp / "target/sub/.velmi-partial~", "the user's");
  writeFile(temp / "source/.velmi-partial~", "the user's too");
  // A link planted where a file lands is replaced, never written through.
  writeFile(temp / "outside.txt", "outside");
  fs::create_symlink(temp / "outside.txt", temp / "target/sub/linked.txt");
  writeFile(temp / "source/sub/linked.txt", "copied");

  // Windows-style separators are accepted as well.
  std::u16string from = widen((temp / "source").string()) + u"\\*" + u'\0';
  EXPECT_EQ(platform::shellFileOperation(platform::ShellOperation::Copy, from.c_str(), listOf(temp / "target").c_str(),
                                         kCopyFlags),
            0);
  EXPECT_EQ(readFile(temp / "target/top.txt"), "new top");
  EXPECT_EQ(readFile(temp / "target/sub/deeper/leaf.txt"), "leaf");
  EXPECT_EQ(readFile(temp / "target/kept.txt"), "kept");
  EXPECT_FALSE(fs::exists(temp / "target/source"));
  EXPECT_EQ(readFile(temp / "target/sub/.velmi-partial~"), "the user's");
  EXPECT_EQ(readFile(temp / "target/.velmi-partial~"), "the user's too");
  EXPECT_FALSE(fs::is_symlink(temp / "target/sub/linked.txt"));
  EXPECT_EQ(readFile(temp / "target/sub/linked.txt"), "copied");
  EXPECT_EQ(readFile(temp / "outside.txt"), "outside");
}

TEST(ShellCopy, KeepsPermissionBitsAndModificationTimes) {
  TempFolder temp;
  fs::create_directories(temp / "source/tool");
  writeFile(temp / "source/tool/run.sh", "#!/bin/sh\n");
  chmod((temp / "source/tool/run.sh").c_str(), 0751);
  chmod((temp / "source/tool").c_str(), 0750);
  auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(temp / "source/tool/run.sh", stamp);
  fs::last_write_time(temp / "source/tool", stamp);

  ASSERT_EQ(shellCopy(temp / "source/*", temp / "target"), 0);
  struct stat info;
  ASSERT_EQ(stat((temp / "target/tool/run.sh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0751u);
  ASSERT_EQ(stat((temp / "target/tool").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750u);
  EXPECT_EQ(fs::last_write_time(temp / "target/tool/run.sh"), stamp);
  EXPECT_EQ(fs::last_write_time(temp / "target/tool"), stamp);

  // Set-ID bits come along only with the owner: root copies another user's
  // helper as that user's; that user's copy of root's helper has none.
  if (geteuid() != 0) GTEST_SKIP() << "copies for another owner need root";
  constexpr uid_t kNobody = 65534;
  fs::create_directories(temp / "ids/theirs");
  fs::create_directories(temp / "ids/roots");
  writeFile(temp / "ids/theirs/helper", "#!/bin/sh\n");
  writeFile(temp / "ids/roots/helper", "#!/bin/sh\n");
  ASSERT_EQ(chown((temp / "ids/theirs/helper").c_str(), kNobody, kNobody), 0);
  chmod((temp / "ids/theirs/helper").c_str(), 06755);
  chmod((temp / "ids/roots/helper").c_str(), 06755);
  fs::create_directories(temp / "nobody");
  ASSERT_EQ(chown((temp / "nobody").c_str(), kNobody, kNobody), 0);
  chmod(temp.path().c_str(), 0755);
  // A folder of root's that nobody's group may write into takes the copy and
  // keeps its owner and bits: nobody may not chmod it, even to what it has.
  fs::create_directories(temp / "ids/roots/shared");
  writeFile(temp / "ids/roots/shared/notes.txt", "notes");
  chmod((temp / "ids/roots/shared/notes.txt").c_str(), 0604);
  fs::create_directories(temp / "nobody/copy/shared");
  ASSERT_EQ(chown((temp / "nobody/copy").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown((temp / "nobody/copy/shared").c_str(), 0, kNobody), 0);
  chmod((temp / "nobody/copy/shared").c_str(), 0775);
  ASSERT_EQ(shellCopy(temp / "ids/theirs/*", temp / "by-root"), 0);
  ChildProcess copier([&] {
    const bool becameNobody = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
    return becameNobody && shellCopy(temp / "ids/roots/*", temp / "nobody/copy") == 0 ? 0 : 1;
  });
  ASSERT_EQ(copier.wait().exitCode, 0);
  for (const auto& [copy, owner, mode] :
       {std::tuple{"by-root/helper", kNobody, 06755u}, std::tuple{"nobody/copy/helper", kNobody, 0755u},
        std::tuple{"nobody/copy/shared", uid_t{0}, 0775u},
        std::tuple{"nobody/copy/shared/notes.txt", kNobody, 0604u}}) {
    ASSERT_EQ(stat((temp / copy).c_str(), &info), 0) << copy;
    EXPECT_EQ(info.st_uid, owner) << copy;
    EXPECT_EQ(info.st_mode & 07777, mode) << copy;
  }
}

TEST(ShellCopy, StopsAtTheFirstFailureAndKeepsWhatWasCopied) {
  TempFolder temp;
  fs::create_directories(temp / "source");
  writeFile(temp / "source/a.txt", "a");
  ASSERT_EQ(mkfifo((temp / "source/b.pipe").c_str(), 0600), 0);  // not something a copy can carry
  writeFile(temp / "source/c.txt", "c");

  EXPECT_NE(shellCopy(temp / "source/*", temp / "target"), 0);
  EXPECT_TRUE(fs::exists(temp / "target/a.txt"));
  EXPECT_FALSE(fs::exists(temp / "target/c.txt"));

  SCOPED_TRACE("a nested folder comes in NTFS order too, upper-cased beyond A-Z: \u00c9 < \u00cb");
  fs::create_directories(temp / "nested/inner");
  writeFile(temp / "nested/inner/_u.txt", "u");
  ASSERT_EQ(mkfifo((temp / "nested/inner/\xc3\xa9.pipe").c_str(), 0600), 0);
  writeFile(temp / "nested/inner/\xc3\x8b.txt", "e");
  EXPECT_NE(shellCopy(temp / "nested/*", temp / "nested-target"), 0);
  EXPECT_TRUE(fs::exists(temp / "nested-target/inner/_u.txt"));
  EXPECT_FALSE(fs::exists(temp / "nested-target/inner/\xc3\x8b.txt"));

  // The step above is made in NTFS order, this one in its reverse: a listing
  // in the order of making, or in its reverse as on tmpfs, fails one of them.
  SCOPED_TRACE("made in the reverse of NTFS order");
  fs::create_directories(temp / "reversed/inner");
  writeFile(temp / "reversed/inner/e.txt", "e");
  writeFile(temp / "reversed/inner/D.txt", "d");
  ASSERT_EQ(mkfifo((temp / "reversed/inner/c.pipe").c_str(), 0600), 0);
  writeFile(temp / "reversed/inner/B.txt", "b");
  writeFile(temp / "reversed/inner/a.txt", "a");
  EXPECT_NE(shellCopy(temp / "reversed/*", temp / "reversed-target"), 0);
  EXPECT_EQ(snapshotTree(temp / "reversed-target"),
            (TreeSnapshot{{"inner", "<folder>"}, {"inner/B.txt", "b"}, {"inner/a.txt", "a"}}));
}

TEST(ShellCopy, RefusesToMixFilesAndFoldersOfOneName) {
  TempFolder temp;
  fs::create_directories(temp / "source/name");
  fs::create_directories(temp / "other");
  writeFile(temp / "other/name", "a file");
  {
    SCOPED_TRACE("folder onto a file");
    EXPECT_NE(shellCopy(temp / "source/*", temp / "other"), 0);
    EXPECT_EQ(readFile(temp / "other/name"), "a file");
  }
  {
    SCOPED_TRACE("file onto a folder");
    fs::create_directories(temp / "third/name");
    EXPECT_NE(shellCopy(temp / "other/*", temp / "third"), 0);
    EXPECT_TRUE(fs::is_directory(temp / "third/name"));
  }
  {
    SCOPED_TRACE("a wildcard onto a file");
    writeFile(temp / "plain", "x");
    EXPECT_NE(shellCopy(temp / "source/*", temp / "plain"), 0);
  }
}

TEST(ShellCopy, NeverLosesDataCopyingOntoItselfOrIntoItself) {
  TempFolder temp;
  fs::create_directories(temp / "folder/inner");
  writeFile(temp / "folder/file.txt", "content");
  {
    SCOPED_TRACE("onto itself");
    EXPECT_EQ(shellCopy(temp / "folder/*", temp / "folder"), 0);
    EXPECT_EQ(readFile(temp / "folder/file.txt"), "content");
  }
  {
    SCOPED_TRACE("into its own sub-folder");
    EXPECT_NE(shellCopy(temp / "folder/*", temp / "folder/inner"), 0);
    EXPECT_FALSE(fs::exists(temp / "folder/inner/inner/inner"));
  }
}

TEST(ShellCopy, SingleSourcesAndMissingSources) {
  TempFolder temp;
  writeFile(temp / "one.txt", "one");
  fs::create_directories(temp / "into");
  EXPECT_EQ(shellCopy(temp / "one.txt", temp / "into"), 0);
  EXPECT_EQ(readFile(temp / "into/one.txt"), "one");
  EXPECT_EQ(shellCopy(temp / "one.txt", temp / "renamed.txt"), 0);
  EXPECT_EQ(readFile(temp / "renamed.txt"), "one");
  EXPECT_NE(shellCopy(temp / "missing/*", temp / "into"), 0);
  EXPECT_NE(shellCopy(temp / "missing.txt", temp / "into"), 0);
  fs::create_directories(temp / "empty");
  EXPECT_EQ(shellCopy(temp / "empty/*", temp / "into"), 0);
}

TEST(ShellDelete, RemovesFilesAndWholeTrees) {
  TempFolder temp;
  fs::create_directories(temp / "tree/a/b");
  writeFile(temp / "tree/a/b/file", "x");
  writeFile(temp / "tree/.hidden", "x");
  chmod((temp / "tree/a/b").c_str(), 0500);
  writeFile(temp / "single", "x");
  fs::create_symlink(temp / "single", temp / "link");

  EXPECT_EQ(shellDelete(temp / "link"), 0);
  EXPECT_TRUE(fs::exists(temp / "single"));
  EXPECT_EQ(shellDelete(temp / "single"), 0);
  EXPECT_EQ(shellDelete(temp / "tree"), 0);
  EXPECT_FALSE(fs::exists(temp / "tree"));
  EXPECT_NE(shellDelete(temp / "tree"), 0);
  EXPECT_NE(platform::shellFileOperation(platform::ShellOperation::Delete, nullptr, nullptr, 0x410), 0);
  std::u16string empty(2, u'\0');
  EXPECT_NE(platform::shellFileOperation(platform::ShellOperation::Delete, empty.c_str(), nullptr, 0x410), 0);
}

TEST(ShellRename, FailsWhenTheNewPathExists) {
  TempFolder temp;
  writeFile(temp / "a", "a");
  writeFile(temp / "b", "b");
  fs::create_directories(temp / "folder");
  EXPECT_NE(shellRename(temp / "a", temp / "b"), 0);
  EXPECT_NE(shellRename(temp / "a", temp / "folder"), 0);
  EXPECT_EQ(readFile(temp / "a"), "a");
  EXPECT_EQ(readFile(temp / "b"), "b");
  EXPECT_EQ(shellRename(temp / "a", temp / "c"), 0);
  EXPECT_EQ(readFile(temp / "c"), "a");
  EXPECT_NE(shellRename(temp / "a", temp / "d"), 0);
  EXPECT_EQ(shellRename(temp / "folder", temp / "moved"), 0);
  EXPECT_TRUE(fs::is_directory(temp / "moved"));
}
