// The memory output: a page-file mapping that grows to at least twice its size
// and keeps what was written; the close releases it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/zip/writer_test_support.h"

using namespace writer_test;

namespace {

// A memory writer of capacity 100 holding 90 known bytes.
WriterPointer ninetyOfHundred(std::string& written) {
  auto writer = memoryWriter(100);
  written.clear();
  for (int i = 0; i < 90; ++i) written.push_back(static_cast<char>('A' + i % 26));
  EXPECT_EQ(ZipWriterSinkWrite(writer.get(), written.data(), 90), 90u);
  EXPECT_EQ(writer->capacity, 100u) << "90 of 100 needs no growth";
  return writer;
}

// How many descriptors the process holds open: a leaked mapping shows here.
size_t openDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& descriptor : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

}  // namespace

TEST(WriterMemoryOutput, GrowsToTwiceOrToWhatIsNeeded) {
  struct Row {
    const char* what;
    uint32_t length, capacity, capacityAfterOneMore;
  };
  for (const Row& row :
       {Row{"a write that fills the mapping exactly grows it to twice its size", 10, 200, 200},
        Row{"a write that needs more than twice gets exactly that; the next byte doubles it", 300, 390, 780}}) {
    SCOPED_TRACE(row.what);
    std::string expected;
    auto writer = ninetyOfHundred(expected);
    const std::string more(row.length, 'z');
    EXPECT_EQ(ZipWriterSinkWrite(writer.get(), more.data(), row.length), row.length);
    EXPECT_EQ(writer->capacity, row.capacity);
    EXPECT_EQ(writer->used, 90 + row.length);
    EXPECT_EQ(viewBytes(*writer), expected + more) << "the old bytes moved into the new mapping";
    EXPECT_EQ(ZipWriterSinkWrite(writer.get(), "!", 1), 1u);
    EXPECT_EQ(writer->capacity, row.capacityAfterOneMore);
    EXPECT_EQ(viewBytes(*writer), expected + more + "!");
    EXPECT_EQ(writer->lastError, 0);
  }
}

TEST(WriterMemoryOutput, ADirectoryLargerThanTheMappingGrowsIt) {
  auto writer = memoryWriter(16);
  std::string names;
  for (int i = 0; i < 50; ++i) {
    const std::string name = "folder/file" + std::to_string(i) + ".bin";
    appendEntry(*writer, namedEntry(name));
    names += name;
  }
  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const uint32_t directorySize = 50 * 46 + static_cast<uint32_t>(names.size());
  EXPECT_EQ(writer->used, directorySize + 22);
  EXPECT_GT(writer->capacity, directorySize + 22);
  const std::string bytes = viewBytes(*writer);
  EXPECT_EQ(endRecordFields(bytes, directorySize), (Fields{kEndSignature, 0, 0, 50, 50, directorySize, 0, 0}));
  EXPECT_EQ(bytes.substr(46, 18), "folder/file0.bin\x50\x4B");
}

TEST(WriterMemoryOutput, CloseAndFreeReleaseTheMapping) {
  const size_t before = openDescriptorCount();
  {
    SCOPED_TRACE("close");
    auto writer = memoryWriter(64);
    ASSERT_EQ(openDescriptorCount(), before + 1) << "the mapping holds one descriptor";
    ASSERT_EQ(ZipWriterSinkWrite(writer.get(), std::string(200, 'x').data(), 200), 200u);
    EXPECT_EQ(openDescriptorCount(), before + 1) << "growing replaces the mapping";
    EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk);
    EXPECT_EQ(writer->view, nullptr);
    EXPECT_EQ(writer->mapping, platform::kNoMapping);
    EXPECT_EQ(openDescriptorCount(), before);
  }
  SCOPED_TRACE("free without a close");
  auto writer = memoryWriter(64);
  appendEntry(*writer, namedEntry("kept"));
  writer.reset();
  EXPECT_EQ(openDescriptorCount(), before);
}

TEST(WriterMemoryOutput, AFailedGrowthKeepsTheOldMappingAndFailsTheClose) {
  std::string expected;
  auto writer = ninetyOfHundred(expected);
  appendEntry(*writer, namedEntry("entry.txt"));
  // Without a spare descriptor no new mapping can be made; nothing is checked
  // until the limit is lifted.
  std::optional<LoweredLimit> limit(std::in_place, RLIMIT_NOFILE, 0);
  ASSERT_TRUE(limit->active());
  const uint32_t failed = ZipWriterSinkWrite(writer.get(), "0123456789", 10);
  const int32_t errorAfterWrite = writer->lastError;
  const uint32_t fits = ZipWriterSinkWrite(writer.get(), "abc", 3);
  const std::string bytes = viewBytes(*writer);
  const uint32_t capacity = writer->capacity;
  const ZipResult closed = ZipWriterClose(writer.get());
  limit.reset();

  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(errorAfterWrite, ZipMapFailed);
  EXPECT_EQ(fits, 3u) << "a write that fits needs no new mapping";
  EXPECT_EQ(bytes, expected + "abc");
  EXPECT_EQ(capacity, 100u);
  EXPECT_EQ(closed, ZipExtractFailed) << "the directory does not fit the old mapping";
  EXPECT_EQ(writer->lastError, ZipMapFailed);
  EXPECT_EQ(writer->entries, nullptr);
  EXPECT_EQ(writer->view, nullptr) << "the old mapping is released by the close all the same";
}
