// An archive finished by the writer is a real zip archive: the unzip tool
// tests it clean and gives back every entry.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/wait.h>

#include "tests/support/temp_folder.h"
#include "zip/zip.h"
#include "tests/zip/writer_test_support.h"

using namespace writer_test;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::widen;

namespace {

struct CommandResult {
  int exitCode = -1;
  std::string output;
};

CommandResult runCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  size_t count;
  while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), count);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

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

struct FileEntry {
  std::string name;
  std::string data;
  Method method;
};

const std::string kComment = "entry comment";

// Writes the entries and a folder entry through a file writer and closes it
// through a writer handle, as the handle's owner would.
void writeArchive(const std::filesystem::path& path, const std::vector<FileEntry>& files) {
  auto writer = fileWriter(path);
  writer->offsetBase = 0;
  ZipWriterEntry& folder = addEntry(*writer, "docs/", "", Method::Stored);
  folder.externalAndOffset[0] = 0x10;  // folder attribute
  for (const FileEntry& file : files) addEntry(*writer, file.name, file.data, file.method);
  ZipWriterEntry& commented = *writer->entries->next;
  commented.comment = reinterpret_cast<const uint8_t*>(kComment.data());
  commented.commentLength = static_cast<uint32_t>(kComment.size());

  LastWriterResult = -1;
  EXPECT_EQ(ZipHandleClose(writerHandle(std::move(writer))), ZipOk);
  EXPECT_EQ(LastWriterResult, ZipOk);
}

std::vector<FileEntry> sampleFiles() {
  return {
      {"readme.txt", "stored text\r\nsecond line\r\n", Method::Stored},
      {"docs/manual.txt", repeatedText(2000), Method::Deflate},
      {"data.bin", randomBytes(70000), Method::Deflate},
      {"empty.txt", "", Method::Stored},
      {"raw.bin", randomBytes(5000), Method::Stored},
  };
}

}  // namespace

TEST(WriterRoundTrip, UnzipAcceptsTheArchiveAndGivesBackEveryEntry) {
  TempFolder folder;
  const auto archive = folder / "round.zip";
  const std::vector<FileEntry> files = sampleFiles();
  writeArchive(archive, files);

  const CommandResult test = runCommand("unzip -t '" + archive.string() + "'");
  EXPECT_EQ(test.exitCode, 0) << test.output;
  EXPECT_NE(test.output.find("No errors detected"), std::string::npos) << test.output;

  const CommandResult listing = runCommand("unzip -Z1 '" + archive.string() + "'");
  EXPECT_EQ(listing.output, "docs/\nreadme.txt\ndocs/manual.txt\ndata.bin\nempty.txt\nraw.bin\n");

  const auto out = folder / "out";
  const CommandResult extract = runCommand("unzip -q '" + archive.string() + "' -d '" + out.string() + "'");
  ASSERT_EQ(extract.exitCode, 0) << extract.output;
  EXPECT_TRUE(std::filesystem::is_directory(out / "docs"));
  for (const FileEntry& file : files) {
    SCOPED_TRACE(file.name);
    EXPECT_EQ(readFile(out / file.name), file.data);
  }

  SCOPED_TRACE("the comment went into the central header");
  const CommandResult comments = runCommand("unzip -Z -v '" + archive.string() + "' readme.txt");
  EXPECT_NE(comments.output.find(kComment), std::string::npos) << comments.output;
}

TEST(WriterRoundTrip, OurReaderAcceptsTheArchiveAndGivesBackEveryEntry) {
  TempFolder folder;
  const auto archive = folder / "round.zip";
  const std::vector<FileEntry> files = sampleFiles();
  writeArchive(archive, files);

  const auto out = folder / "out";
  std::filesystem::create_directory(out);
  ZipReaderHandle* handle = ZipReaderOpen(widen(archive.string()).c_str(), widen(out.string() + "/").c_str());
  ASSERT_NE(handle, nullptr) << "LastReaderResult " << LastReaderResult;

  ZipEntryRecord record{};
  ASSERT_EQ(ZipReaderGetEntry(handle, -1, &record), ZipOk);
  ASSERT_EQ(record.index, static_cast<int32_t>(files.size() + 1));

  std::map<std::string, ZipEntryRecord> records;
  for (int32_t index = 0; index < record.index; ++index) {
    ZipEntryRecord entry{};
    ASSERT_EQ(ZipReaderGetEntry(handle, index, &entry), ZipOk);
    const std::string name = testing_support::narrow(entry.name);
    SCOPED_TRACE(name);
    EXPECT_EQ(ZipReaderExtract(handle, index, widen((out / name).string()).c_str()), ZipOk);
    records[name] = entry;
  }
  EXPECT_EQ(ZipHandleClose(handle), ZipOk);

  ASSERT_EQ(records.count("docs/"), 1u);
  EXPECT_EQ(records["docs/"].attributes & 0x10, 0x10u) << "the folder entry reads back as a folder";
  EXPECT_TRUE(std::filesystem::is_directory(out / "docs"));
  for (const FileEntry& file : files) {
    SCOPED_TRACE(file.name);
    ASSERT_EQ(records.count(file.name), 1u);
    EXPECT_EQ(records[file.name].uncompressedSize, file.data.size());
    EXPECT_EQ(readFile(out / file.name), file.data);
  }
}
