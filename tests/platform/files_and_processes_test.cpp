// Single files and folders, the program's own path, the roaming folder and child programs.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
std::u16string wide(const fs::path& path) { return widen(path.string()); }
}  // namespace

TEST(FilesAndFolders, ExistenceCreationDeletionAndCurrentFolder) {
  TempFolder temp;
  writeFile(temp / "file", "x");
  EXPECT_TRUE(platform::pathExists(wide(temp / "file").c_str()));
  EXPECT_TRUE(platform::pathExists(wide(temp.path()).c_str()));
  EXPECT_FALSE(platform::pathExists(wide(temp / "none").c_str()));
  EXPECT_FALSE(platform::pathExists(u""));

  EXPECT_TRUE(platform::createFolder(wide(temp / "one").c_str()));
  EXPECT_FALSE(platform::createFolder(wide(temp / "one").c_str()));
  EXPECT_FALSE(platform::createFolder(wide(temp / "two/three").c_str()));

  EXPECT_FALSE(platform::deleteFile(wide(temp / "one").c_str()));
  EXPECT_TRUE(fs::is_directory(temp / "one"));
  EXPECT_TRUE(platform::deleteFile(wide(temp / "file").c_str()));
  EXPECT_FALSE(platform::deleteFile(wide(temp / "file").c_str()));

  ASSERT_TRUE(platform::setCurrentFolder((wide(temp.path()) + u"\\one").c_str()));
  EXPECT_FALSE(platform::setCurrentFolder(wide(temp / "none").c_str()));
  std::u16string expected = wide(temp / "one");
  char16_t small[4];
  EXPECT_EQ(platform::getCurrentFolder(small, 4), expected.size() + 1);
  char16_t buffer[512];
  ASSERT_EQ(platform::getCurrentFolder(buffer, 512), expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
}

TEST(FilesAndFolders, EntryKindsWithoutFollowingLinksIdentitiesThroughThemAndFolderRemoval) {
  TempFolder temp;
  writeFile(temp / "file", "x");
  fs::create_directories(temp / "folder/inner");
  fs::create_directory_symlink("folder", temp / "link");
  EXPECT_EQ(platform::entryKind(wide(temp / "file").c_str()), platform::EntryKind::File);
  EXPECT_EQ(platform::entryKind(wide(temp / "folder").c_str()), platform::EntryKind::Folder);
  EXPECT_EQ(platform::entryKind(wide(temp / "link").c_str()), platform::EntryKind::Link);
  EXPECT_EQ(platform::entryKind(wide(temp / "none").c_str()), platform::EntryKind::None);
  EXPECT_EQ(platform::entryKind(wide(temp / "file/below").c_str()), platform::EntryKind::None);
  // Any error but "not found" leaves it open what stands there.
  EXPECT_EQ(platform::entryKind(wide(temp / std::string(300, 'n')).c_str()), platform::EntryKind::Unknown);
  // What a path reaches: through the link, to what it leads to.
  EXPECT_EQ(platform::reachedKind(wide(temp / "link").c_str()), platform::EntryKind::Folder);
  EXPECT_EQ(platform::reachedKind(wide(temp / "file").c_str()), platform::EntryKind::File);
  EXPECT_EQ(platform::reachedKind(wide(temp / "none").c_str()), platform::EntryKind::None);
  fs::create_directory_symlink("none", temp / "dangling");
  EXPECT_EQ(platform::reachedKind(wide(temp / "dangling").c_str()), platform::EntryKind::None);

  platform::FileIdentity folder, link, file;
  ASSERT_TRUE(platform::readReachedIdentity(wide(temp / "folder").c_str(), folder));
  ASSERT_TRUE(platform::readReachedIdentity(wide(temp / "link").c_str(), link));
  ASSERT_TRUE(platform::readReachedIdentity(wide(temp / "file").c_str(), file));
  EXPECT_TRUE(folder == link);
  EXPECT_FALSE(folder == file);
  EXPECT_FALSE(platform::readReachedIdentity(wide(temp / "none").c_str(), file));

  EXPECT_FALSE(platform::removeFolder(wide(temp / "folder").c_str()));  // not empty
  EXPECT_FALSE(platform::removeFolder(wide(temp / "file").c_str()));
  EXPECT_TRUE(platform::removeFolder(wide(temp / "link").c_str()));
  EXPECT_TRUE(fs::exists(temp / "folder/inner"));
  EXPECT_TRUE(platform::removeFolder(wide(temp / "folder/inner").c_str()));
  EXPECT_FALSE(fs::exists(temp / "folder/inner"));
}

TEST(FilesAndFolders, CopiesAndReplacementsInPlaceAndTheirStamps) {
  TempFolder temp;
  writeFile(temp / "in-use", "in use");
  const std::u16string inUse = wide(temp / "in-use"), copy = wide(temp / "copy"), parked = wide(temp / "parked");
  platform::FileStamp original, stamp;
  ASSERT_TRUE(platform::readFileStamp(inUse.c_str(), original));
  // A link planted under the copy's name is replaced, never written through.
  writeFile(temp / "outside", "outside");
  fs::create_symlink(temp / "outside", temp / "copy");
  ASSERT_TRUE(platform::copyFile(inUse.c_str(), copy.c_str()));
  EXPECT_FALSE(fs::is_symlink(temp / "copy"));
  EXPECT_EQ(readFile(temp / "outside"), "outside");

  // The copy takes the name; the file that stood there is kept, unchanged, under the other.
  ASSERT_TRUE(platform::replaceKeepingOriginal(inUse.c_str(), copy.c_str(), parked.c_str()));
  EXPECT_FALSE(fs::exists(temp / "copy"));
  EXPECT_EQ(readFile(temp / "in-use"), "in use");
  ASSERT_TRUE(platform::readFileStamp(parked.c_str(), stamp));
  EXPECT_EQ(stamp.index, original.index);
  writeFile(temp / "copy", "another");
  EXPECT_FALSE(platform::replaceKeepingOriginal(inUse.c_str(), copy.c_str(), parked.c_str()));  // parked is taken

  // A stamp stays while nothing writes the file, even the same bytes again.
  ASSERT_TRUE(platform::readFileStamp(inUse.c_str(), original));
  ASSERT_TRUE(platform::readFileStamp(inUse.c_str(), stamp));
  EXPECT_TRUE(original == stamp);
  writeFile(temp / "in-use", "in use");
  ASSERT_TRUE(platform::readFileStamp(inUse.c_str(), stamp));
  EXPECT_FALSE(original == stamp);

  EXPECT_TRUE(platform::moveIntoPlace(parked.c_str(), inUse.c_str()));
  EXPECT_FALSE(fs::exists(temp / "parked"));
}

TEST(RunLock, OneHolderPerFolderUntilItLetsGo) {
  TempFolder temp;
  const std::u16string folder = wide(temp.path());
  {
    platform::RunLock first(folder.c_str());
    EXPECT_TRUE(first.held());
    platform::RunLock second(folder.c_str());
    EXPECT_FALSE(second.held());
    platform::RunLock other(wide(temp.path().parent_path()).c_str());
    EXPECT_TRUE(other.held());
  }
  platform::RunLock again(folder.c_str());
  EXPECT_TRUE(again.held());
  // Without a folder to lock, nothing tells whether another process holds it.
  platform::RunLock missing(wide(temp / "none").c_str());
  EXPECT_FALSE(missing.held());
  EXPECT_TRUE(fs::is_empty(temp.path())) << "a lock leaves nothing behind";
}

TEST(ModulePath, IsTheResolvedPathOfTheRunningExecutable) {
  char16_t buffer[512] = {};
  uint32_t length = platform::getModuleFilePath(buffer, 512);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(fs::path(narrow(buffer)), fs::canonical("/proc/self/exe"));
  char16_t tiny[5];
  EXPECT_EQ(platform::getModuleFilePath(tiny, 5), 5u);
  EXPECT_EQ(tiny[4], u'\0');
}

TEST(RoamingFolder, PrefersAnAbsoluteXdgConfigHomeElseHomeConfig) {
  char16_t buffer[512];
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/data/config/", 1);
  ASSERT_TRUE(platform::getRoamingAppDataFolder(buffer, 512));
  EXPECT_EQ(narrow(buffer), "/data/config");
  setenv("XDG_CONFIG_HOME", "/data/con\\fig", 1);
  EXPECT_FALSE(platform::getRoamingAppDataFolder(buffer, 512));
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  ASSERT_TRUE(platform::getRoamingAppDataFolder(buffer, 512));
  EXPECT_EQ(narrow(buffer), "/home/someone/.config");
  unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(platform::getRoamingAppDataFolder(buffer, 512));
  EXPECT_EQ(narrow(buffer), "/home/someone/.config");
  EXPECT_FALSE(platform::getRoamingAppDataFolder(buffer, 10));
  unsetenv("HOME");
  EXPECT_FALSE(platform::getRoamingAppDataFolder(buffer, 512));
}

TEST(ProcessSnapshot, ListsEveryProcessInAscendingIdWithItsExecutableName) {
  TempFolder temp;
  ChildProcess child(copyOfSleep(temp.path(), "Some Program.exe"), {"30"});
  platform::ProcessSnapshot snapshot;
  ASSERT_TRUE(snapshot.valid());
  platform::ProcessEntry entry;
  uint32_t previous = 0;
  bool sawSelf = false;
  bool sawChild = false;
  for (bool more = snapshot.first(entry); more; more = snapshot.next(entry)) {
    EXPECT_GT(entry.processId, previous);
    previous = entry.processId;
    if (entry.processId == static_cast<uint32_t>(getpid())) {
      sawSelf = true;
      EXPECT_EQ(narrow(entry.exeFile), fs::canonical("/proc/self/exe").filename().string());
    }
    if (entry.processId == static_cast<uint32_t>(child.pid())) {
      sawChild = true;
      EXPECT_EQ(entry.exeFile, u"Some Program.exe");
    }
  }
  EXPECT_TRUE(sawSelf);
  EXPECT_TRUE(sawChild);
}

TEST(TerminateProcess, KillsAtOnceAndRefusesProcessGroupIds) {
  TempFolder temp;
  ChildProcess child(copyOfSleep(temp.path(), "sleeper"), {"30"});
  EXPECT_TRUE(platform::terminateProcessById(static_cast<uint32_t>(child.pid()), 0));
  EXPECT_TRUE(child.endsBySignal(SIGKILL, std::chrono::seconds(20)));
  EXPECT_FALSE(platform::terminateProcessById(0, 0));
  EXPECT_FALSE(platform::terminateProcessById(0xFFFFFFFFu, 0));
}

TEST(HeldProgram, StartsTheFileWithNoArgumentsInTheCurrentFolderOnlyWhenLetRun) {
  TempFolder temp;
  fs::create_directories(temp / "work");
  auto record = temp / "record.txt";
  writeFile(temp / "installer", "#!/bin/sh\nsleep 0.2\n{ pwd; echo $#; echo \"$0\"; } > '" + record.string() + "'\n");
  chmod((temp / "installer").c_str(), 0755);
  ASSERT_TRUE(platform::setCurrentFolder(wide(temp / "work").c_str()));
  const std::u16string installer = wide(temp.path()) + u"\\installer";
  {
    platform::HeldProgram neverLetRun(installer.c_str());
    EXPECT_TRUE(neverLetRun.started());
  }
  EXPECT_FALSE(fs::exists(record)) << "a held program ran without being let go";

  platform::HeldProgram held(installer.c_str());
  ASSERT_TRUE(held.started());
  EXPECT_TRUE(held.runAndWait());
  // The file is there at once: the call returned only after the program ended.
  EXPECT_EQ(readFile(record), (temp / "work").string() + "\n0\n" + (temp / "installer").string() + "\n");
  EXPECT_FALSE(held.runAndWait());
}

TEST(HeldProgram, AFileThatCannotBeStartedIsAFailedLaunch) {
  TempFolder temp;
  writeFile(temp / "data.bin", "not a program");
  chmod((temp / "data.bin").c_str(), 0755);
  writeFile(temp / "not-executable", "#!/bin/sh\n");
  fs::create_directories(temp / "folder");
  for (const std::u16string& path : {wide(temp / "data.bin"), wide(temp / "not-executable"), wide(temp / "missing"),
                                     wide(temp / "folder"), std::u16string()}) {
    platform::HeldProgram held(path.c_str());
    EXPECT_FALSE(held.started());
    EXPECT_FALSE(held.runAndWait());
  }
}

// A held program whose starter dies runs nothing: it leaves, as it would have
// had the starter ended it.
TEST(HeldProgram, EndsUnrunWhenItsStarterDies) {
  TempFolder temp;
  auto record = temp / "ran.txt";
  writeFile(temp / "installer", "#!/bin/sh\necho ran > '" + record.string() + "'\n");
  chmod((temp / "installer").c_str(), 0755);
  const pid_t starter = fork();
  ASSERT_GE(starter, 0);
  if (starter == 0) {
    platform::HeldProgram held(wide(temp / "installer").c_str());
    kill(getpid(), held.started() ? SIGKILL : SIGTERM);
  }
  int status = 0;
  ASSERT_EQ(waitpid(starter, &status, 0), starter);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(record));
}
