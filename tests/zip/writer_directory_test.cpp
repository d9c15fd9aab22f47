// The central directory and end record that finishing writes, byte for byte
// as ZipBuilder lays them out for the same entries.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_folder.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::readFile;
using testing_support::TempFolder;

TEST(WriterFinishing, NoEntriesWritesOnlyTheEndRecord) {
  TempFolder folder;
  auto writer = fileWriter(folder / "empty.zip");
  writer->offsetBase = 0x1000;
  writer->position = 0x24;  // as if 0x24 bytes had gone before, elsewhere

  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk);
  EXPECT_FALSE(writer->file.isOpen()) << "the close releases the file";
  EXPECT_EQ(writer->position, 0x24u + 22);
  const std::string bytes = readFile(folder / "empty.zip");
  ASSERT_EQ(bytes.size(), 22u);
  EXPECT_EQ(endRecordFields(bytes, 0), (Fields{kEndSignature, 0, 0, 0, 0, 0, 0x1024, 0}))
      << "offset base plus the position where the directory began";
}

TEST(WriterFinishing, TwoShortNamesMakeA104ByteDirectory) {
  ZipBuilder zip;
  zip.addFile("a.txt", "0123456789", testing_support::kZipStored).addFile("dir/b.t", std::string(50, 'b'));
  zip.entry(0).externalAttributes = 0x20;
  zip.entry(1).versionMadeBy = 0x031E;
  zip.endRecord().centralOffset = 307;
  const Built built = build(zip);
  auto writer = memoryWriter(4096);
  writer->offsetBase = 7;
  writer->position = 300;
  appendEntriesOf(*writer, zip, built);

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  EXPECT_EQ(writer->entries, nullptr) << "the list is empty afterwards";
  EXPECT_EQ(writer->position, 300u + 104 + 22);
  const std::string bytes = viewBytes(*writer);
  ASSERT_EQ(bytes.size(), 104u + 22);
  EXPECT_EQ(bytes, built.directory());
  EXPECT_EQ(endRecordFields(bytes, 104), (Fields{kEndSignature, 0, 0, 2, 2, 104, 307, 0}));
  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk) << "already finished: nothing more to write";
}

TEST(WriterFinishing, ExtraFieldAndCommentFollowTheName) {
  ZipBuilder zip;
  zip.addFile("x", "").addFile("y", "").addFile("z", "");
  zip.entry(0).centralExtra = std::string("\xCA\xFE\0\0", 4);
  // The comments belong to the caller: finishing must neither free nor keep them.
  zip.entry(0).comment = zip.entry(1).comment = "shared note";
  const Built built = build(zip);
  auto writer = memoryWriter(256);
  appendEntriesOf(*writer, zip, built);
  writer->position = static_cast<uint32_t>(built.layout.centralDirectory);

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const std::string bytes = viewBytes(*writer);
  const size_t second = 46 + 1 + 4 + 11, third = second + 46 + 1 + 11;
  ASSERT_EQ(bytes.size(), third + 46 + 1 + 22);
  EXPECT_EQ(bytes, built.directory());
  EXPECT_EQ(bytes.substr(46, 1 + 4 + 11), std::string("x\xCA\xFE\0\0shared note", 16));
  SCOPED_TRACE("an entry with neither extra field nor comment still counts as written");
  EXPECT_EQ(bytes.substr(third + 46, 1), "z");
  EXPECT_EQ(zip.entry(1).comment, "shared note");
}
