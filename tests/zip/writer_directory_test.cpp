// The central directory and end record that finishing writes: byte for byte
// what ZipBuilder lays out for the same entries, and an archive that the unzip
// tool tests clean and extracts whole.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::kZipStored;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempFolder;

TEST(WriterFinishing, NoEntriesWritesOnlyTheEndRecordAndASecondCloseNothing) {
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

  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk);
  EXPECT_EQ(writer->lastError, 0) << "no write was even tried on the released output";
  EXPECT_EQ(writer->position, 0x24u + 22);
  EXPECT_EQ(readFile(folder / "empty.zip"), bytes);
}

TEST(WriterFinishing, TwoShortNamesMakeA104ByteDirectory) {
  ZipBuilder zip;
  zip.addFile("a.txt", "0123456789", kZipStored).addFile("dir/b.t", std::string(50, 'b'));
  zip.entry(0).externalAttributes = 0x20;
  zip.entry(1).versionMadeBy = 0x031E;
  zip.endRecord().centralOffset = 307;
  auto writer = memoryWriter(4096);
  writer->offsetBase = 7;
  writer->position = 300;
  const Built built = appendEntriesOf(*writer, zip);

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  EXPECT_EQ(writer->entries, nullptr) << "the list is empty afterwards";
  EXPECT_EQ(writer->position, 300u + 104 + 22);
  const std::string bytes = viewBytes(*writer);
  ASSERT_EQ(bytes.size(), 104u + 22);
  EXPECT_EQ(bytes, built.directory());
  EXPECT_EQ(endRecordFields(bytes, 104), (Fields{kEndSignature, 0, 0, 2, 2, 104, 307, 0}));
  EXPECT_EQ(ZipWriterClose(writer.get()), ZipOk);
}

TEST(WriterFinishing, ExtraFieldAndCommentFollowTheName) {
  ZipBuilder zip;
  zip.addFile("x", "").addFile("y", "").addFile("z", "");
  zip.entry(0).centralExtra = std::string("\xCA\xFE\0\0", 4);
  // The comments belong to the caller: finishing must neither free nor keep them.
  zip.entry(0).comment = zip.entry(1).comment = "shared note";
  auto writer = memoryWriter(256);
  const Built built = appendEntriesOf(*writer, zip);
  writer->position = static_cast<uint32_t>(built.layout.centralDirectory);

  ASSERT_EQ(ZipWriterPutCentralDirectory(writer.get()), ZipOk);
  const std::string bytes = viewBytes(*writer);
  const size_t third = (46 + 1 + 4 + 11) + (46 + 1 + 11);
  ASSERT_EQ(bytes.size(), third + 46 + 1 + 22);
  EXPECT_EQ(bytes, built.directory());
  EXPECT_EQ(bytes.substr(46, 1 + 4 + 11), std::string("x\xCA\xFE\0\0shared note", 16));
  EXPECT_EQ(bytes.substr(third + 46, 1), "z") << "an entry with neither extra field nor comment still counts";
  EXPECT_EQ(zip.entry(1).comment, "shared note");
}

TEST(WriterFinishing, UnzipAcceptsTheArchiveAndGivesBackEveryEntry) {
  std::mt19937 generator(20240517);
  std::string manual, random(70000, '\0');
  for (int i = 0; i < 2000; ++i) manual += "line " + std::to_string(i) + " of the manual, compressible\n";
  for (char& byte : random) byte = static_cast<char>(generator());
  ZipBuilder zip;
  zip.addFolder("docs/").addFile("readme.txt", "stored text\r\nsecond line\r\n", kZipStored);
  zip.addFile("docs/manual.txt", manual).addFile("data.bin", random);
  zip.addFile("empty.txt", "", kZipStored).addFile("raw.bin", random.substr(0, 5000), kZipStored);
  zip.entry(1).comment = "entry comment";

  TempFolder folder;
  const auto archive = folder / "round.zip";
  auto writer = fileWriter(archive);
  const Built built = appendEntriesOf(*writer, zip);
  writer->position = static_cast<uint32_t>(built.layout.centralDirectory);
  ASSERT_EQ(ZipWriterSinkWrite(writer.get(), built.bytes.data(), writer->position), writer->position);
  LastWriterResult = -1;
  EXPECT_EQ(ZipHandleClose(writerHandle(std::move(writer))), ZipOk);
  EXPECT_EQ(LastWriterResult, ZipOk);
  EXPECT_EQ(readFile(archive), built.bytes);

  const auto tested = runProgram({"/usr/bin/unzip", {"-tq", archive.string()}, {}, folder.path()});
  EXPECT_TRUE(tested.exited && tested.exitCode == 0) << "unzip -t found errors";
  const auto out = folder / "out";
  const auto extracted =
      runProgram({"/usr/bin/unzip", {"-q", archive.string(), "-d", out.string()}, {}, folder.path()});
  ASSERT_TRUE(extracted.exited && extracted.exitCode == 0);
  EXPECT_TRUE(std::filesystem::is_directory(out / "docs"));
  for (size_t i = 1; i < zip.entryCount(); ++i) EXPECT_EQ(readFile(out / zip.entry(i).name), zip.entry(i).content) << i;
}
