// Entries whose headers or data are damaged: each defect gives its own code.
#include "fuzz/zip_reader_checks.h"
#include "tests/zip/zip_test_support.h"
#include "zip/dir_result.h"
#include "zip/entry_stream.h"
#include "zip/zip_directory.h"

namespace zip_tests {
namespace {

using testing_support::kZipDeflated;
using testing_support::kZipStored;
using testing_support::readFile;
using testing_support::ZipBuilderEntry;

std::string sample(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
  text.resize(size);
  return text;
}

struct Damage {
  const char* what;
  std::function<void(ZipBuilder&)> apply;
  ZipResult getResult;      // of ZipReaderGetEntry for the damaged entry
  ZipResult extractResult;  // of extracting it
};

TEST(DamagedEntries, EachDefectGivesItsCode) {
  const std::string content = sample(50000);
  std::vector<Damage> damages = {
      {"local signature", [](ZipBuilder& z) { z.entry(0).local.signature = 0x04034B51; }, ZipBadLocalHeader,
       ZipBadLocalHeader},
      {"local method differs", [](ZipBuilder& z) { z.entry(0).local.method = 0; }, ZipBadLocalHeader,
       ZipBadLocalHeader},
      {"method 12 in both", [](ZipBuilder& z) { z.entry(0).method = 12; }, ZipBadLocalHeader, ZipBadLocalHeader},
      {"method 14 in both", [](ZipBuilder& z) { z.entry(0).method = 14; }, ZipBadLocalHeader, ZipBadLocalHeader},
      {"local CRC differs", [](ZipBuilder& z) { z.entry(0).local.crc = 1; }, ZipBadLocalHeader, ZipBadLocalHeader},
      {"local compressed size differs", [](ZipBuilder& z) { z.entry(0).local.compressedSize = 3; }, ZipBadLocalHeader,
       ZipBadLocalHeader},
      {"local uncompressed size differs", [](ZipBuilder& z) { z.entry(0).local.uncompressedSize = 3; },
       ZipBadLocalHeader, ZipBadLocalHeader},
      {"local name length differs", [](ZipBuilder& z) { z.entry(0).local.nameLength = 4; }, ZipBadLocalHeader,
       ZipBadLocalHeader},
      {"local header offset points elsewhere", [](ZipBuilder& z) { z.entry(0).central.localHeaderOffset = 7; },
       ZipBadLocalHeader, ZipBadLocalHeader},
      {"CRC differs in both headers",
       [](ZipBuilder& z) {
         z.entry(0).local.crc = 0xDEADBEEF;
         z.entry(0).central.crc = 0xDEADBEEF;
       },
       ZipOk, ZipExtractFailed},
      {"uncompressed size too large in both",
       [&](ZipBuilder& z) {
         z.entry(0).local.uncompressedSize = static_cast<uint32_t>(content.size() + 10);
         z.entry(0).central.uncompressedSize = static_cast<uint32_t>(content.size() + 10);
       },
       ZipOk, ZipExtractFailed},
      {"deflate data cut short",
       [](ZipBuilder& z) {
         std::string data = testing_support::deflateRaw(z.entry(0).content);
         data.resize(data.size() / 2);
         z.entry(0).storedData = data;
       },
       ZipOk, ZipExtractFailed},
      {"deflate data garbled",
       [](ZipBuilder& z) {
         std::string data = testing_support::deflateRaw(z.entry(0).content);
         for (size_t i = 10; i < data.size(); i += 3) data[i] = static_cast<char>(data[i] ^ 0x5A);
         z.entry(0).storedData = data;
       },
       ZipOk, ZipExtractFailed},
      {"extra field length differs only locally",
       [](ZipBuilder& z) {
         z.entry(0).localExtra = "ab";
         z.entry(0).local.extraLength = 2;
       },
       ZipOk, ZipOk},
      {"data descriptor with zero local values", [](ZipBuilder& z) { z.entry(0).dataDescriptor = true; }, ZipOk, ZipOk},
      {"local extra field past the end", [](ZipBuilder& z) { z.entry(0).local.extraLength = 60000; },
       ZipExtraUnreadable, ZipExtraUnreadable},
      // Stored data are written whole before the check fails.
      {"stored data with a bad CRC",
       [](ZipBuilder& z) {
         z.entry(0).method = kZipStored;
         z.entry(0).storedData = z.entry(0).content.substr(1) + "Z";
       },
       ZipOk, ZipExtractFailed},
      {"stored sizes larger than the data in both",
       [&](ZipBuilder& z) {
         z.entry(0).method = kZipStored;
         z.entry(0).local.uncompressedSize = static_cast<uint32_t>(content.size() + 10);
         z.entry(0).central.uncompressedSize = static_cast<uint32_t>(content.size() + 10);
       },
       ZipOk, ZipExtractFailed},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    TempFolder folder;
    ZipBuilder zip;
    zip.addFile("entry.txt", content).addFile("next.txt", "next");
    damage.apply(zip);
    zip.writeTo(folder / "test.zip");
    Reader reader(folder / "test.zip", folder.path());
    ASSERT_TRUE(reader);
    ZipEntryRecord record{};
    record.index = 99;
    EXPECT_EQ(reader.get(0, record), damage.getResult);
    if (damage.getResult != ZipOk) {
      EXPECT_EQ(record.index, 99) << "the record stays untouched";
    }
    EXPECT_EQ(reader.extractAs(0, "entry.txt"), damage.extractResult);
    EXPECT_EQ(LastReaderResult, damage.extractResult);
    const ZipBuilderEntry& entry = zip.entry(0);
    if (damage.extractResult == ZipOk) {
      EXPECT_EQ(readFile(folder / "entry.txt"), content);
    } else if (damage.extractResult != ZipExtractFailed) {
      EXPECT_FALSE(std::filesystem::exists(folder / "entry.txt"));
    } else if (entry.method == kZipStored) {
      EXPECT_EQ(readFile(folder / "entry.txt"), entry.storedData.value_or(content));
    }
    // The next entry is not disturbed.
    EXPECT_EQ(reader.extractAs(1, "next.txt"), ZipOk);
    EXPECT_EQ(readFile(folder / "next.txt"), "next");
  }
}

TEST(DamagedEntries, TruncatedArchiveFailsTheRead) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("big.bin", sample(100000), kZipStored);
  testing_support::ZipLayout layout;
  std::string bytes = zip.build(&layout);
  // Cut the data after 1000 bytes and move the directory up behind them.
  std::string cut = bytes.substr(0, layout.entryData[0] + 1000) + bytes.substr(layout.centralDirectory);
  size_t end = cut.size() - 22;
  testing_support::patchLE32(cut, end + 16, static_cast<uint32_t>(layout.entryData[0] + 1000));
  testing_support::writeFile(folder / "test.zip", cut);
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  // The data now run into the central directory and end of file: the chunk read comes up short.
  EXPECT_EQ(reader.extractAs(0, "big.bin"), ZipExtractFailed);
}

TEST(DamagedEntries, UnreadableCentralHeaderBlocksTheWayOnly) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("a.txt", "a").addFile("b.txt", "b").addFile("c.txt", "c");
  zip.entry(1).central.signature = 0x02014B51;
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.count(), 3);
  ZipEntryRecord record{};
  EXPECT_EQ(reader.get(0, record), ZipOk);
  EXPECT_EQ(reader.get(1, record), ZipBadLocalHeader);
  EXPECT_EQ(reader.get(2, record), ZipBadLocalHeader);
  EXPECT_EQ(reader.extractAs(2, "c.txt"), ZipBadLocalHeader);
  EXPECT_FALSE(std::filesystem::exists(folder / "c.txt"));
  EXPECT_EQ(reader.find("c.txt"), ZipNotFound) << "the walk stops at the bad header";
  int32_t index = -5;
  EXPECT_EQ(reader.find("A.TXT", &index), ZipNotFound) << "the current entry is the unreadable one";
  EXPECT_EQ(index, -1);
  EXPECT_EQ(reader.get(0, record), ZipOk);
  EXPECT_EQ(reader.find("A.TXT", &index), ZipNotFound) << "a cached record does not move the directory";
  EXPECT_EQ(reader.extractAs(0, "a.txt"), ZipOk) << "extraction steps back to the first entry";
  EXPECT_EQ(reader.find("A.TXT", &index), ZipOk);
  EXPECT_EQ(index, 0);
}

// The fuzzer's findings, kept so that none comes back.
TEST(DamagedEntries, FuzzFindingsPassTheFuzzChecks) {
  int replayed = 0;
  for (const auto& finding : std::filesystem::directory_iterator(VELMI_SOURCE_DIR "/fuzz/regressions")) {
    const std::string bytes = readFile(finding.path());
    const char* failed = checkZipReaderOn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(failed, nullptr) << finding.path() << ": " << failed;
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

TEST(EntryStream, ReadsInPiecesAndComparesTheCrcOnlyWhenComplete) {
  TempFolder folder;
  const std::string content = sample(40000);
  ZipBuilder zip;
  zip.addFile("d.txt", content, kZipDeflated).addFile("empty", "", kZipStored).addFile("s.txt", "stored", kZipStored);
  zip.entry(1).central.crc = 5;
  zip.entry(1).local.crc = 5;
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  ZipDirectory* directory = reader.reader()->directory;
  {
    SCOPED_TRACE("deflate entry in odd pieces");
    ASSERT_EQ(SeekFirstCentralEntry(directory), DirOk);
    ASSERT_EQ(EntryStreamOpen(directory), DirOk);
    std::string out;
    char piece[777];
    EXPECT_EQ(EntryStreamRead(directory, piece, 0), 0);
    for (int32_t n; (n = EntryStreamRead(directory, piece, sizeof piece)) > 0;) out.append(piece, n);
    EXPECT_EQ(out, content);
    EXPECT_EQ(EntryStreamRead(directory, piece, sizeof piece), 0);
    EXPECT_EQ(EntryStreamClose(directory), DirOk);
    EXPECT_EQ(EntryStreamClose(directory), DirBadParameter);
    EXPECT_EQ(EntryStreamRead(directory, piece, 1), DirBadParameter);
  }
  {
    SCOPED_TRACE("empty entry with a non-zero CRC");
    ASSERT_EQ(SeekNextCentralEntry(directory), DirOk);
    ASSERT_EQ(EntryStreamOpen(directory), DirOk);
    char piece[8];
    EXPECT_EQ(EntryStreamRead(directory, piece, sizeof piece), 0);
    EXPECT_EQ(EntryStreamClose(directory), DirCrcMismatch);
  }
  {
    SCOPED_TRACE("closing early compares nothing; opening again closes the open one");
    ASSERT_EQ(SeekFirstCentralEntry(directory), DirOk);
    ASSERT_EQ(EntryStreamOpen(directory), DirOk);
    char piece[10];
    EXPECT_EQ(EntryStreamRead(directory, piece, sizeof piece), 10);
    ASSERT_EQ(SeekNextCentralEntry(directory), DirOk);
    ASSERT_EQ(SeekNextCentralEntry(directory), DirOk);
    ASSERT_EQ(EntryStreamOpen(directory), DirOk);
    char all[100];
    EXPECT_EQ(EntryStreamRead(directory, all, sizeof all), 6);
    EXPECT_EQ(std::string(all, 6), "stored");
    EXPECT_EQ(EntryStreamClose(directory), DirOk);
  }
}

}  // namespace
}  // namespace zip_tests
