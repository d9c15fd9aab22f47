// The memory output: a page-file mapping that grows to at least twice its size
// and keeps what was written; the close releases it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <optional>
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

// While it lives, no new descriptor can be opened, so no new mapping can be made.
class NoSpareDescriptors {
 public:
  NoSpareDescriptors() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit none = saved_;
    none.rlim_cur = 0;
    active_ = setrlimit(RLIMIT_NOFILE, &none) == 0;
  }
  ~NoSpareDescriptors() { setrlimit(RLIMIT_NOFILE, &saved_); }
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  bool active_ = false;
};

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

TEST(WriterMemoryOutput, AMappingThatCannotGrowFailsTheWriteAndTheClose) {
  std::string expected;
  auto writer = ninetyOfHundred(expected);
  appendEntry(*writer, makeEntry("entry.txt", Method::Stored, 0, 0, 0, 0));

  std::optional<NoSpareDescriptors> limit(std::in_place);
  ASSERT_TRUE(limit->active());
  const uint32_t written = ZipWriterSinkWrite(writer.get(), "0123456789", 10);
  const int32_t errorAfterWrite = writer->lastError;
  const ZipResult closed = ZipWriterClose(writer.get());
  limit.reset();

  EXPECT_EQ(written, 0u);
  EXPECT_EQ(errorAfterWrite, ZipMapFailed);
  EXPECT_EQ(closed, ZipExtractFailed);
  EXPECT_EQ(writer->lastError, ZipMapFailed);
  EXPECT_EQ(writer->entries, nullptr);
  EXPECT_EQ(writer->view, nullptr) << "the old mapping is released by the close all the same";
}

TEST(WriterMemoryOutput, AFailedGrowthKeepsTheOldMapping) {
  std::string expected;
  auto writer = ninetyOfHundred(expected);
  std::optional<NoSpareDescriptors> limit(std::in_place);
  ASSERT_TRUE(limit->active());
  const uint32_t failed = ZipWriterSinkWrite(writer.get(), "0123456789", 10);
  const uint32_t fits = ZipWriterSinkWrite(writer.get(), "abc", 3);
  limit.reset();

  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(fits, 3u) << "a write that fits needs no new mapping";
  EXPECT_EQ(writer->capacity, 100u);
  EXPECT_EQ(viewBytes(*writer), expected + "abc");
}
