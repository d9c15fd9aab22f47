// Entry records: attributes, times from the DOS stamp and "UT" blocks, the cache, look-ups.
#include <cstring>

#include "tests/zip/zip_test_support.h"
#include "zip/entry_attributes.h"
#include "zip/zip_directory.h"

namespace zip_tests {
namespace {

using testing_support::extraBlock;
using testing_support::utExtraBlock;

TEST(EntryAttributes, MadeFromDosBitsAndTheUnixMode) {
  struct Case {
    uint32_t external;
    uint32_t expected;
  };
  const Case cases[] = {
      {0x00, 0x81},       {0x10, 0x91},       {0x20, 0xA1},
      {0x27, 0xA7},       {0x41ED0010, 0x90},  // Unix folder rwxr-xr-x with the DOS folder bit
      {0x81A40000, 0x80},                      // Unix file rw-r--r--
      {0x81240000, 0x81},                      // Unix file r--r--r--
      {0x81A40001, 0x81},                      // writable, but the DOS read-only bit
      {0x40000000, 0x91},                      // folder type alone, no write bit
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AttributesFromExternal(c.external), c.expected) << std::hex << c.external;
  }
}

TEST(EntryTimes, DosStampAndExtendedTimestamps) {
  const uint16_t date = testing_support::dosDate(2024, 5, 17);
  const uint16_t time = testing_support::dosTime(12, 30, 44);
  const platform::FileTime dos = fromDos(date, time);
  const uint32_t t1 = 1700000000, t2 = 1600000000, t3 = 4000000000u;  // t3 lies past 2038: unsigned
  struct Case {
    const char* what;
    std::string extra;
    int64_t write, access, creation;
  };
  const int64_t d = unixSeconds(dos);
  const std::vector<Case> cases = {
      {"no extra field", "", d, d, d},
      {"flags 1", utExtraBlock(1, {t1}), t1, d, d},
      {"flags 7", utExtraBlock(7, {t1, t2, t3}), t1, t2, t3},
      {"flags 6", utExtraBlock(6, {t2, t3}), d, t2, t3},
      {"after a block of 200 bytes", extraBlock(0x7875, std::string(200, 'x')) + utExtraBlock(1, {t1}), t1, d, d},
      {"after a block of 128 bytes", extraBlock(0x000A, std::string(128, '\0')) + utExtraBlock(3, {t1, t2}), t1, t2, d},
      {"only the first UT block counts", utExtraBlock(1, {t1}) + utExtraBlock(1, {t2}), t1, d, d},
      {"times past the end of the field are not read", utExtraBlock(7, {t1}), t1, d, d},
      {"a field of 4 bytes is not scanned", std::string("UT\x00\x00", 4), d, d, d},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EntryTimes times =
        EntryTimesFrom((uint32_t{date} << 16) | time, reinterpret_cast<const unsigned char*>(c.extra.data()),
                       static_cast<uint32_t>(c.extra.size()));
    EXPECT_EQ(unixSeconds(times.write), c.write);
    EXPECT_EQ(unixSeconds(times.access), c.access);
    EXPECT_EQ(unixSeconds(times.creation), c.creation);
  }
  // The stamp is taken as it stands: 2024-05-17 12:30:44 with no zone shift.
  EXPECT_EQ(d, 1715949044);
}

TEST(EntryRecords, CountNamesSizesAndTheCache) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("one.txt", "first").addFolder("dir/").addFile("dir/two.bin", std::string(3000, 'z'));
  zip.entry(2).localExtra = utExtraBlock(1, {1700000000});
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);

  ZipEntryRecord record{};
  ASSERT_EQ(reader.get(-1, record), ZipOk);
  EXPECT_EQ(record.index, 3);
  EXPECT_EQ(record.name[0], 0);
  EXPECT_EQ(record.attributes, 0u);
  EXPECT_EQ(record.uncompressedSize, 0u);

  ASSERT_EQ(reader.get(2, record), ZipOk);
  EXPECT_EQ(record.index, 2);
  EXPECT_EQ(testing_support::narrow(record.name), "dir/two.bin");
  EXPECT_EQ(record.uncompressedSize, 3000u);
  EXPECT_LT(record.compressedSize, 100u);
  EXPECT_EQ(record.attributes, 0xA1u);
  EXPECT_EQ(unixSeconds(record.writeTime), 1700000000);

  ASSERT_EQ(reader.get(1, record), ZipOk);
  EXPECT_EQ(record.attributes, 0x91u);
  ZipDirectory* directory = reader.reader()->directory;
  EXPECT_EQ(directory->currentIndex, 1);

  ZipEntryRecord again{};
  ASSERT_EQ(reader.get(1, again), ZipOk);
  EXPECT_EQ(std::memcmp(&record, &again, sizeof record), 0);
  ZipEntryRecord beyond = record;
  EXPECT_EQ(reader.get(3, beyond), ZipBadArgument);
  EXPECT_EQ(reader.get(-2, beyond), ZipBadArgument);
  EXPECT_EQ(std::memcmp(&record, &beyond, sizeof record), 0) << "a refused request leaves the record";
}

TEST(EntryLookup, CaseTwinsDuplicatesAndMissingNames) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("readme.txt", "lower").addFile("README.TXT", "upper").addFile("dup", "first").addFile("dup", "second");
  zip.addFile("\xc3\xa9t\xc3\xa9.txt", "utf8");  // été.txt
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);

  int32_t index = -5;
  ZipEntryRecord record{};
  ASSERT_EQ(ZipReaderFindEntry(reader.handle(), u"ReadMe.Txt", &index, &record), ZipOk);
  EXPECT_EQ(index, 0) << "the first of two case twins";
  EXPECT_EQ(testing_support::narrow(record.name), "readme.txt") << "the stored name, not the asked one";
  ASSERT_EQ(ZipReaderFindEntry(reader.handle(), u"dup", &index, &record), ZipOk);
  EXPECT_EQ(index, 2);
  ASSERT_EQ(ZipReaderFindEntry(reader.handle(), u"\u00e9t\u00e9.txt", &index, nullptr), ZipOk);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), u"\u00c9T\u00c9.TXT", &index, nullptr), ZipNotFound)
      << "letters beyond ASCII are not folded";
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), u"dup", nullptr, nullptr), ZipOk);

  ZipDirectory* directory = reader.reader()->directory;
  ASSERT_EQ(reader.get(3, record), ZipOk);
  const uint32_t position = directory->currentPosition;
  record.index = 77;
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), u"missing", &index, &record), ZipNotFound);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(record.index, 77) << "the wide record stays untouched";
  EXPECT_EQ(directory->currentIndex, 3) << "a failed look-up does not move";
  EXPECT_EQ(directory->currentPosition, position);

  std::u16string longest(255, u'a'), tooLong(256, u'a');
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), longest.c_str(), &index, nullptr), ZipNotFound);
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), tooLong.c_str(), &index, nullptr), ZipNotFound);
  EXPECT_EQ(ZipReaderFindEntry(reader.handle(), u"", &index, nullptr), ZipNotFound);
}

TEST(EntryLookup, LongStoredNamesCompareByTheirFirst256Bytes) {
  TempFolder folder;
  const std::string name255(255, 'n');
  const std::string name300 = std::string(256, 'm') + std::string(44, 'x');
  ZipBuilder zip;
  zip.addFile(name255, "a").addFile(name300, "b").addFile("", "empty name");
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  int32_t index = -5;
  EXPECT_EQ(reader.find(name255, &index), ZipOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(reader.find(std::string(255, 'm'), &index), ZipNotFound);
  EXPECT_EQ(reader.find(std::string(256, 'm'), &index), ZipNotFound) << "256 wanted units are refused";
  EXPECT_EQ(reader.find("", &index), ZipOk) << "an empty name finds the entry with the empty name";
  EXPECT_EQ(index, 2);

  // Both records hold the same cut name, terminated, whatever the wide record held before.
  ZipEntryRecordA ansi{};
  ASSERT_EQ(ZipReaderGetEntryA(reader.reader(), &ansi, 1), ZipOk);
  EXPECT_EQ(std::string(ansi.name), name300.substr(0, 258));
  ZipEntryRecord wide;
  std::fill(std::begin(wide.name), std::end(wide.name), u'?');
  ASSERT_EQ(reader.get(1, wide), ZipOk);
  EXPECT_EQ(testing_support::narrow(wide.name), name300.substr(0, 258));
  EXPECT_EQ(wide.name[259], u'?') << "the last unit is never written";
  EXPECT_EQ(reader.extractAs(1, name300.substr(0, 258)), ZipOpenFailed) << "never written under a cut name";
  EXPECT_FALSE(std::filesystem::exists(folder / name300.substr(0, 200)));
}

}  // namespace
}  // namespace zip_tests
