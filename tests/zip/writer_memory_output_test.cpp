// The memory output: a page-file mapping that grows to at least twice its size
// and keeps what was written; the close releases it.
#include <gtest/gtest.h>

#include <string>

#include "tests/zip/writer_test_support.h"

using namespace writer_test;

namespace {

// A memory writer of capacity 100 holding 90 known bytes.
std::unique_ptr<ZipWriter, void (*)(ZipWriter*)> ninetyOfHundred(std::string& written) {
  auto writer = memoryWriter(100);
  written.clear();
  for (int i = 0; i < 90; ++i) written.push_back(static_cast<char>('A' + i % 26));
  EXPECT_EQ(ZipWriterSinkWrite(writer.get(), written.data(), 90), 90u);
  EXPECT_EQ(writer->capacity, 100u) << "90 of 100 needs no growth";
  return writer;
}

}  // namespace

TEST(WriterMemoryOutput, GrowsToTwiceOrToWhatIsNeeded) {
  {
    SCOPED_TRACE("a 10-byte write fills the mapping exactly, which grows it to twice its size");
    std::string expected;
    auto writer = ninetyOfHundred(expected);
    const std::string more(10, 'z');
    EXPECT_EQ(ZipWriterSinkWrite(writer.get(), more.data(), 10), 10u);
    EXPECT_EQ(writer->capacity, 200u);
    EXPECT_EQ(writer->used, 100u);
    EXPECT_EQ(viewBytes(*writer), expected + more) << "the old bytes moved into the new mapping";
    EXPECT_EQ(writer->lastError, 0);
  }
  {
    SCOPED_TRACE("a 300-byte write needs more than twice: exactly 390");
    std::string expected;
    auto writer = ninetyOfHundred(expected);
    const std::string more(300, 'q');
    EXPECT_EQ(ZipWriterSinkWrite(writer.get(), more.data(), 300), 300u);
    EXPECT_EQ(writer->capacity, 390u);
    EXPECT_EQ(writer->used, 390u);
    EXPECT_EQ(viewBytes(*writer), expected + more);
    SCOPED_TRACE("the next byte finds it full and doubles it");
    EXPECT_EQ(ZipWriterSinkWrite(writer.get(), "!", 1), 1u);
    EXPECT_EQ(writer->capacity, 780u);
    EXPECT_EQ(viewBytes(*writer), expected + more + "!");
  }
}

TEST(WriterMemoryOutput, ADirectoryLargerThanTheMappingGrowsIt) {
  auto writer = memoryWriter(16);
  std::string names;
  for (int i = 0; i < 50; ++i) {
    const std::string name = "folder/file" + std::to_string(i) + ".bin";
    appendEntry(*writer, makeEntry(name, Method::Stored, 0, 0, 0, 0));
    names += name;
  }
  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const uint32_t expectedSize = 50 * 46 + static_cast<uint32_t>(names.size()) + 22;
  EXPECT_EQ(writer->used, expectedSize);
  EXPECT_GT(writer->capacity, expectedSize);
  const std::string bytes = viewBytes(*writer);
  EXPECT_EQ(readLittleEndian16(bytes, bytes.size() - 12), 50u);
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
  {
    SCOPED_TRACE("free without a close");
    auto writer = memoryWriter(64);
    appendEntry(*writer, makeEntry("kept", Method::Stored, 0, 0, 0, 0));
    writer.reset();
    EXPECT_EQ(openDescriptorCount(), before);
  }
}
