// An archive finished by the writer is a real zip archive: the same bytes as
// the builder's, which the unzip tool tests clean and extracts whole.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/updater_sandbox.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempFolder;

namespace {

std::string randomBytes(size_t count) {
  std::mt19937 generator(20240517);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

std::string repeatedText(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += "line " + std::to_string(i) + " of the manual, compressible\n";
  return text;
}

}  // namespace

TEST(WriterRoundTrip, UnzipAcceptsTheArchiveAndGivesBackEveryEntry) {
  ZipBuilder zip;
  zip.addFolder("docs/").addFile("readme.txt", "stored text\r\nsecond line\r\n", testing_support::kZipStored);
  zip.addFile("docs/manual.txt", repeatedText(2000)).addFile("data.bin", randomBytes(70000));
  zip.addFile("empty.txt", "", testing_support::kZipStored).addFile("raw.bin", randomBytes(5000), testing_support::kZipStored);
  zip.entry(1).comment = "entry comment";
  const Built built = build(zip);

  TempFolder folder;
  const auto archive = folder / "round.zip";
  auto writer = fileWriter(archive);
  const std::string local = built.localPart();
  ASSERT_EQ(ZipWriterSinkWrite(writer.get(), local.data(), static_cast<uint32_t>(local.size())), local.size());
  writer->position = static_cast<uint32_t>(local.size());
  appendEntriesOf(*writer, zip, built);
  LastWriterResult = -1;
  EXPECT_EQ(ZipHandleClose(writerHandle(std::move(writer))), ZipOk);
  EXPECT_EQ(LastWriterResult, ZipOk);
  EXPECT_EQ(readFile(archive), built.bytes);

  const auto tested = runProgram("/usr/bin/unzip", {"-tq", archive.string()}, {}, folder.path());
  EXPECT_TRUE(tested.exited && tested.exitCode == 0) << "unzip -t found errors";
  const auto out = folder / "out";
  const auto extracted = runProgram("/usr/bin/unzip", {"-q", archive.string(), "-d", out.string()}, {}, folder.path());
  ASSERT_TRUE(extracted.exited && extracted.exitCode == 0);
  EXPECT_TRUE(std::filesystem::is_directory(out / "docs"));
  for (size_t i = 1; i < zip.entryCount(); ++i) {
    SCOPED_TRACE(zip.entry(i).name);
    EXPECT_EQ(readFile(out / zip.entry(i).name), zip.entry(i).content);
  }
}
