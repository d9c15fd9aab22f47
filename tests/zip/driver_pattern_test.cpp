// Many entries through the driver's call pattern: every call finds its entry
// without walking, and duplicates and case twins go to the first of them.
#include "tests/zip/zip_test_support.h"
#include "zip/zip_directory.h"
#include "zip/zip_source.h"

namespace zip_tests {
namespace {

TEST(DriverPattern, ThousandsOfEntriesInOrder) {
  TempFolder folder;
  ZipBuilder zip;
  const int kFolders = 20, kFiles = 3000;
  for (int f = 0; f < kFolders; ++f) zip.addFolder("d" + std::to_string(f) + "/");
  for (int i = 0; i < kFiles; ++i) {
    zip.addFile("d" + std::to_string(i % kFolders) + "/f" + std::to_string(i) + ".txt", "content " + std::to_string(i),
                i % 2 ? testing_support::kZipStored : testing_support::kZipDeflated);
  }
  zip.addFile("D0/F0.TXT", "case twin of an earlier entry");
  zip.writeTo(folder / "many.zip");
  const auto root = folder / "out";
  std::filesystem::create_directory(root);
  Reader reader(folder / "many.zip", root);
  ASSERT_TRUE(reader);
  const int32_t count = reader.count();
  ASSERT_EQ(count, kFolders + kFiles + 1);
  int twins = 0;
  for (int32_t i = 0; i < count; ++i) {
    ZipEntryRecord record{};
    ASSERT_EQ(reader.get(i, record), ZipOk);
    int32_t found = -1;
    ZipEntryRecord foundRecord{};
    ASSERT_EQ(ZipReaderFindEntry(reader.handle(), record.name, &found, &foundRecord), ZipOk);
    if (std::u16string(foundRecord.name) != record.name) {
      ++twins;
      continue;
    }
    ASSERT_EQ(found, i);
    ASSERT_EQ(reader.extractAs(found, testing_support::narrow(record.name)), ZipOk);
  }
  EXPECT_EQ(twins, 1);
  EXPECT_EQ(testing_support::readFile(root / "d7/f1247.txt"), "content 1247");
  EXPECT_EQ(testing_support::readFile(root / "d0/f0.txt"), "content 0");
  EXPECT_EQ(treeOf(root).size(), static_cast<size_t>(kFolders + kFiles));
}

}  // namespace
}  // namespace zip_tests
