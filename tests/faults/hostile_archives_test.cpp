// Damaged and hostile patch archives through real patch runs of the shipped
// updater: each run ends with the installation as it was (or, for the harmless
// ones, patched), and nothing is written outside the extraction folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "tests/faults/fault_sandbox.h"
#include "tests/support/sqlite_test_database.h"
#include "tests/support/zip_builder.h"

namespace fault_test {
namespace {

using testing_support::ZipBuilder;
using testing_support::ZipBuilderEntry;

const std::string kNewConfig = "config, patched";

// A raw deflate stream of that many zeros, made piece by piece: a whole buffer
// of them would stay in this process's memory, which a forked child counts.
std::string deflatedZeros(size_t size) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  static const std::string zeros(1 << 16, '\0');
  std::string out;
  char buffer[1 << 16];
  size_t left = size;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    const size_t piece = std::min(left, zeros.size());
    left -= piece;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(piece);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof buffer;
      result = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
      out.append(buffer, sizeof buffer - stream.avail_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  return out;
}

// The largest file a run writes on its own is the backup copy of the updater;
// a file larger than that by a megabyte can only come from an archive.
rlim_t fileSizeLimit() { return static_cast<rlim_t>(fs::file_size(VELMI_UPDATER_PATH)) + (1 << 20); }

class HostileArchive : public ::testing::Test {
 public:
  void SetUp() override {
    putFile(sandbox_.installFolder() / "sqlite3.dll", "sqlite library");
    putFile(sandbox_.installFolder() / "keep.txt", "never touched");
    putFile(sandbox_.installFolder() / "shared" / "config.ini", "config, old");
    testing_support::executeSql(sandbox_.database(),
                                "create table autoupdate(v_sversion text, v_sbakversion text);"
                                "insert into autoupdate values('2.0', '1.0');");
    installed_ = sandbox_.installation();
    outside_ = sandbox_.outside();
  }

  // An archive that changes one file, to which a case adds its hostile part.
  static ZipBuilder patchWith() {
    ZipBuilder zip;
    zip.addFile("shared/config.ini", kNewConfig);
    return zip;
  }

  fs::path archive() const {
    fs::create_directories(sandbox_.patchFolder());
    return sandbox_.patchFolder() / "update_sp1.zip";
  }

  RunResult run() const {
    const RunResult outcome = sandbox_.runPatch({}, fileSizeLimit());
    EXPECT_TRUE(outcome.exited) << "ended by signal " << outcome.signal;
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(sandbox_.outside(), outside_) << "written outside the updater's folders";
    // What stays of the client data folder after any run: the database alone.
    std::set<std::string> left;
    for (const auto& item : fs::directory_iterator(sandbox_.clientDataFolder())) {
      left.insert(item.path().filename().string());
    }
    EXPECT_EQ(left, std::set<std::string>{"usr000.db"});
    return outcome;
  }

  void expectUnchanged() const {
    EXPECT_EQ(testing_support::describeTreeDifference(installed_, sandbox_.installation()), "");
    EXPECT_EQ(versions(), "1.0,1.0");
  }

  void expectPatched() const {
    EXPECT_EQ(testing_support::readFile(sandbox_.installFolder() / "shared" / "config.ini"), kNewConfig);
    EXPECT_EQ(versions(), "2.0,2.0");
  }

  std::string versions() const {
    auto rows = testing_support::queryRows(sandbox_.database(), "select v_sversion, v_sbakversion from autoupdate");
    return rows.size() == 1 && rows[0][0] && rows[0][1] ? *rows[0][0] + "," + *rows[0][1] : "?";
  }

  FaultSandbox sandbox_{VELMI_UPDATER_PATH};
  TreeSnapshot installed_;
  TreeSnapshot outside_;
};

TEST_F(HostileArchive, DeflateBombWritesNoMoreThanItDeclaresInBoundedMemory) {
  // Peak memory of a run with a sound archive, for comparison.
  long soundPeakKb = 0;
  {
    FaultSandbox sound(VELMI_UPDATER_PATH);
    fs::create_directories(sound.patchFolder());
    patchWith().writeTo(sound.patchFolder() / "update_sp1.zip");
    const RunResult outcome = sound.runPatch();
    ASSERT_TRUE(outcome.exited && outcome.exitCode == 0);
    soundPeakKb = outcome.peakResidentKb;
  }
  // 128 MB of zeros, some 130 KB deflated, under a header that declares 4 KB.
  constexpr size_t kDeclared = 4096;
  ZipBuilderEntry bomb;
  bomb.name = "bomb.bin";
  bomb.content = std::string(kDeclared, '\0');
  bomb.storedData = deflatedZeros(128u << 20);
  ZipBuilder zip = patchWith();
  zip.add(bomb);
  zip.writeTo(archive());

  const RunResult outcome = run();
  // The reader's buffers are fixed; an inflated stream held in memory would show here.
  EXPECT_LT(outcome.peakResidentKb, soundPeakKb + 16 * 1024) << "sound run " << soundPeakKb << " kB";
  std::printf("peak memory: %ld kB with the bomb, %ld kB with a sound archive\n", outcome.peakResidentKb, soundPeakKb);
  const fs::path landed = sandbox_.installFolder() / "bomb.bin";
  if (fs::exists(landed)) {
    EXPECT_LE(fs::file_size(landed), kDeclared);
    expectPatched();
  } else {
    expectUnchanged();
  }
}

// A hundred central entries, each declaring 256 KB, all pointing at the first
// local entry: under names of their own, or all under that entry's name.
void overlappingEntries(HostileArchive& test, bool sameName) {
  const std::string zeros(256u << 10, '\0');
  {
    ZipBuilder zip = HostileArchive::patchWith();
    const size_t first = zip.entryCount();
    for (int i = 0; i < 100; ++i) {
      zip.addFile(sameName ? "overlap.bin" : "overlap" + std::to_string(100 + i) + ".bin", zeros);
      zip.entry(zip.entryCount() - 1).central.localHeaderOffset = 0;
    }
    // The first of them keeps its own local entry, the one the others point at.
    zip.entry(first).central.localHeaderOffset.reset();
    testing_support::ZipLayout layout;
    std::string bytes = zip.build(&layout);
    for (size_t i = first + 1; i < zip.entryCount(); ++i) {
      testing_support::patchLE32(bytes, layout.centralHeaders[i] + 42,
                                 static_cast<uint32_t>(layout.localHeaders[first]));
    }
    testing_support::writeFile(test.archive(), bytes);

    test.run();
    uintmax_t added = 0;
    for (const auto& item : fs::recursive_directory_iterator(test.sandbox_.installFolder())) {
      if (item.is_regular_file() && item.path().filename().string().rfind("overlap", 0) == 0) added += item.file_size();
    }
    EXPECT_LE(added, 100 * zeros.size());
    std::printf("overlapping entries (%s) added %ju bytes\n", sameName ? "one name" : "a name each", added);
    if (sameName) {
      EXPECT_EQ(added, zeros.size());
      test.expectPatched();
    } else if (added == 0) {
      test.expectUnchanged();
    }
  }
}

TEST_F(HostileArchive, OverlappingEntriesUseNoMoreDiskThanTheyDeclare) { overlappingEntries(*this, false); }

TEST_F(HostileArchive, OverlappingEntriesUnderOneNameMakeOneFile) { overlappingEntries(*this, true); }

TEST_F(HostileArchive, NamesThatWouldLeaveTheFolderThatWindowsRefusesOrThatTheUpdaterUsesChangeNothing) {
  const std::string outsideTarget = (sandbox_.root() / "absolute.txt").string();
  std::vector<std::string> names = {"../escaped.txt",
                                    "../../../escaped.txt",
                                    "shared/../../escaped.txt",
                                    "..\\escaped.txt",
                                    "C:/escaped.txt",
                                    "C:escaped.txt",
                                    "c:\\escaped.txt",
                                    "shared/*.ini",
                                    "what?.txt",
                                    "tab\tname.txt",
                                    "NUL",
                                    "shared/aux.ini",
                                    "shared/config.ini.",
                                    "shared/config.ini ",
                                    "sqlite3_Rename.dll",
                                    "VELMIUPDATE_RENAME.EXE",
                                    "sqlite3_Copy.tmp",
                                    "VelmiUpdate_Copy.tmp/x",
                                    "VELMIU~1.EXE",
                                    "SHARED~1/config.ini"};
  names.push_back(outsideTarget);
  names.push_back(std::string(300, 'n'));
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size() > 40 ? name.substr(0, 20) + "... (" + std::to_string(name.size()) + ")" : name);
    ZipBuilder zip = patchWith();
    zip.addFile(name, "hostile");
    zip.writeTo(archive());
    run();
    expectUnchanged();
    testing_support::executeSql(sandbox_.database(), "update autoupdate set v_sversion='2.0', v_sbakversion='1.0'");
  }
}

TEST_F(HostileArchive, NamesDifferingOnlyInCaseApplyTheFirst) {
  ZipBuilder zip = patchWith();
  zip.addFile("shared/Notes.txt", "first twin").addFile("SHARED/NOTES.TXT", "second twin");
  zip.writeTo(archive());
  run();
  expectPatched();
  EXPECT_EQ(testing_support::readFile(sandbox_.installFolder() / "shared" / "Notes.txt"), "first twin");
  EXPECT_FALSE(fs::exists(sandbox_.installFolder() / "SHARED"));
}

TEST_F(HostileArchive, DamagedArchivesChangeNothing) {
  ZipBuilder zip = patchWith();
  zip.addFile("data.bin", std::string(20000, 'd') + "end");
  testing_support::ZipLayout layout;
  const std::string sound = zip.build(&layout);
  struct Damage {
    const char* what;
    std::string bytes;
  };
  std::string flipped = sound;
  flipped[layout.entryData[1] + 5] = static_cast<char>(flipped[layout.entryData[1] + 5] ^ 0x40);
  for (const Damage& damage : {Damage{"truncated", sound.substr(0, sound.size() / 2)},
                               Damage{"cut before the end record", sound.substr(0, layout.endRecord)},
                               Damage{"flipped byte in the data", flipped}}) {
    SCOPED_TRACE(damage.what);
    testing_support::writeFile(archive(), damage.bytes);
    run();
    expectUnchanged();
    testing_support::executeSql(sandbox_.database(), "update autoupdate set v_sversion='2.0', v_sbakversion='1.0'");
  }
  {
    SCOPED_TRACE("a folder entry where the archive before left a file");
    patchWith().addFile("extra", "a file").writeTo(archive());
    ZipBuilder().addFolder("extra/").writeTo(sandbox_.patchFolder() / "update_sp2.zip");
    run();
    expectUnchanged();
    testing_support::executeSql(sandbox_.database(), "update autoupdate set v_sversion='2.0', v_sbakversion='1.0'");
  }
  {
    SCOPED_TRACE("a pipe named like an archive, its writer open and silent");
    fs::create_directories(sandbox_.patchFolder());
    const fs::path pipe = sandbox_.patchFolder() / "update_sp1.zip";
    fs::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int writer = open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    run();
    close(writer);
    expectUnchanged();
  }
}

}  // namespace
}  // namespace fault_test
