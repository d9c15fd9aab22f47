// The folder listing: NTFS order, dot entries, attributes and patterns.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::vector<platform::FolderEntry> list(const std::u16string& pattern) {
  platform::FolderListing listing(pattern.c_str());
  std::vector<platform::FolderEntry> entries;
  platform::FolderEntry entry;
  while (listing.next(entry)) entries.push_back(entry);
  return entries;
}

std::vector<std::string> namesOf(const std::vector<platform::FolderEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(narrow(entry.name));
  return names;
}

}  // namespace

TEST(FolderListing, ComesInTheOrderOfUpperCasedNamesWithTheDotEntriesFirst) {
  TempFolder temp;
  // A name holding "\\" is never listed.
  for (const char* name :
       {"b.txt", "A.txt", "_under", "a1", ".hidden", "Zeta", "-dash", "sub", "back\\slash", "\xc3\x8b", "\xc3\xa9"}) {
    if (std::string(name) == "sub") {
      fs::create_directory(temp / name);
    } else {
      writeFile(temp / name, name);
    }
  }
  auto entries = list(widen(temp.path().string()) + u"\\*.*");
  // '_' (0x5F) sorts after the upper-cased letters, as NTFS sorts it; so does
  // \u00e9 (upper-cased \u00c9) before \u00cb.
  EXPECT_EQ(namesOf(entries), (std::vector<std::string>{".", "..", "-dash", ".hidden", "A.txt", "a1", "b.txt", "sub",
                                                        "Zeta", "_under", "\xc3\xa9", "\xc3\x8b"}));
  for (const auto& entry : entries) {
    SCOPED_TRACE(narrow(entry.name));
    bool folder = entry.name == u"." || entry.name == u".." || entry.name == u"sub";
    EXPECT_EQ(entry.attributes, folder ? platform::kAttributeDirectory : platform::kAttributeNormal);
  }
}

TEST(FolderListing, MarksFilesWithoutOwnerWriteAsReadOnly) {
  TempFolder temp;
  writeFile(temp / "locked", "x");
  chmod((temp / "locked").c_str(), 0444);
  auto entries = list(widen((temp / "locked").string()));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].attributes, platform::kAttributeNormal | platform::kAttributeReadOnly);
}

TEST(FolderListing, PatternsAndFoldersThatCannotBeListed) {
  TempFolder temp;
  writeFile(temp / "one.ZIP", "x");
  writeFile(temp / "two.txt", "x");
  EXPECT_EQ(namesOf(list(widen(temp.path().string()) + u"/*.zip")), std::vector<std::string>{"one.ZIP"});
  EXPECT_EQ(namesOf(list(widen(temp.path().string()) + u"/t?o.*")), std::vector<std::string>{"two.txt"});

  platform::FolderListing missing((widen((temp / "missing").string()) + u"\\*.*").c_str());
  EXPECT_FALSE(missing.valid());
  platform::FolderListing nothingMatches((widen(temp.path().string()) + u"\\*.dll").c_str());
  EXPECT_FALSE(nothingMatches.valid());
}

TEST(FolderListing, RelativePatternListsTheCurrentFolder) {
  TempFolder temp;
  writeFile(temp / "here", "x");
  ASSERT_TRUE(platform::setCurrentFolder(widen(temp.path().string()).c_str()));
  EXPECT_EQ(namesOf(list(u"*.*")), (std::vector<std::string>{".", "..", "here"}));
}
