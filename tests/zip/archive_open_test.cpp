// Opening archives: the end record search, its tests, and data in front.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "tests/zip/zip_test_support.h"
#include "zip/dir_result.h"
#include "zip/zip_directory.h"

namespace zip_tests {
namespace {

using testing_support::writeFile;

TEST(ArchiveOpen, FailuresGiveTheLayersOwnCodes) {
  TempFolder folder;
  auto sound = [] {
    ZipBuilder zip;
    zip.addFile("a.txt", "alpha");
    return zip;
  };
  struct Case {
    const char* what;
    std::string bytes;
    int32_t expected;
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", "", DirIoError});
  cases.push_back({"four bytes", "PK\x05\x06", DirIoError});
  cases.push_back({"bare end record at the first byte", ZipBuilder().build(), DirIoError});
  // Without an end record the tests run on the first bytes of the file.
  cases.push_back({"zeros, no end record", std::string(5000, '\0'), DirIoError});
  cases.push_back({"text, no end record", std::string(5000, 'x'), DirBadArchive});
  {
    ZipBuilder zip = sound();
    zip.endRecord().thisDisk = 1;
    cases.push_back({"this disk 1", zip.build(), DirBadArchive});
  }
  {
    ZipBuilder zip = sound();
    zip.endRecord().centralDisk = 1;
    cases.push_back({"central directory on disk 1", zip.build(), DirBadArchive});
  }
  {
    ZipBuilder zip;
    zip.addFile("a", "1").addFile("b", "2").addFile("c", "3").addFile("d", "4");
    zip.endRecord().entriesHere = 3;
    cases.push_back({"3 entries here, 4 in total", zip.build(), DirBadArchive});
  }
  {
    ZipBuilder zip = sound();
    zip.endRecord().centralSize = 1000;
    cases.push_back({"central directory ends after the end record", zip.build(), DirBadArchive});
  }
  {
    ZipBuilder zip = sound();
    zip.comment(std::string(65535 - 22 + 1, 'c'));
    // Not found; the first bytes are a local header, whose version field reads as a disk number.
    cases.push_back({"end record more than 65535 bytes before the end", zip.build(), DirBadArchive});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(folder / "test.zip", c.bytes);
    EXPECT_EQ(openResult(folder / "test.zip", folder.path()), c.expected);
    EXPECT_EQ(LastOpenResult, c.expected);
  }
  EXPECT_EQ(openResult(folder / "missing.zip", folder.path()), ZipOpenFailed);
  EXPECT_EQ(openResult(folder.path(), folder.path()), ZipOpenFailed) << "a folder is no archive file";

  SCOPED_TRACE("sources that are no disk file fail at once, unread");
  ASSERT_EQ(::mkfifo((folder / "pipe.zip").c_str(), 0600), 0);
  EXPECT_EQ(openResult(folder / "pipe.zip", folder.path()), DirIoError) << "no writer";
  const int writer = ::open((folder / "pipe.zip").c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(openResult(folder / "pipe.zip", folder.path()), DirIoError) << "a writer that never writes";
  ::close(writer);
  EXPECT_EQ(openResult("/dev/zero", folder.path()), DirIoError);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (folder / "socket.zip").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(openResult(folder / "socket.zip", folder.path()), ZipOpenFailed) << "a socket does not open as a file";
  ::close(listener);
}

TEST(ArchiveOpen, LongestCommentStillFindsTheEndRecord) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("a.txt", "alpha").comment(std::string(65535 - 22, 'c'));
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.count(), 1);
  EXPECT_EQ(reader.extractAs(0, "a.txt"), ZipOk);
  EXPECT_EQ(testing_support::readFile(folder / "a.txt"), "alpha");
}

TEST(ArchiveOpen, DataInFrontIsSkipped) {
  TempFolder folder;
  ZipBuilder zip;
  zip.prefix(std::string(1000, '\x7f')).addFile("a.txt", "alpha").addFile("b.txt", "beta", testing_support::kZipStored);
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.reader()->directory->bytesBeforeArchive, 1000u);
  EXPECT_EQ(reader.extractAs(1, "b.txt"), ZipOk);
  EXPECT_EQ(reader.extractAs(0, "a.txt"), ZipOk);
  EXPECT_EQ(testing_support::readFile(folder / "a.txt"), "alpha");
  EXPECT_EQ(testing_support::readFile(folder / "b.txt"), "beta");
}

TEST(ArchiveOpen, EmptyArchiveBehindOneByteOpensWithoutEntries) {
  TempFolder folder;
  writeFile(folder / "test.zip", "x" + ZipBuilder().build());
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.reader()->directory->bytesBeforeArchive, 1u);
  EXPECT_EQ(reader.reader()->directory->currentValid, 0);
  ZipEntryRecord record{};
  record.name[0] = u'?';
  EXPECT_EQ(reader.get(-1, record), ZipOk);
  EXPECT_EQ(record.index, 0);
  EXPECT_EQ(record.name[0], 0);
  EXPECT_EQ(reader.get(0, record), ZipBadArgument);
  EXPECT_EQ(reader.find(""), ZipNotFound);
}

TEST(ArchiveOpen, CommentHoldingASignatureIsTakenForTheRecord) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("a.txt", "alpha").comment(std::string("note PK\x05\x06 trailing"));
  zip.writeTo(folder / "test.zip");
  EXPECT_NE(openResult(folder / "test.zip", folder.path()), ZipOk);
}

TEST(ArchiveOpen, FilesOfFourGigabytesAreRefused) {
  TempFolder folder;
  std::string archive = ZipBuilder().addFile("a.txt", "alpha").build();
  auto path = folder / "big.zip";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  // Sparse: the hole costs no disk space.
  off_t hole = static_cast<off_t>(0x100000000LL);
  ASSERT_EQ(::pwrite(fd, archive.data(), archive.size(), hole), static_cast<ssize_t>(archive.size()));
  ::close(fd);
  EXPECT_EQ(openResult(path, folder.path()), DirBadArchive);
}

TEST(ArchiveOpen, ClosingReleasesTheArchiveAndNullOrUnknownHandlesAreRefused) {
  TempFolder folder;
  ZipBuilder().addFile("a.txt", "alpha").writeTo(folder / "test.zip");
  ZipReaderHandle* handle = ZipReaderOpen(wide(folder / "test.zip").c_str(), nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(LastReaderResult, ZipOk);
  LastReaderResult = -7;
  EXPECT_EQ(ZipHandleClose(handle), ZipOk);
  EXPECT_EQ(LastReaderResult, ZipOk);

  EXPECT_EQ(ZipHandleClose(nullptr), ZipBadArgument);
  EXPECT_EQ(LastReaderResult, ZipBadArgument);

  ZipReaderHandle odd{7, nullptr};
  EXPECT_EQ(ZipHandleClose(&odd), ZipWrongKind);
  EXPECT_EQ(LastWriterResult, ZipWrongKind);

  ZipReaderHandle writer{ZipHandleKindWriter, nullptr};
  ZipEntryRecord record{};
  int32_t index = 5;
  EXPECT_EQ(ZipReaderGetEntry(&writer, 0, &record), ZipWrongKind);
  EXPECT_EQ(ZipReaderFindEntry(&writer, u"a.txt", &index, &record), ZipWrongKind);
  EXPECT_EQ(ZipReaderExtract(&writer, 0, u"x"), ZipWrongKind);
  EXPECT_EQ(LastReaderResult, ZipWrongKind);
  EXPECT_EQ(ZipReaderGetEntry(nullptr, 0, &record), ZipBadArgument);
  EXPECT_EQ(LastReaderResult, ZipBadArgument);
}

TEST(ArchiveOpen, DefaultRootIsTheCurrentFolder) {
  TempFolder folder;
  ZipBuilder().addFolder("made/").writeTo(folder / "test.zip");
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  ZipReaderHandle* handle = ZipReaderOpen(u"test.zip", nullptr);
  ASSERT_NE(handle, nullptr);
  std::string root = testing_support::narrow(static_cast<ZipReader*>(handle->object)->rootFolder);
  EXPECT_EQ(ZipReaderExtract(handle, 0, u"ignored"), ZipOk);
  ZipHandleClose(handle);
  std::filesystem::current_path(previous);
  EXPECT_EQ(root, std::filesystem::canonical(folder.path()).string() + "\\");
  EXPECT_TRUE(std::filesystem::is_directory(folder / "made"));
}

}  // namespace
}  // namespace zip_tests
