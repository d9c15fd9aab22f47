// The index answers look-ups and jumps exactly as the plain walk does, and
// through the driver's call pattern every call finds its entry, duplicates and
// case twins going to the first of them.
#include <cstring>

#include "tests/zip/zip_test_support.h"
#include "zip/central_index.h"
#include "zip/entry_stepping.h"
#include "zip/name_lookup.h"
#include "zip/zip_directory.h"

namespace zip_tests {
namespace {

void expectSameCurrentEntry(const ZipDirectory* a, const ZipDirectory* b) {
  EXPECT_EQ(a->currentIndex, b->currentIndex);
  EXPECT_EQ(a->currentPosition, b->currentPosition);
  EXPECT_EQ(a->currentLocalHeaderOffset, b->currentLocalHeaderOffset);
  EXPECT_EQ(a->currentValid, b->currentValid);
  EXPECT_EQ(std::memcmp(&a->current, &b->current, sizeof a->current), 0);
}

// Two readers over one archive: one answers through the index, the other by walking.
void compareOn(const std::filesystem::path& archive, const std::vector<std::u16string>& names) {
  TempFolder root;
  Reader indexed(archive, root.path());
  Reader walked(archive, root.path());
  ASSERT_TRUE(indexed);
  ASSERT_TRUE(walked);
  ZipDirectory* a = indexed.reader()->directory;
  ZipDirectory* b = walked.reader()->directory;
  auto jump = [&](int32_t target) {
    EXPECT_EQ(MoveToCentralEntry(a, target) == DirOk, MoveToCentralEntryByStepping(b, target) == DirOk);
    expectSameCurrentEntry(a, b);
  };
  const int32_t count = static_cast<int32_t>(a->entryCount);
  // Start from different places: the first entry, the last, and one in the middle.
  for (int32_t start : {0, count - 1, count / 2}) {
    if (start < 0) continue;
    for (const std::u16string& name : names) {
      SCOPED_TRACE(testing_support::narrow(name) + " from " + std::to_string(start));
      jump(start);
      EXPECT_EQ(SeekCentralEntryByName(a, name.c_str(), 2), SeekCentralEntryByNameWalk(b, name.c_str(), 2));
      expectSameCurrentEntry(a, b);
    }
    for (int32_t target = count - 1; target >= 0; target -= 3) {
      SCOPED_TRACE("jump to " + std::to_string(target));
      jump(target);
    }
  }
  EXPECT_NE(CentralIndexOf(a), nullptr) << "the index was in use";
}

ZipBuilder sampleArchive() {
  ZipBuilder zip;
  zip.addFile("a", "1").addFile("B", "2").addFile("b", "3").addFolder("dir/").addFile("dir/c.txt", "4");
  zip.addFile("a", "dup").addFile("", "empty").addFile(std::string(300, 'L'), "long").addFile("z.txt", "z");
  return zip;
}

// Every name of the sample, as it stands and in upper case, and a few that are in none.
std::vector<std::u16string> sampleNames() {
  std::vector<std::u16string> names = {u"", u"missing", u"A", u"\u00e9"};
  ZipBuilder zip = sampleArchive();
  for (size_t i = 0; i < zip.entryCount(); ++i) {
    std::string name = zip.entry(i).name;
    names.push_back(testing_support::widen(name));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    names.push_back(testing_support::widen(name));
  }
  return names;
}

TEST(NameIndex, AgreesWithTheWalkOnSoundAndDamagedArchives) {
  struct Damage {
    const char* what;
    std::function<void(ZipBuilder&)> apply;
  };
  const std::vector<Damage> damages = {
      {"none", [](ZipBuilder&) {}},
      {"bad central signature in the middle", [](ZipBuilder& z) { z.entry(4).central.signature = 1; }},
      {"bad first central signature", [](ZipBuilder& z) { z.entry(0).central.signature = 1; }},
      {"name running past the end", [](ZipBuilder& z) { z.entry(8).central.nameLength = 60000; }},
      {"count smaller than the headers",
       [](ZipBuilder& z) { z.endRecord().entriesHere = z.endRecord().entriesTotal = 4; }},
      {"count of zero with headers behind",
       [](ZipBuilder& z) { z.endRecord().entriesHere = z.endRecord().entriesTotal = 0; }},
      {"extra length leading astray", [](ZipBuilder& z) { z.entry(2).central.extraLength = 7; }},
      {"local header damaged (no effect on the walk)", [](ZipBuilder& z) { z.entry(1).local.signature = 0; }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    TempFolder folder;
    ZipBuilder zip = sampleArchive();
    damage.apply(zip);
    zip.writeTo(folder / "archive.zip");
    compareOn(folder / "archive.zip", sampleNames());
  }
}

// Many entries, each looked up by its own name and extracted, in order.
TEST(DriverPattern, ThousandsOfEntriesInOrder) {
  TempFolder folder;
  ZipBuilder zip;
  const int kFolders = 20, kFiles = 3000;
  for (int f = 0; f < kFolders; ++f) zip.addFolder("d" + std::to_string(f) + "/");
  for (int i = 0; i < kFiles; ++i) {
    zip.addFile("d" + std::to_string(i % kFolders) + "/f" + std::to_string(i) + ".txt", "content " + std::to_string(i),
                i % 2 ? testing_support::kZipStored : testing_support::kZipDeflated);
  }
  zip.addFile("D0/F0.TXT", "case twin of an earlier entry");
  zip.writeTo(folder / "many.zip");
  const auto root = folder / "out";
  std::filesystem::create_directory(root);
  Reader reader(folder / "many.zip", root);
  ASSERT_TRUE(reader);
  const int32_t count = reader.count();
  ASSERT_EQ(count, kFolders + kFiles + 1);
  int twins = 0;
  for (int32_t i = 0; i < count; ++i) {
    ZipEntryRecord record{};
    ASSERT_EQ(reader.get(i, record), ZipOk);
    int32_t found = -1;
    ZipEntryRecord foundRecord{};
    ASSERT_EQ(ZipReaderFindEntry(reader.handle(), record.name, &found, &foundRecord), ZipOk);
    if (std::u16string(foundRecord.name) != record.name) {
      ++twins;
      continue;
    }
    ASSERT_EQ(found, i);
    ASSERT_EQ(reader.extractAs(found, testing_support::narrow(record.name)), ZipOk);
  }
  EXPECT_EQ(twins, 1);
  EXPECT_EQ(testing_support::readFile(root / "d7/f1247.txt"), "content 1247");
  EXPECT_EQ(testing_support::readFile(root / "d0/f0.txt"), "content 0");
  EXPECT_EQ(treeOf(root).size(), static_cast<size_t>(kFolders + kFiles));
}

}  // namespace
}  // namespace zip_tests
