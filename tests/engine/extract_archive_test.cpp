#include "engine/extract_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/patch_archives.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The driver speaks Windows paths; the platform layer turns "\" into "/".
std::u16string folderArgument(const fs::path& folder) { return widen(folder.string()) + u"\\"; }

bool extract(const fs::path& archive, const fs::path& destination) {
  return extractArchive(widen(archive.string()).c_str(), folderArgument(destination).c_str());
}

class ExtractArchive : public ::testing::Test {
 protected:
  TempFolder temp;
  fs::path archive = temp / "patch.zip";
  fs::path out = temp / "out";
  void SetUp() override { fs::create_directory(out); }
};

}  // namespace

TEST_F(ExtractArchive, WritesEveryEntryBelowTheDestination) {
  makeZip(archive, {{"root.txt", "root"},
                    {"docs/", ""},
                    {"docs/readme.txt", "readme"},
                    {"bin/sub/deep.dll", "deep"},  // no directory entries for its folders
                    {"empty.txt", ""}});
  ASSERT_TRUE(extract(archive, out));
  EXPECT_EQ(snapshotTree(out), (TreeSnapshot{{"root.txt", "root"},
                                             {"docs", "<folder>"},
                                             {"docs/readme.txt", "readme"},
                                             {"bin", "<folder>"},
                                             {"bin/sub", "<folder>"},
                                             {"bin/sub/deep.dll", "deep"},
                                             {"empty.txt", ""}}));

  SCOPED_TRACE("a second archive replaces files of the same path and keeps the others");
  fs::path second = temp / "second.zip";
  makeZip(second, {{"docs/readme.txt", "newer"}}, "-0");
  ASSERT_TRUE(extract(second, out));
  EXPECT_EQ(readFile(out / "docs/readme.txt"), "newer");
  EXPECT_EQ(readFile(out / "root.txt"), "root");
}

TEST_F(ExtractArchive, LaterNameOfOtherCaseIsPassedOverExactTwinRepeatsTheFirst) {
  {
    SCOPED_TRACE("bin/CORE.dll after bin/core.dll");
    makeZip(archive, {{"bin/core.dll", "first"}, {"bin/CORE.dll", "second"}});
    ASSERT_TRUE(extract(archive, out));
    EXPECT_EQ(snapshotTree(out), (TreeSnapshot{{"bin", "<folder>"}, {"bin/core.dll", "first"}}));
  }
  {
    SCOPED_TRACE("two entries named twin.txt");
    fs::remove_all(out);
    fs::create_directory(out);
    fs::path twins = temp / "twins.zip";
    makeZip(twins, {{"twin.txt", "first twin"}, {"twix.txt", "later twin"}}, "-0");
    ASSERT_EQ(replaceBytes(twins, "twix.txt", "twin.txt"), 2);
    ASSERT_TRUE(extract(twins, out));
    EXPECT_EQ(snapshotTree(out), (TreeSnapshot{{"twin.txt", "first twin"}}));
  }
}

TEST_F(ExtractArchive, AnEntryThatDoesNotArriveFailsTheArchive) {
  const std::string content(3000, 'q');
  {
    SCOPED_TRACE("stored data that does not match its CRC");
    makeZip(archive, {{"good.txt", "good"}, {"bad.txt", "this data gets damaged"}}, "-0");
    ASSERT_EQ(replaceBytes(archive, "gets damaged", "got damaged!"), 1);
    EXPECT_FALSE(extract(archive, out));
  }
  {
    SCOPED_TRACE("data cut short");
    fs::path cut = temp / "cut.zip";
    makeZip(cut, {{"long.txt", content}, {"after.txt", "after"}});
    shortenFirstEntryData(cut, 4);
    EXPECT_FALSE(extract(cut, out));
  }
  {
    SCOPED_TRACE("a name the name rule refuses");
    fs::path hostile = temp / "hostile.zip";
    makeZip(hostile, {{"fine.txt", "fine"}, {"zz/escaped.txt", "escaped"}});
    ASSERT_EQ(replaceBytes(hostile, "zz/escaped", "../escaped"), 2);
    EXPECT_FALSE(extract(hostile, out));
    EXPECT_FALSE(fs::exists(temp / "escaped.txt"));
  }
}

TEST_F(ExtractArchive, EntriesNamedLikeTheUpdatersWorkFilesFailTheArchive) {
  const std::vector<std::pair<std::string, bool>> rows = {
      {"VelmiUpdate_Rename.exe", false},      {"SQLITE3_rename.DLL", false},      {"VelmiUpdate_Copy.tmp", false},
      {"sqlite3_Copy.tmp/inside.txt", false}, {"sqlite3_copy.TMP", false},        {"sub/sqlite3_Rename.dll", true},
      {"VelmiUpdate_Rename.exe.txt", true},   {"deep/er/.velmi-partial~", false}, {".VELMI-PARTIAL~/x", false}};
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].first);
    const fs::path zip = temp / ("work" + std::to_string(i) + ".zip");
    makeZip(zip, {{"fine.txt", "fine"}, {rows[i].first, "work"}});
    EXPECT_EQ(extract(zip, out), rows[i].second);
  }
}

TEST_F(ExtractArchive, NothingToOpenFails) {
  EXPECT_FALSE(extractArchive(u"", folderArgument(out).c_str()));
  EXPECT_FALSE(extractArchive(nullptr, folderArgument(out).c_str()));
  EXPECT_FALSE(extract(temp / "missing.zip", out));
  writeFile(temp / "part.zip.txt", "this is no archive, whatever its name says");
  EXPECT_FALSE(extract(temp / "part.zip.txt", out));
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ExtractArchive, PathsThatDoNotFitAreRefusedNotCut) {
  // The destination plus an entry name must fit 259 units; so must the archive path.
  fs::path deep = out;
  while (deep.string().size() < 230) deep /= "abcdefghij";
  fs::create_directories(deep);
  const std::string longName(40, 'n');
  makeZip(archive, {{"short.txt", "short"}, {longName + ".txt", "long"}});
  EXPECT_FALSE(extract(archive, deep));
  EXPECT_FALSE(fs::exists(deep / (longName.substr(0, 20))));

  fs::path longArchive = deep / (std::string(40, 'a') + ".zip");
  makeZip(longArchive, {{"short.txt", "short"}});
  EXPECT_FALSE(extract(longArchive, out));
  EXPECT_FALSE(fs::exists(out / "short.txt"));
}

TEST_F(ExtractArchive, LeavesFilesOfTheCurrentFolderAlone) {
  // The patch folder is the current folder while archives are extracted; an
  // entry named like a file there must not touch that file.
  fs::path patchFolder = temp / "patches";
  fs::create_directory(patchFolder);
  writeFile(patchFolder / "b_sp2.zip", "not yet applied");
  makeZip(archive, {{"b_sp2.zip", "an entry of that name"}});
  const fs::path previous = fs::current_path();
  fs::current_path(patchFolder);
  const bool extracted = extract(archive, out);
  fs::current_path(previous);
  EXPECT_TRUE(extracted);
  EXPECT_EQ(readFile(patchFolder / "b_sp2.zip"), "not yet applied");
  EXPECT_EQ(readFile(out / "b_sp2.zip"), "an entry of that name");
}
