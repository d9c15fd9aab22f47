// Finishing when the output fails or the archive cannot be described: the
// close reports ZipExtractFailed, frees every entry and releases the output.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::readFile;
using testing_support::TempFolder;

namespace {

// An entry with a name, an extra field and a comment of these sizes.
std::unique_ptr<ZipWriterEntry> entryOfSizes(size_t name, size_t extra, size_t comment) {
  static const std::string text(65536, 'c');
  auto entry = namedEntry(std::string(name, 'n'));
  entry->extra.reset(new uint8_t[extra]());
  entry->extraLength = static_cast<uint32_t>(extra);
  entry->comment = reinterpret_cast<const uint8_t*>(text.data());
  entry->commentLength = static_cast<uint32_t>(comment);
  return entry;
}

}  // namespace

TEST(WriterFailures, NoOutputFailsTheClose) {
  // Without entries: the end record cannot go out either.
  auto writer = writerWithoutOutput();
  EXPECT_EQ(ZipWriterClose(writer.get()), ZipExtractFailed);
  EXPECT_EQ(writer->lastError, ZipAlreadyOpen);
  EXPECT_TRUE(writer->finished);
}

TEST(WriterFailures, AFailedHeaderWriteSkipsTheRestButFreesEverything) {
  {
    SCOPED_TRACE("a file opened for reading refuses every write, through the handle");
    TempFolder folder;
    testing_support::writeFile(folder / "readonly.zip", "");
    auto writer = writerWithoutOutput();
    writer->file = platform::File::openForReading(testing_support::widen((folder / "readonly.zip").string()).c_str());
    ASSERT_TRUE(writer->file.isOpen());
    appendNamedEntries(*writer, 3);
    EXPECT_EQ(ZipHandleClose(writerHandle(std::move(writer))), ZipExtractFailed);
    EXPECT_EQ(LastWriterResult, ZipExtractFailed);
    EXPECT_EQ(readFile(folder / "readonly.zip"), "");
  }
  SCOPED_TRACE("a full device refuses the first byte");
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  auto writer = fileWriter("/dev/full");
  appendNamedEntries(*writer, 4);
  writer->entries->next->extra.reset(new uint8_t[6]{1, 2, 3, 4, 5, 6});
  writer->entries->next->extraLength = 6;
  EXPECT_EQ(ZipWriterClose(writer.get()), ZipExtractFailed);
  EXPECT_EQ(writer->entries, nullptr) << "every entry is freed, extra field included";
  EXPECT_FALSE(writer->file.isOpen());
  EXPECT_EQ(writer->position, 4 * 46u + 4 * 2 + 6 + 22) << "the position still counts every header";
}

TEST(WriterFailures, AFailureInTheSecondHeaderKeepsTheFirst) {
  TempFolder folder;
  auto writer = fileWriter(folder / "cut.zip");
  appendNamedEntries(*writer, 3);  // headers of 48 bytes each
  {
    LoweredLimit limit(RLIMIT_FSIZE, 48 + 20);  // the file stops in the middle of the second header
    if (!limit.active()) GTEST_SKIP() << "cannot lower the file-size limit";
    EXPECT_EQ(ZipWriterClose(writer.get()), ZipExtractFailed);
  }
  EXPECT_EQ(writer->entries, nullptr);
  EXPECT_FALSE(writer->file.isOpen());
  const std::string bytes = readFile(folder / "cut.zip");
  ASSERT_EQ(bytes.size(), 48u + 20) << "the output keeps what was written, and no end record";
  EXPECT_EQ(bytes.substr(0, 4), "PK\x01\x02");
  EXPECT_EQ(bytes.substr(46, 6), "n0PK\x01\x02");
}

TEST(WriterFailures, WhatSixteenBitFieldsCannotHoldIsRefusedBeforeAnyWrite) {
  struct Case {
    const char* what;
    void (*shape)(ZipWriter&);
  };
  const Case cases[] = {
      {"65536 entries", [](ZipWriter& writer) { appendNamedEntries(writer, 65536); }},
      {"a name of 65536 bytes",
       [](ZipWriter& writer) {
         appendNamedEntries(writer, 1);
         appendEntry(writer, entryOfSizes(65536, 0, 0));
       }},
      {"an extra field of 65536 bytes", [](ZipWriter& writer) { appendEntry(writer, entryOfSizes(1, 65536, 0)); }},
      {"a comment of 65536 bytes", [](ZipWriter& writer) { appendEntry(writer, entryOfSizes(1, 0, 65536)); }},
      {"a length without bytes behind it",
       [](ZipWriter& writer) {
         appendEntry(writer, entryOfSizes(5, 0, 0));
         writer.entries->nameLength = 6;
       }},
      {"a directory past the 32-bit offsets",
       [](ZipWriter& writer) {
         writer.position = 0xFFFFFFFFu - 60;
         appendNamedEntries(writer, 1);
       }},
  };
  for (const Case& refused : cases) {
    SCOPED_TRACE(refused.what);
    auto writer = memoryWriter(64);
    refused.shape(*writer);
    const uint32_t position = writer->position;
    EXPECT_EQ(ZipWriterClose(writer.get()), ZipExtractFailed);
    EXPECT_EQ(writer->used, 0u) << "not even the first byte";
    EXPECT_EQ(writer->position, position);
    EXPECT_EQ(writer->lastError, 0);
    EXPECT_EQ(writer->entries, nullptr);
  }
}

TEST(WriterFailures, TheLargestCountsStillFit) {
  {
    SCOPED_TRACE("65535 entries");
    auto writer = memoryWriter(1 << 20);
    appendNamedEntries(*writer, 65535);
    ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
    const std::string bytes = viewBytes(*writer);
    const uint32_t size = static_cast<uint32_t>(bytes.size() - 22);
    EXPECT_EQ(endRecordFields(bytes, size), (Fields{kEndSignature, 0, 0, 65535, 65535, size, 0, 0}));
  }
  SCOPED_TRACE("a name, an extra field and a comment of 65535 bytes each");
  auto writer = memoryWriter(1024);
  appendEntry(*writer, entryOfSizes(65535, 65535, 65535));
  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const std::string bytes = viewBytes(*writer);
  ASSERT_EQ(bytes.size(), 46u + 3 * 65535 + 22);
  EXPECT_EQ(bytes.substr(28, 6), "\xFF\xFF\xFF\xFF\xFF\xFF") << "name, extra field and comment lengths";
}
