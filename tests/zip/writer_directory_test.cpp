// The central directory and end record that finishing writes, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_folder.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::readFile;
using testing_support::TempFolder;

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;

struct EndRecord {
  uint32_t signature, diskEntries, totalEntries, size, offset, commentLength, disk, directoryDisk;
};

EndRecord endRecordAt(const std::string& bytes, size_t at) {
  return {readLittleEndian32(bytes, at),      readLittleEndian16(bytes, at + 8),  readLittleEndian16(bytes, at + 10),
          readLittleEndian32(bytes, at + 12), readLittleEndian32(bytes, at + 16), readLittleEndian16(bytes, at + 20),
          readLittleEndian16(bytes, at + 4),  readLittleEndian16(bytes, at + 6)};
}

}  // namespace

TEST(WriterFinishing, NoEntriesWritesOnlyTheEndRecord) {
  TempFolder folder;
  const auto path = folder / "empty.zip";
  auto writer = fileWriter(path);
  writer->offsetBase = 0x1000;
  writer->position = 0x24;  // as if 0x24 bytes had gone before, elsewhere

  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk);
  EXPECT_FALSE(writer->file.isOpen()) << "the close releases the file";
  EXPECT_EQ(writer->position, 0x24u + 22);

  const std::string bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 22u);
  const EndRecord end = endRecordAt(bytes, 0);
  EXPECT_EQ(end.signature, kEndSignature);
  EXPECT_EQ(end.disk, 0u);
  EXPECT_EQ(end.directoryDisk, 0u);
  EXPECT_EQ(end.diskEntries, 0u);
  EXPECT_EQ(end.totalEntries, 0u);
  EXPECT_EQ(end.size, 0u);
  EXPECT_EQ(end.offset, 0x1024u) << "offset base plus the position where the directory began";
  EXPECT_EQ(end.commentLength, 0u);
}

TEST(WriterFinishing, TwoShortNamesMakeA104ByteDirectory) {
  auto writer = memoryWriter(4096);
  writer->offsetBase = 7;
  writer->position = 300;
  appendEntry(*writer, makeEntry("a.txt", Method::Stored, 0x11223344, 10, 10, 0));
  appendEntry(*writer, makeEntry("dir/b.t", Method::Deflate, 0x55667788, 20, 50, 45));

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  EXPECT_EQ(writer->entries, nullptr) << "the list is empty afterwards";
  EXPECT_EQ(writer->position, 300u + 104 + 22);

  const std::string bytes = viewBytes(*writer);
  ASSERT_EQ(bytes.size(), 104u + 22);
  {
    SCOPED_TRACE("first header");
    EXPECT_EQ(readLittleEndian32(bytes, 0), kCentralSignature);
    EXPECT_EQ(readLittleEndian16(bytes, 10), 0u) << "method stored, from the header image";
    EXPECT_EQ(readLittleEndian32(bytes, 16), 0x11223344u) << "CRC from the header image";
    EXPECT_EQ(readLittleEndian16(bytes, 28), 5u);
    EXPECT_EQ(readLittleEndian16(bytes, 30), 0u);
    EXPECT_EQ(readLittleEndian16(bytes, 32), 0u);
    EXPECT_EQ(readLittleEndian32(bytes, 38), 0x20u) << "external attributes";
    EXPECT_EQ(readLittleEndian32(bytes, 42), 0u) << "local header offset";
    EXPECT_EQ(bytes.substr(46, 5), "a.txt");
  }
  {
    SCOPED_TRACE("second header follows the first name directly");
    EXPECT_EQ(readLittleEndian32(bytes, 51), kCentralSignature);
    EXPECT_EQ(readLittleEndian16(bytes, 51 + 10), 8u);
    EXPECT_EQ(readLittleEndian32(bytes, 51 + 20), 20u);
    EXPECT_EQ(readLittleEndian32(bytes, 51 + 24), 50u);
    EXPECT_EQ(readLittleEndian16(bytes, 51 + 28), 7u);
    EXPECT_EQ(readLittleEndian32(bytes, 51 + 42), 45u);
    EXPECT_EQ(bytes.substr(51 + 46, 7), "dir/b.t");
  }
  const EndRecord end = endRecordAt(bytes, 104);
  EXPECT_EQ(end.signature, kEndSignature);
  EXPECT_EQ(end.diskEntries, 2u);
  EXPECT_EQ(end.totalEntries, 2u);
  EXPECT_EQ(end.size, 104u);
  EXPECT_EQ(end.offset, 307u);
  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk) << "already finished: nothing more to write";
}

TEST(WriterFinishing, ExtraFieldAndCommentFollowTheName) {
  // The comment belongs to the caller: finishing must neither free nor keep it.
  const std::string comment = "shared note";
  auto writer = memoryWriter(256);
  {
    auto entry = makeEntry("x", Method::Stored, 0, 0, 0, 0);
    entry->extraLength = 4;
    entry->extra.reset(new uint8_t[4]{0xCA, 0xFE, 0x00, 0x00});
    entry->commentLength = static_cast<uint32_t>(comment.size());
    entry->comment = reinterpret_cast<const uint8_t*>(comment.data());
    appendEntry(*writer, std::move(entry));
  }
  {
    auto entry = makeEntry("y", Method::Stored, 0, 0, 0, 0);
    entry->commentLength = static_cast<uint32_t>(comment.size());
    entry->comment = reinterpret_cast<const uint8_t*>(comment.data());
    appendEntry(*writer, std::move(entry));
  }
  SCOPED_TRACE("an entry with neither extra field nor comment still counts as written");
  appendEntry(*writer, makeEntry("z", Method::Stored, 0, 0, 0, 0));

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const std::string bytes = viewBytes(*writer);
  const size_t second = 46 + 1 + 4 + comment.size();
  const size_t third = second + 46 + 1 + comment.size();
  ASSERT_EQ(bytes.size(), third + 46 + 1 + 22);
  EXPECT_EQ(readLittleEndian16(bytes, 30), 4u);
  EXPECT_EQ(readLittleEndian16(bytes, 32), comment.size());
  EXPECT_EQ(bytes.substr(46, 1 + 4 + comment.size()), std::string("x\xCA\xFE\0\0", 5) + comment);
  EXPECT_EQ(bytes.substr(second + 46, 1 + comment.size()), "y" + comment);
  EXPECT_EQ(readLittleEndian32(bytes, third), kCentralSignature);
  EXPECT_EQ(bytes.substr(third + 46, 1), "z");
  EXPECT_EQ(endRecordAt(bytes, third + 47).totalEntries, 3u);
  EXPECT_EQ(endRecordAt(bytes, third + 47).size, third + 47);
  EXPECT_EQ(comment, "shared note");
}
