// Extraction through the handle interface, the way the engine's driver calls it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "tests/zip/zip_test_support.h"
#include "zip/entry_names.h"

namespace zip_tests {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

// Count, then per index: record, look-up by that name, extract the found index
// to the root joined with the name. Returns the per-entry results.
std::vector<ZipResult> extractLikeTheDriver(const std::filesystem::path& archive, const std::filesystem::path& root) {
  std::vector<ZipResult> results;
  Reader reader(archive, root);
  EXPECT_TRUE(reader) << LastReaderResult;
  if (!reader) return results;
  int32_t count = reader.count();
  for (int32_t i = 0; i < count; ++i) {
    ZipEntryRecord record{};
    if (reader.get(i, record) != ZipOk) {
      results.push_back(LastReaderResult);
      continue;
    }
    int32_t found = -1;
    ZipEntryRecord foundRecord{};
    if (ZipReaderFindEntry(reader.handle(), record.name, &found, &foundRecord) != ZipOk) {
      results.push_back(LastReaderResult);
      continue;
    }
    if (std::u16string(foundRecord.name) != record.name) {  // the exact-name rule
      results.push_back(ZipNotFound);
      continue;
    }
    results.push_back(reader.extractAs(found, testing_support::narrow(record.name)));
  }
  return results;
}

void setModified(const std::filesystem::path& path, int64_t seconds) {
  struct timespec times[2] = {{seconds - 1000, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void runZip(const std::filesystem::path& staging, const std::string& arguments) {
  std::string command = "cd '" + staging.string() + "' && zip -q " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(Extraction, ArchivesOfTheZipToolComeOutWhole) {
  // The archive lands beside the staged tree, in a folder of this test's own:
  // concurrent test runs never share it.
  TempFolder work;
  const std::filesystem::path staging = work.path() / "staging";
  std::filesystem::create_directories(staging / "docs/img");
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::to_string(i * 31 % 977) + ",";
  writeFile(staging / "readme.txt", "read me\n");
  writeFile(staging / "docs/big.csv", big);
  writeFile(staging / "docs/img/empty.png", "");
  writeFile(staging / "docs/\xc3\xa9t\xc3\xa9.txt", "utf-8 name");
  int64_t stamp = 1700000000;
  for (const char* file : {"readme.txt", "docs/big.csv", "docs/img/empty.png", "docs/\xc3\xa9t\xc3\xa9.txt"}) {
    setModified(staging / file, stamp += 7);
  }
  struct Variant {
    const char* what;
    std::string arguments;
  };
  const std::vector<Variant> variants = {
      {"deflate with folder entries", "-r ../test.zip readme.txt docs"},
      {"stored", "-r -0 ../test.zip readme.txt docs"},
      {"no folder entries", "-r -D ../test.zip readme.txt docs"},
      {"no extra fields: DOS stamps only", "-r -X ../test.zip readme.txt docs"},
      {"streamed: data descriptors", "-r - readme.txt docs > ../test.zip"},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.what);
    const auto archive = work.path() / "test.zip";
    std::filesystem::remove(archive);
    runZip(staging, variant.arguments);
    TempFolder out;
    std::vector<ZipResult> results = extractLikeTheDriver(archive, out.path());
    for (ZipResult r : results) EXPECT_EQ(r, ZipOk);
    EXPECT_EQ(treeOf(out.path()), treeOf(staging));
    for (const char* file : {"readme.txt", "docs/big.csv", "docs/img/empty.png", "docs/\xc3\xa9t\xc3\xa9.txt"}) {
      SCOPED_TRACE(file);
      // File times are those the archive holds.
      Reader reader(archive, out.path());
      int32_t index = -1;
      ZipEntryRecord record{};
      ASSERT_EQ(ZipReaderFindEntry(reader.handle(), testing_support::widen(file).c_str(), &index, &record), ZipOk);
      EXPECT_EQ(modifiedSeconds(out / file), unixSeconds(record.writeTime));
      EXPECT_EQ(accessedSeconds(out / file), unixSeconds(record.accessTime));
      if (std::string(variant.what).find("DOS") == std::string::npos) {
        EXPECT_EQ(modifiedSeconds(out / file), modifiedSeconds(staging / file)) << "from the UT block";
      }
      EXPECT_EQ(readFile(out / file), readFile(staging / file));  // after the times: reading moves the access time
    }
    std::filesystem::remove(archive);
  }
}

TEST(Extraction, FoldersComeFromFolderEntriesAndFromFilePaths) {
  TempFolder folder;
  const auto root = folder / "root";
  std::filesystem::create_directory(root);
  ZipBuilder zip;
  zip.addFile("deep/er/file.txt", "no folder entries before it");
  testing_support::ZipBuilderEntry javaFolder;  // a folder entry with no attribute bits
  javaFolder.name = "java/";
  javaFolder.method = testing_support::kZipStored;
  zip.add(javaFolder);
  zip.addFolder("win\\style\\");
  zip.addFile("empty.txt", "", testing_support::kZipStored);
  zip.writeTo(folder / "test.zip");
  std::vector<ZipResult> results = extractLikeTheDriver(folder / "test.zip", root);
  EXPECT_EQ(results, std::vector<ZipResult>(4, ZipOk));
  EXPECT_EQ(readFile(root / "deep/er/file.txt"), "no folder entries before it");
  EXPECT_TRUE(std::filesystem::is_directory(root / "java"));
  EXPECT_TRUE(std::filesystem::is_directory(root / "win/style"));
  EXPECT_TRUE(std::filesystem::is_regular_file(root / "empty.txt"));
  EXPECT_EQ(std::filesystem::file_size(root / "empty.txt"), 0u);
  EXPECT_EQ(modifiedSeconds(root / "empty.txt"), unixSeconds(fromDos(zip.entry(3).dosDate, zip.entry(3).dosTime)));
  // Again: existing folders and files are fine.
  EXPECT_EQ(extractLikeTheDriver(folder / "test.zip", root), std::vector<ZipResult>(4, ZipOk));
}

TEST(Extraction, AFolderEntryThatIsNotThereAfterwardsFails) {
  TempFolder folder;
  const auto root = folder / "root";
  std::filesystem::create_directory(root);
  writeFile(root / "data", "a file of an earlier archive");
  ZipBuilder zip;
  zip.addFolder("data/").addFolder(std::string(300 - rootOf(root).size(), 'f') + "/").addFolder("sub/");
  zip.addFile("sub/a.txt", "a").addFile("sub/b.txt", "b");
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", root);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.extractAs(0, "data/"), ZipOpenFailed) << "a file holds the name";
  EXPECT_EQ(reader.extractAs(1, "long/"), ZipOpenFailed) << "root and name do not fit";
  EXPECT_EQ(reader.extractAs(2, "sub/"), ZipOk);
  EXPECT_EQ(reader.extractAs(3, "sub/a.txt"), ZipOk);
  std::filesystem::remove_all(root / "sub");
  EXPECT_EQ(reader.extractAs(4, "sub/b.txt"), ZipOk) << "a folder that vanished is made again";
  EXPECT_EQ(readFile(root / "sub/b.txt"), "b");

  SCOPED_TRACE("a root without its closing separator is still the folder the entries go into");
  ZipReaderHandle* bare = ZipReaderOpen(wide(folder / "test.zip").c_str(), wide(root).c_str());
  ASSERT_NE(bare, nullptr);
  std::filesystem::remove_all(root / "sub");
  EXPECT_EQ(ZipReaderExtract(bare, 2, u"unused"), ZipOk);
  EXPECT_EQ(ZipReaderExtract(bare, 3, (wide(root) + u"/sub/a.txt").c_str()), ZipOk);
  ZipHandleClose(bare);
  EXPECT_EQ(treeOf(folder.path()),
            (std::vector<std::string>{"root/", "root/data", "root/sub/", "root/sub/a.txt", "test.zip"}));
}

// Every name the rule refuses, and names it lets pass, checked against the rule
// itself and through extraction as files and as folder entries.
// Windows opens a device for NUL, COM1 and the like, whatever the case and the
// extension, cuts dots and spaces at the end of a name, and opens a long name
// by its short one.
TEST(Extraction, NothingLandsOutsideTheRootOrUnderANameWindowsRefuses) {
  struct Name {
    std::string name;
    bool unsafe;
  };
  std::vector<Name> names = {
      {"../x", true},       {"a/../../x", true}, {"..\\x", true},   {"/abs", true},        {"\\abs", true},
      {"C:x", true},        {"a:b", true},       {"..", true},      {"a/..", true},        {"a<b", true},
      {"a>b", true},        {"a\"b", true},      {"a|b", true},     {"a?b", true},         {"a*", true},
      {"sub/*.txt", true},  {"tab\tname", true}, {"\x01", true},    {"unit\x1f", true},    {"a..b", false},
      {"...", true},        {".hidden", false},  {"sp ace", false}, {"\x7f", false},       {"\xc3\xa9t\xc3\xa9", false},
      {"NUL", true},        {"nul.txt", true},   {"sub/AUX", true}, {"com1.log", true},    {"Lpt9.x", true},
      {"CON.tar.gz", true}, {"prn .txt", true},  {"COM0", true},    {"LPT\xc2\xb9", true}, {"a.txt.", true},
      {"a.txt ", true},     {"dir./x", true},    {"a/./b", true},   {".", true},           {"CONSOLE", false},
      {"COM10", false},     {".nul", false},     {"lpt", false},
  };
  // A tilde in a name of 8.3 form may be a short name, Windows' or Wine's, of another file.
  for (const char* name : {"VELMIU~1.EXE", "VELM~J2R.EXE", "clie~15z.txt", "PROGRA~1/x.txt", "a~b", "~"}) {
    names.push_back({name, true});
  }
  for (const char* name : {"a~b.longext", "readme~.txt.bak", "~$x.docx", "123456789~.txt", ".~a"}) {
    names.push_back({name, false});
  }
  for (const Name& row : names) {
    EXPECT_EQ(IsUnsafeEntryName(testing_support::widen(row.name).c_str()), row.unsafe) << row.name;
  }
  for (bool folders : {false, true}) {
    SCOPED_TRACE(folders ? "folder entries" : "file entries");
    TempFolder folder;
    const auto root = folder / "root";
    std::filesystem::create_directory(root);
    ZipBuilder zip;
    for (const Name& row : names) {
      if (folders) {
        zip.addFolder(row.name + "/");
      } else {
        zip.addFile(row.name, "written");
      }
    }
    zip.writeTo(folder / "test.zip");
    std::vector<ZipResult> results = extractLikeTheDriver(folder / "test.zip", root);
    ASSERT_EQ(results.size(), names.size());
    std::vector<std::string> expected = {"root/", "test.zip"};
    for (size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i].name);
      EXPECT_EQ(results[i], names[i].unsafe ? ZipOpenFailed : ZipOk);
      if (!names[i].unsafe) expected.push_back("root/" + names[i].name + (folders ? "/" : ""));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(treeOf(folder.path()), expected);
    EXPECT_FALSE(std::filesystem::exists("/abs"));
  }
}

TEST(Extraction, TargetsOutsideTheRootOrTooLongAreRefused) {
  TempFolder folder;
  const auto root = folder / "root";
  std::filesystem::create_directory(root);
  ZipBuilder().addFile("a.txt", "alpha").writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", root);
  ASSERT_TRUE(reader);
  const std::u16string rootText = rootOf(root);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (wide(folder.path()) + u"/outside.txt").c_str()), ZipOpenFailed);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (wide(root) + u"-twin/a.txt").c_str()), ZipOpenFailed);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (rootText + u"sub\\..\\..\\a.txt").c_str()), ZipOpenFailed);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, u""), ZipOpenFailed);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, nullptr), ZipOpenFailed);
  std::u16string longName(260 - rootText.size(), u'n');
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (rootText + longName).c_str()), ZipOpenFailed);
  longName.pop_back();
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (rootText + longName).c_str()), ZipOk) << "259 units fit";
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 0, (rootText + u"x\\y\\a.txt").c_str()), ZipOk);
  EXPECT_EQ(readFile(root / "x/y/a.txt"), "alpha");
  EXPECT_EQ(treeOf(folder.path()), (std::vector<std::string>{"root/", "root/" + testing_support::narrow(longName),
                                                             "root/x/", "root/x/y/", "root/x/y/a.txt", "test.zip"}));
  EXPECT_EQ(ZipReaderExtract(reader.handle(), 1, (rootText + u"b").c_str()), ZipBadArgument);
  EXPECT_EQ(ZipReaderExtract(reader.handle(), -1, (rootText + u"b").c_str()), ZipBadArgument);

  std::u16string hugeRoot = rootText + std::u16string(300, u'r') + u"\\";
  EXPECT_EQ(ZipReaderOpen(wide(folder / "test.zip").c_str(), hugeRoot.c_str()), nullptr);
  EXPECT_EQ(LastReaderResult, ZipOpenFailed);
}

TEST(Extraction, RelativeTargetsOnlyWhenTheRootIsTheCurrentFolder) {
  TempFolder folder;
  ZipBuilder().addFile("a.txt", "alpha").writeTo(folder / "test.zip");
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  ZipReaderHandle* handle = ZipReaderOpen(u"test.zip", nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(ZipReaderExtract(handle, 0, u"sub\\a.txt"), ZipOk);
  ZipHandleClose(handle);
  std::filesystem::create_directory(folder / "other");
  handle = ZipReaderOpen(u"test.zip", rootOf(folder / "other").c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(ZipReaderExtract(handle, 0, u"elsewhere.txt"), ZipOpenFailed);
  ZipHandleClose(handle);
  std::filesystem::current_path(previous);
  EXPECT_EQ(readFile(folder / "sub/a.txt"), "alpha");
  EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere.txt"));
}

TEST(Extraction, ExistingTargets) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile("short.txt", "new").addFile("locked.txt", "new").addFile("taken", "new");
  zip.writeTo(folder / "test.zip");
  writeFile(folder / "short.txt", "much longer old content");
  writeFile(folder / "locked.txt", "old");
  ::chmod((folder / "locked.txt").c_str(), 0444);
  std::filesystem::create_directory(folder / "taken");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.extractAs(0, "short.txt"), ZipOk);
  EXPECT_EQ(readFile(folder / "short.txt"), "new");
  EXPECT_EQ(reader.extractAs(1, "locked.txt"), ZipOpenFailed);
  EXPECT_EQ(readFile(folder / "locked.txt"), "old");
  EXPECT_EQ(reader.extractAs(2, "taken"), ZipOpenFailed);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));
  EXPECT_EQ(reader.extractAs(2, "pipe"), ZipOpenFailed) << "a pipe nobody reads";
  const int pipeReader = ::open((folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(pipeReader, 0);
  EXPECT_EQ(reader.extractAs(2, "pipe"), ZipOpenFailed) << "a pipe that is read";
  char got = 0;
  EXPECT_EQ(::read(pipeReader, &got, 1), 0) << "nothing went into the pipe, and no writer holds it";
  ::close(pipeReader);
  EXPECT_TRUE(std::filesystem::is_fifo(folder / "pipe"));
}

TEST(Extraction, NamesTheRecordsCannotHoldWholeAreNotWritten) {
  TempFolder folder;
  ZipBuilder zip;
  zip.addFile(std::string("evil\0.txt", 9), "hidden tail");
  zip.addFile(std::string(258, 'k'), "longest that fits");
  zip.writeTo(folder / "test.zip");
  Reader reader(folder / "test.zip", folder.path());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader.name(0), "evil");
  EXPECT_EQ(reader.extractAs(0, "evil"), ZipOpenFailed);
  EXPECT_FALSE(std::filesystem::exists(folder / "evil"));
  ZipEntryRecord record{};
  ASSERT_EQ(reader.get(1, record), ZipOk);
  EXPECT_EQ(testing_support::narrow(record.name), std::string(258, 'k'));
}

TEST(Extraction, ArchiveWithoutEntries) {
  TempFolder folder;
  std::string empty = ZipBuilder().comment("nothing here").build();
  writeFile(folder / "test.zip", "stub" + empty);
  TempFolder out;
  EXPECT_TRUE(extractLikeTheDriver(folder / "test.zip", out.path()).empty());
  EXPECT_TRUE(treeOf(out.path()).empty());
}

}  // namespace
}  // namespace zip_tests
