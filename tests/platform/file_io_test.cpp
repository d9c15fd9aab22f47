// File handles behave as the Windows calls they stand for.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::widen;
using testing_support::writeFile;

std::u16string wide(const std::filesystem::path& path) { return widen(path.string()); }

TEST(FileHandles, ReadSeekAndEndOfData) {
  TempFolder folder;
  writeFile(folder / "data.bin", "0123456789");
  platform::File file = platform::File::openForReading(wide(folder / "data.bin").c_str());
  ASSERT_TRUE(file.isOpen());
  EXPECT_TRUE(file.isDiskFile());
  char buffer[16] = {};
  uint32_t got = 0;
  uint64_t position = 0;
  ASSERT_TRUE(file.seek(-4, platform::SeekOrigin::End, &position));
  EXPECT_EQ(position, 6u);
  ASSERT_TRUE(file.read(buffer, sizeof buffer, got));
  EXPECT_EQ(std::string(buffer, got), "6789");
  ASSERT_TRUE(file.read(buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u) << "reading at the end succeeds with nothing";
  ASSERT_TRUE(file.seek(2, platform::SeekOrigin::Begin));
  ASSERT_TRUE(file.seek(1, platform::SeekOrigin::Current, &position));
  EXPECT_EQ(position, 3u);
  EXPECT_FALSE(file.seek(-100, platform::SeekOrigin::Begin));

  platform::File moved = std::move(file);
  EXPECT_FALSE(file.isOpen());
  EXPECT_TRUE(moved.isOpen());
  moved.close();
  EXPECT_FALSE(moved.read(buffer, 1, got));

  EXPECT_FALSE(platform::File::openForReading(wide(folder / "missing").c_str()).isOpen());
  EXPECT_FALSE(platform::File::openForReading(wide(folder.path()).c_str()).isOpen()) << "a folder is no file";
  EXPECT_FALSE(platform::File::openForReading(nullptr).isOpen());
}

TEST(FileHandles, CreateReplacesButRefusesReadOnlyFilesAndFolders) {
  TempFolder folder;
  writeFile(folder / "old.txt", "old and long content");
  {
    platform::File file = platform::File::createForWriting((wide(folder.path()) + u"\\old.txt").c_str());
    ASSERT_TRUE(file.isOpen()) << "backslashes are separators";
    uint32_t written = 0;
    ASSERT_TRUE(file.write("new", 3, written));
    EXPECT_EQ(written, 3u);
  }
  EXPECT_EQ(readFile(folder / "old.txt"), "new");

  writeFile(folder / "locked.txt", "keep");
  ::chmod((folder / "locked.txt").c_str(), 0444);
  EXPECT_FALSE(platform::File::createForWriting(wide(folder / "locked.txt").c_str()).isOpen());
  EXPECT_EQ(readFile(folder / "locked.txt"), "keep");
  EXPECT_FALSE(platform::File::createForWriting(wide(folder.path()).c_str()).isOpen());
  EXPECT_FALSE(platform::File::createForWriting(wide(folder / "no/such/folder.txt").c_str()).isOpen());

  platform::File device = platform::File::createForWriting(u"/dev/null");
  ASSERT_TRUE(device.isOpen());
  EXPECT_FALSE(device.isDiskFile());
}

TEST(FileHandles, SetTimesLeavesZeroAndNullAlone) {
  TempFolder folder;
  writeFile(folder / "t.txt", "x");
  platform::File file = platform::File::createForWriting(wide(folder / "t.txt").c_str());
  ASSERT_TRUE(file.isOpen());
  // 2020-01-02 03:04:05 UTC in 100-ns ticks since 1601.
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL + 1234567;
  platform::FileTime write{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
  platform::FileTime access = write;
  access.low -= 10000000;  // a second earlier (no borrow at this value)
  ASSERT_TRUE(file.setTimes(nullptr, &access, &write));
  struct stat info {};
  ASSERT_EQ(::stat((folder / "t.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1577934245);
  EXPECT_EQ(info.st_mtim.tv_nsec, 123456700);
  EXPECT_EQ(info.st_atim.tv_sec, 1577934244);
  platform::FileTime zero;
  ASSERT_TRUE(file.setTimes(&zero, &zero, nullptr));
  ASSERT_EQ(::stat((folder / "t.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1577934245);
  EXPECT_EQ(info.st_atim.tv_sec, 1577934244);
}

}  // namespace
