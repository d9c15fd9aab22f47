// The index answers look-ups and jumps exactly as the plain walk does.
#include <cstring>

#include "tests/zip/zip_test_support.h"
#include "zip/central_index.h"
#include "zip/entry_stepping.h"
#include "zip/name_lookup.h"
#include "zip/zip_directory.h"

namespace zip_tests {
namespace {

struct Position {
  int32_t index;
  uint32_t position;
  uint32_t localHeaderOffset;
  int32_t valid;
  CentralEntryInfo info;
};

Position where(const ZipDirectory* d) {
  return {d->currentIndex, d->currentPosition, d->currentLocalHeaderOffset, d->currentValid, d->current};
}

void expectSame(const Position& a, const Position& b) {
  EXPECT_EQ(a.index, b.index);
  EXPECT_EQ(a.position, b.position);
  EXPECT_EQ(a.localHeaderOffset, b.localHeaderOffset);
  EXPECT_EQ(a.valid, b.valid);
  EXPECT_EQ(std::memcmp(&a.info, &b.info, sizeof a.info), 0);
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
  const int32_t count = static_cast<int32_t>(a->entryCount);
  // Start from different places: the first entry, the last, and one in the middle.
  for (int32_t start : {0, count - 1, count / 2}) {
    if (start < 0) continue;
    for (const std::u16string& name : names) {
      SCOPED_TRACE(testing_support::narrow(name) + " from " + std::to_string(start));
      DirResult ra = MoveToCentralEntry(a, start);
      DirResult rb = MoveToCentralEntryByStepping(b, start);
      EXPECT_EQ(ra == DirOk, rb == DirOk);
      expectSame(where(a), where(b));
      EXPECT_EQ(SeekCentralEntryByName(a, name.c_str(), 2), SeekCentralEntryByNameWalk(b, name.c_str(), 2));
      expectSame(where(a), where(b));
    }
    for (int32_t target = count - 1; target >= 0; target -= 3) {
      SCOPED_TRACE("jump to " + std::to_string(target));
      DirResult ra = MoveToCentralEntry(a, target);
      DirResult rb = MoveToCentralEntryByStepping(b, target);
      EXPECT_EQ(ra == DirOk, rb == DirOk);
      expectSame(where(a), where(b));
    }
  }
  EXPECT_NE(CentralIndexOf(a), nullptr) << "the index was in use";
}

std::vector<std::u16string> namesOf(const ZipBuilder& zip) {
  std::vector<std::u16string> names = {u"", u"missing", u"A", u"\u00e9"};
  for (size_t i = 0; i < zip.entryCount(); ++i) {
    const std::string& name = const_cast<ZipBuilder&>(zip).entry(i).name;
    names.push_back(testing_support::widen(name));
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    names.push_back(testing_support::widen(upper));
  }
  return names;
}

ZipBuilder sampleArchive() {
  ZipBuilder zip;
  zip.addFile("a", "1").addFile("B", "2").addFile("b", "3").addFolder("dir/").addFile("dir/c.txt", "4");
  zip.addFile("a", "dup").addFile("", "empty").addFile(std::string(300, 'L'), "long").addFile("z.txt", "z");
  return zip;
}

TEST(NameIndex, AgreesWithTheWalkOnSoundArchives) {
  TempFolder folder;
  ZipBuilder zip = sampleArchive();
  zip.writeTo(folder / "sound.zip");
  compareOn(folder / "sound.zip", namesOf(zip));
}

TEST(NameIndex, AgreesWithTheWalkOnDamagedArchives) {
  struct Damage {
    const char* what;
    std::function<void(ZipBuilder&)> apply;
  };
  const std::vector<Damage> damages = {
      {"bad central signature in the middle", [](ZipBuilder& z) { z.entry(4).central.signature = 1; }},
      {"bad first central signature", [](ZipBuilder& z) { z.entry(0).central.signature = 1; }},
      {"name running past the end",
       [](ZipBuilder& z) {
         z.entry(8).central.nameLength = 60000;
       }},
      {"count smaller than the headers", [](ZipBuilder& z) { z.endRecord().entriesHere = z.endRecord().entriesTotal = 4; }},
      {"count of zero with headers behind", [](ZipBuilder& z) { z.endRecord().entriesHere = z.endRecord().entriesTotal = 0; }},
      {"extra length leading astray", [](ZipBuilder& z) { z.entry(2).central.extraLength = 7; }},
      {"local header damaged (no effect on the walk)", [](ZipBuilder& z) { z.entry(1).local.signature = 0; }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    TempFolder folder;
    ZipBuilder zip = sampleArchive();
    damage.apply(zip);
    std::string bytes = zip.build();
    testing_support::writeFile(folder / "damaged.zip", bytes);
    compareOn(folder / "damaged.zip", namesOf(sampleArchive()));
  }
}

}  // namespace
}  // namespace zip_tests
