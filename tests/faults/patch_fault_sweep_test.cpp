// A whole patch of an installation of a few hundred files, run once clean to
// count its file operations, then once for every operation k with k made to
// fail. After each run the installation is as it was or wholly patched, the
// version table tells the same, nothing outside the updater's folders changed,
// and a clean run afterwards applies the patch. Then once for every k with the
// process killed there: the next ordinary run leaves a whole installation.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/faults/fault_sandbox.h"
#include "tests/support/full_install_support.h"
#include "tests/support/sqlite_test_database.h"
#include "tests/support/zip_builder.h"

namespace fault_test {
namespace {

using testing_support::readFile;

// Thousands of short runs: their folders live in memory when the system has room there.
const bool kTemporaryFoldersInMemory = [] {
  struct statvfs memory {};
  const bool roomy = statvfs("/dev/shm", &memory) == 0 && memory.f_bavail * memory.f_frsize > (1ULL << 30);
  return roomy && std::getenv("TMPDIR") == nullptr && setenv("TMPDIR", "/dev/shm", 0) == 0;
}();

// A sanitized updater takes a fifth of a second just to start, and a run
// under the sanitizers near a second: such builds sweep every fourth fault
// point, with a full disk only, and follow every sixteenth with a clean run;
// and they kill at every sixteenth point. The ordinary build sweeps every point.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr char kExe[] = "VelmiUpdate";
constexpr char kParkedExe[] = "VelmiUpdate_Rename.exe";
constexpr char kLibrary[] = "sqlite3.dll";
constexpr char kParkedLibrary[] = "sqlite3_Rename.dll";

// Deterministic filler, different for every seed.
std::string filler(size_t size, unsigned seed) {
  std::string text(size, '\0');
  unsigned value = seed * 2654435761u + 1;
  for (char& c : text) {
    value = value * 1103515245u + 12345u;
    c = static_cast<char>('a' + (value >> 16) % 26);
  }
  return text;
}

testing_support::ZipBuilderEntry unixFile(const std::string& name, const std::string& content) {
  testing_support::ZipBuilderEntry entry;
  entry.name = name;
  entry.content = content;
  entry.versionMadeBy = 0x031E;
  entry.externalAttributes = 0x81A40000u;  // a writable regular file
  return entry;
}

// The installation, the patch archives and what the installation holds before
// and after the whole patch, made once per test process.
struct PatchCase {
  testing_support::TempFolder store;
  fs::path templateInstall = store / "install";  // everything but the executable
  fs::path archives = store / "archives";
  fs::path countFile = store / "count.txt";
  TreeSnapshot before;
  TreeSnapshot patched;

  PatchCase() {
    std::map<std::string, std::string> files;
    files[kLibrary] = "sqlite library 1.0";
    for (int i = 0; i < 20; ++i) files["readme-" + std::to_string(i) + ".txt"] = "readme " + std::to_string(i);
    for (int m = 0; m < 10; ++m) {
      for (int f = 0; f < 28; ++f) {
        files["module" + std::to_string(m) + "/file" + std::to_string(f) + ".dat"] =
            "module " + std::to_string(m) + " file " + std::to_string(f) + " version 1\n" + filler(200, m * 100 + f);
      }
    }
    files["module0/nested/deep.cfg"] = "deep = 1";
    for (int b = 0; b < 3; ++b) files["data/big" + std::to_string(b) + ".bin"] = filler(200000, 9000 + b);

    for (const auto& [name, content] : files) putFile(templateInstall / name, content);
    before = files;
    for (const char* folder : {"data", "module0/nested"}) before[folder] = "<folder>";
    for (int m = 0; m < 10; ++m) before["module" + std::to_string(m)] = "<folder>";
    const std::string exe = readFile(VELMI_FAULTS_UPDATER_PATH);
    before[kExe] = exe;

    // The first archive changes and adds files, the updater and the library
    // among them; the second changes more and replaces one file of the first.
    std::map<std::string, std::string> first;
    for (int m = 0; m < 5; ++m) {
      for (int f = 0; f < 8; ++f) {
        first["module" + std::to_string(m) + "/file" + std::to_string(f) + ".dat"] =
            "module " + std::to_string(m) + " file " + std::to_string(f) + " version 2\n";
      }
    }
    first["data/big0.bin"] = filler(150000, 777);
    for (int p = 0; p < 10; ++p) first["plugins/plugin" + std::to_string(p) + ".dll"] = "plugin " + std::to_string(p);
    first["module1/added.txt"] = "added by the patch";
    first[kLibrary] = "sqlite library 2.0";
    first[kExe] = exe + "\n-- patched build --\n";
    std::map<std::string, std::string> second;
    for (int i = 0; i < 5; ++i) second["readme-" + std::to_string(i) + ".txt"] = "readme " + std::to_string(i) + " v2";
    second["module0/file0.dat"] = "module 0 file 0 version 3\n";
    second["plugins/extra/more.txt"] = "more";

    fs::create_directories(archives);
    testing_support::ZipBuilder firstZip;
    firstZip.addFolder("plugins/");
    for (const auto& [name, content] : first) firstZip.add(unixFile(name, content));
    firstZip.writeTo(archives / "update_sp1.zip");
    testing_support::ZipBuilder secondZip;
    for (const auto& [name, content] : second) secondZip.add(unixFile(name, content));
    secondZip.writeTo(archives / "update_sp2.zip");

    patched = before;
    for (const auto* archive : {&first, &second}) {
      for (const auto& [name, content] : *archive) patched[name] = content;
    }
    for (const char* folder : {"plugins", "plugins/extra"}) patched[folder] = "<folder>";
  }
};

const PatchCase& patchCase() {
  static const PatchCase made;
  return made;
}

// A fresh installation with the patch downloaded and the version table at
// current 2.0, backup 1.0.
void prepare(const FaultSandbox& sandbox) {
  const PatchCase& patch = patchCase();
  fs::copy(patch.templateInstall, sandbox.installFolder(), fs::copy_options::recursive);
  fs::copy(patch.archives, sandbox.patchFolder(), fs::copy_options::recursive);
  testing_support::executeSql(sandbox.database(),
                              "create table autoupdate(v_sversion text, v_sbakversion text);"
                              "insert into autoupdate values('2.0', '1.0');");
}

// What an earlier run leaves when deleting its work folders failed half-way:
// files of another extraction, and a backup of another installation.
void leaveWorkFoldersOfAnEarlierRun(const FaultSandbox& sandbox) {
  putFile(sandbox.extractFolder() / "stale-only.txt", "from an earlier extraction");
  putFile(sandbox.extractFolder() / "module0" / "file9.dat", "from an earlier extraction");
  putFile(sandbox.clientDataFolder() / "baksrcfile" / "readme-7.txt", "from an earlier backup");
}

// Puts the archives back as the client would download them again.
void downloadAgain(const FaultSandbox& sandbox) {
  fs::remove_all(sandbox.patchFolder());
  fs::copy(patchCase().archives, sandbox.patchFolder(), fs::copy_options::recursive);
}

std::string versions(const FaultSandbox& sandbox) {
  auto rows = testing_support::queryRows(sandbox.database(), "select v_sversion, v_sbakversion from autoupdate");
  std::string text;
  for (const auto& row : rows) {
    for (const auto& value : row) text += (value ? *value : std::string("NULL")) + ",";
  }
  return text;
}

std::string endOf(const RunResult& outcome) {
  if (!outcome.exited) return "ended by signal " + std::to_string(outcome.signal) + "; ";
  if (outcome.exitCode != 0) return "exit code " + std::to_string(outcome.exitCode) + "; ";
  return "";
}

enum class InstallState { Unchanged, Patched, Broken };

// Classifies an installation and says what is wrong with it, if anything.
InstallState judge(TreeSnapshot after, std::string& problems) {
  const PatchCase& patch = patchCase();
  for (const auto& [parked, normal] : {std::pair{kParkedExe, kExe}, std::pair{kParkedLibrary, kLibrary}}) {
    auto found = after.find(parked);
    if (found == after.end()) continue;
    // Parked is fine only beside the file under its own name, which the next run checks for.
    if (after.count(normal) == 0) problems += std::string(parked) + " without " + normal + "; ";
    if (found->second != patch.before.at(normal) && found->second != patch.patched.at(normal)) {
      problems += std::string(parked) + " holds neither version; ";
    }
    after.erase(found);
  }
  if (after == patch.patched) return InstallState::Patched;
  // As before, apart from files that only the patch has, with the patch's content.
  bool unchanged = true;
  for (const auto& [name, content] : patch.before) {
    auto found = after.find(name);
    if (found == after.end() || found->second != content) unchanged = false;
  }
  for (const auto& [name, content] : after) {
    if (patch.before.count(name) == 0 && (patch.patched.count(name) == 0 || patch.patched.at(name) != content)) {
      unchanged = false;
    }
  }
  if (unchanged) return InstallState::Unchanged;
  const std::string againstBefore = testing_support::describeTreeDifference(patch.before, after);
  problems += "half-written installation: " + againstBefore.substr(0, 300) + "; ";
  return InstallState::Broken;
}

std::string disagreement(InstallState state, const std::string& recorded) {
  if (state == InstallState::Patched && recorded != "2.0,2.0,") return "patched but recorded " + recorded + "; ";
  if (state == InstallState::Unchanged && recorded != "1.0,1.0,") return "unchanged but recorded " + recorded + "; ";
  return "";
}

// Right after a kill: both in-use files stand under their own names, and
// without the restore marker the installation is whole, apart from what the
// next run clears away (parked files and the copies made for parking).
std::string afterAKill(const FaultSandbox& sandbox, const RunResult& outcome) {
  std::string problems = outcome.signal == SIGKILL ? "" : "not ended at the kill point; " + endOf(outcome);
  for (const char* name : {kExe, kLibrary}) {
    if (!fs::exists(sandbox.installFolder() / name)) problems += std::string(name) + " missing after the kill; ";
  }
  // Part of a patch must never be left to be applied alone.
  if (fs::exists(sandbox.patchFolder()) &&
      testing_support::snapshotTree(sandbox.patchFolder()) != testing_support::snapshotTree(patchCase().archives)) {
    problems += "part of the patch folder left; ";
  }
  if (fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore")) return problems;
  TreeSnapshot installed = sandbox.installation();
  for (auto it = installed.begin(); it != installed.end();) {
    const std::string name = fs::path(it->first).filename().string();
    const bool leftover = name == "VelmiUpdate_Copy.tmp" || name == "sqlite3_Copy.tmp";
    it = leftover ? installed.erase(it) : std::next(it);
  }
  judge(installed, problems);
  return problems;
}

// A second installation of the client, with a newer file of its own, shares
// the client data folder and runs its updater before the killed one runs again.
// While the killed run's marker stands, it must leave everything alone.
std::string anotherInstallationRuns(const FaultSandbox& sandbox) {
  testing_support::UpdaterSandbox other(kExe, VELMI_FAULTS_UPDATER_PATH);
  fs::copy(patchCase().templateInstall, other.installFolder(), fs::copy_options::recursive);
  putFile(other.installFolder() / "readme-0.txt", "the other installation's newer readme");
  const TreeSnapshot before = testing_support::snapshotTree(other.installFolder());
  const fs::path marker = sandbox.clientDataFolder() / "baksrcfile.restore";
  // A run killed while removing its marker may leave the one byte that takes its place: no marker, and any run's to
  // remove.
  const bool marked = fs::exists(marker) && fs::file_size(marker) > 1;
  fs::remove_all(sandbox.patchFolder());
  ChildOptions run = other.runOf({"N"});
  run.environment = {"XDG_CONFIG_HOME=" + sandbox.roamingFolder().string()};
  const RunResult outcome = testing_support::runProgram(run);
  std::string problems = endOf(outcome);
  const TreeSnapshot after = testing_support::snapshotTree(other.installFolder());
  if (marked && (after != before || !fs::exists(marker))) {
    problems += "the other installation's run acted on the marker: " +
                testing_support::describeTreeDifference(before, after).substr(0, 200) + "; ";
  }
  return problems;
}

// One run with operation k failing (or the process killed there), then (when
// asked) an ordinary run; "" when all is well. After a failure the second run
// gets the archives again and must apply them. After a kill it finds what the
// killed run left, and for every other k the client has taken the archives
// away: it must leave the installation whole either way. With "kill-shared",
// another installation's run comes between the two.
std::string faultedRun(long k, const std::string& error, bool thenClean, bool withLeftovers = false) {
  FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
  prepare(sandbox);
  if (withLeftovers) leaveWorkFoldersOfAnEarlierRun(sandbox);
  const TreeSnapshot outsideBefore = sandbox.outside();
  const bool shared = error == "kill-shared";
  const bool killed = error == "kill" || shared;
  std::string problems;

  RunResult outcome = sandbox.runPatch(
      {"VELMI_FAULT_AT=" + std::to_string(k), "VELMI_FAULT_ERROR=" + std::string(killed ? "kill" : error)});
  if (std::getenv("VELMI_SWEEP_ONLY") != nullptr) {
    std::printf("after the faulted run:\n%s",
                testing_support::describeTreeDifference(patchCase().before, sandbox.installation()).c_str());
  }
  if (killed) {
    problems += afterAKill(sandbox, outcome);
  } else {
    problems += endOf(outcome);
    const InstallState state = judge(sandbox.installation(), problems);
    problems += disagreement(state, versions(sandbox));
  }
  if (sandbox.outside() != outsideBefore) problems += "changed outside its folders; ";
  if (!thenClean) return problems;
  if (shared) problems += anotherInstallationRuns(sandbox);

  if (!killed) downloadAgain(sandbox);
  if (killed && k % 2 == 0) fs::remove_all(sandbox.patchFolder());
  // A patched executable comes out of the archive without the execute bit that Windows does not have.
  if (fs::exists(sandbox.installFolder() / kExe)) {
    fs::permissions(sandbox.installFolder() / kExe, fs::perms::owner_exec, fs::perm_options::add);
  }
  outcome = sandbox.runPatch();
  std::string secondProblems = endOf(outcome);
  const InstallState state = judge(sandbox.installation(), secondProblems);
  const std::string second = versions(sandbox);
  if (killed) {
    // The other installation's run records its own outcome in the shared table.
    if (!shared) secondProblems += disagreement(state, second);
  } else {
    if (state != InstallState::Patched) secondProblems += "patch not applied; ";
    const std::string current = second.substr(0, second.find(','));
    if (second.empty() || current + "," + current + "," != second) {
      secondProblems += "second run recorded " + second + "; ";
    }
  }
  if (sandbox.outside() != outsideBefore) secondProblems += "second run changed outside its folders; ";
  if (!secondProblems.empty()) problems += "then: " + secondProblems;
  return problems;
}

long cleanRunOperationCount() {
  static const long count = [] {
    FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
    prepare(sandbox);
    const fs::path countFile = patchCase().countFile;
    fs::remove(countFile);
    const RunResult outcome = sandbox.runPatch({"VELMI_FAULT_COUNT_FILE=" + countFile.string()});
    if (!outcome.exited || outcome.exitCode != 0 || !fs::exists(countFile)) return -1L;
    return std::stol(readFile(countFile));
  }();
  return count;
}

TEST(PatchFaults, CleanRunAppliesThePatchAndCountsItsOperations) {
  FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
  prepare(sandbox);
  const TreeSnapshot outsideBefore = sandbox.outside();
  const RunResult outcome = sandbox.runPatch();
  ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
  EXPECT_EQ(outcome.exitCode, 0);
  std::string problems;
  EXPECT_EQ(judge(sandbox.installation(), problems), InstallState::Patched) << problems;
  EXPECT_TRUE(fs::exists(sandbox.installFolder() / kParkedExe));
  EXPECT_EQ(versions(sandbox), "2.0,2.0,");
  EXPECT_EQ(sandbox.outside(), outsideBefore);
  // A copy of some 300 files into the backup, an extraction and a copy back, three folders deleted.
  const long count = cleanRunOperationCount();
  EXPECT_GT(count, 900);
  std::printf("file operations of a clean patch run: %ld\n", count);
}

// The first operations of a run delete what an earlier run left of its work
// folders. When one of them fails, those files must not reach the installation.
TEST(PatchFaults, LeftoversOfAnEarlierRunNeverReachTheInstallation) {
  ASSERT_GT(cleanRunOperationCount(), 0);
  // Two files and a folder of the backup, three files and two folders of the
  // extraction, then the new extraction folder and the first copies.
  for (long k = 1; k <= 12; ++k) {
    SCOPED_TRACE("k=" + std::to_string(k));
    EXPECT_EQ(faultedRun(k, "eacces", true, true), "");
  }
}

// A client data folder of 240 units fits the run's own paths, but the
// extraction folder then does not fit the extraction driver's: the run ends
// in its first step, before any backup, parking or deletion of work folders.
TEST(PatchFaults, AnExtractionFolderTooLongForTheDriverEndsTheRunFirst) {
  FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
  fs::copy(patchCase().templateInstall, sandbox.installFolder(), fs::copy_options::recursive);
  fs::path roaming = sandbox.roamingFolder();
  while (roaming.string().size() < 240 - 60) roaming /= std::string(50, 'r');
  roaming /= std::string(240 - roaming.string().size() - 1, 'r');
  const fs::path clientData = roaming / "quillet" / "WindowsClient";
  fs::create_directories(clientData);
  fs::copy(patchCase().archives, clientData / "downsmallversion", fs::copy_options::recursive);
  const fs::path countFile = sandbox.root() / "count.txt";
  const TreeSnapshot before = sandbox.installation();

  ChildOptions run = sandbox.patchRun({"VELMI_FAULT_COUNT_FILE=" + countFile.string()});
  run.environment.push_back("XDG_CONFIG_HOME=" + roaming.string());
  const RunResult outcome = testing_support::runProgram(run);
  EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << endOf(outcome);
  EXPECT_EQ(sandbox.installation(), before);
  // Left to count: the deletion of the patch folder at the end.
  ASSERT_TRUE(fs::exists(countFile));
  EXPECT_LE(std::stol(readFile(countFile)), 4);
}

// A run that does not get the lock does nothing: started while the first is
// stopped a quarter into its operations, in its backup (the first then makes
// one whole run), or unable to open the client data folder to lock it (run as
// a user who may write there but not read it; the next run applies the patch).
// Links planted while the first is stopped, where it is about to create its
// marker and its copies of the files in use, are replaced, never written through.
TEST(PatchFaults, ARunThatCannotTakeTheLockDoesNothing) {
  const long count = cleanRunOperationCount();
  ASSERT_GT(count, 0);
  constexpr uid_t kNobody = 65534;
  for (const bool busy : {true, false}) {
    SCOPED_TRACE(busy ? "another run is busy" : "the client data folder cannot be opened");
    FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
    prepare(sandbox);
    std::unique_ptr<testing_support::ChildProcess> first;
    ChildOptions second = sandbox.patchRun();
    if (busy) {
      first = std::make_unique<testing_support::ChildProcess>(
          sandbox.patchRun({"VELMI_FAULT_AT=" + std::to_string(count / 4), "VELMI_FAULT_ERROR=stop"}));
      ASSERT_TRUE(first->waitForStop());
    } else if (geteuid() == 0) {
      // Root reads any folder: the run is nobody's, in a sandbox of nobody's.
      for (const auto& entry : fs::recursive_directory_iterator(sandbox.root())) {
        ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
      }
      ASSERT_EQ(chown(sandbox.root().c_str(), kNobody, kNobody), 0);
      second.user = kNobody;
    }
    const TreeSnapshot whileBusy = testing_support::snapshotTree(sandbox.root());

    if (!busy) fs::permissions(sandbox.clientDataFolder(), fs::perms(0300));
    const RunResult outcome = testing_support::runProgram(second);
    if (!busy) fs::permissions(sandbox.clientDataFolder(), fs::perms(0755));
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << endOf(outcome);
    EXPECT_EQ(testing_support::describeTreeDifference(whileBusy, testing_support::snapshotTree(sandbox.root())), "");

    RunResult last;
    const fs::path victim = sandbox.root() / "neighbour.txt";
    if (busy) {
      for (const fs::path& planted :
           {sandbox.clientDataFolder() / "baksrcfile.restore", sandbox.clientDataFolder() / "baksrcfile.restore.new",
            sandbox.installFolder() / "VelmiUpdate_Copy.tmp", sandbox.installFolder() / "sqlite3_Copy.tmp"}) {
        fs::create_symlink(victim, planted);
      }
      first->signal(SIGCONT);
      last = first->wait();
    } else {
      last = testing_support::runProgram(second);
    }
    EXPECT_TRUE(last.exited && last.exitCode == 0) << endOf(last);
    std::string problems;
    EXPECT_EQ(judge(sandbox.installation(), problems), InstallState::Patched) << problems;
    EXPECT_EQ(versions(sandbox), "2.0,2.0,");
    EXPECT_EQ(readFile(victim), "beside the installation");
  }
}

// A volume detached mid-run takes the installation away, or leaves its empty
// mount point: the run never makes the installation there anew nor restores
// into it, and once the volume is back the next run leaves it whole, with the
// table agreeing.
TEST(PatchFaults, AnInstallationThatVanishesMidRunIsNeverMadeAnew) {
  const long count = cleanRunOperationCount();
  ASSERT_GT(count, 0);
  for (const bool duringCopy : {false, true}) {
    SCOPED_TRACE(duringCopy ? "during the copy, leaving an empty mount point" : "during the extraction");
    bool tried = false;
    for (long k = count / 4; k < count && !tried; k += count / 60) {
      FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
      prepare(sandbox);
      testing_support::ChildProcess first(
          sandbox.patchRun({"VELMI_FAULT_AT=" + std::to_string(k), "VELMI_FAULT_ERROR=stop"}));
      ASSERT_TRUE(first.waitForStop());
      const fs::path marker = sandbox.clientDataFolder() / "baksrcfile.restore";
      const bool extracting = fs::exists(sandbox.extractFolder()) && !fs::exists(marker);
      if (duringCopy ? !fs::exists(marker) : !extracting) continue;
      tried = true;
      const fs::path detached = sandbox.root() / "detached";
      fs::rename(sandbox.installFolder(), detached);
      if (duringCopy) fs::create_directory(sandbox.installFolder());
      first.signal(SIGCONT);
      EXPECT_EQ(endOf(first.wait()), "");
      if (duringCopy) {
        // The copy may have put a file there before it failed, but no restore followed it.
        EXPECT_FALSE(fs::exists(sandbox.installFolder() / "readme-19.txt"));
        EXPECT_TRUE(fs::exists(marker));
      } else {
        EXPECT_FALSE(fs::exists(sandbox.installFolder()));
      }
      fs::remove_all(sandbox.installFolder());
      fs::rename(detached, sandbox.installFolder());
      const RunResult next = sandbox.runPatch();
      std::string problems = endOf(next);
      problems += disagreement(judge(sandbox.installation(), problems), versions(sandbox));
      EXPECT_EQ(problems, "") << "k=" << k;
      EXPECT_FALSE(fs::exists(marker));
    }
    EXPECT_TRUE(tried);
  }
}

// Run as an ordinary user, beside a folder of root's that the patch would
// write into: the copy fails there, the restore passes over what it never
// wrote, and the failure is recorded with no marker left to block later runs.
TEST(PatchFaults, AFolderOfAnotherOwnerFailsThePatchWithoutBlockingLaterRuns) {
  if (geteuid() != 0) GTEST_SKIP() << "runs the updater as another user, which only root may do";
  constexpr uid_t kNobody = 65534;
  FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
  prepare(sandbox);
  for (const auto& entry : fs::recursive_directory_iterator(sandbox.root())) {
    ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
  }
  ASSERT_EQ(chown(sandbox.root().c_str(), kNobody, kNobody), 0);
  const fs::path roots = sandbox.installFolder() / "module3";
  ASSERT_EQ(chown(roots.c_str(), 0, 0), 0);
  for (const auto& entry : fs::directory_iterator(roots)) ASSERT_EQ(chown(entry.path().c_str(), 0, 0), 0);
  ChildOptions run = sandbox.patchRun();
  run.user = kNobody;
  EXPECT_EQ(endOf(testing_support::runProgram(run)), "");
  std::string problems;
  EXPECT_EQ(judge(sandbox.installation(), problems), InstallState::Unchanged) << problems;
  EXPECT_EQ(versions(sandbox), "1.0,1.0,");
  EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore"));
  EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile"));
}

// On a disk of its own that fills up (a small tmpfs, which only root may
// mount): nothing of the installation is lost, and the outcome is recorded,
// also where recording needs the room that the work folders took.
TEST(PatchFaults, AFullDiskLosesNothingAndTheOutcomeIsRecorded) {
  if (geteuid() != 0) GTEST_SKIP() << "a full disk is a small tmpfs of the test's own, and only root may mount one";
  ASSERT_EQ(unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  constexpr size_t kBig = 4 << 20;
  constexpr size_t kMiB = 1 << 20;
  const size_t updater = fs::file_size(VELMI_FAULTS_UPDATER_PATH);
  // Room for the updater three times (installed, backed up, parked), the big
  // file twice (installed, backed up) and an extracted file of twice its size,
  // but not for that file once more on its way into the installation.
  const size_t disk = 3 * updater + 4 * kBig + kBig / 2 + kMiB;
  // A current version of a mebibyte takes as much again to be recorded as the
  // backup version: after a patch that leaves half a mebibyte free.
  const std::string longVersion(kMiB, '9');
  const size_t leavesHalfAMiB = (disk - 3 * updater - 2 * kBig - kMiB - kMiB / 2) / 2;
  struct Row {
    const char* what;
    bool backupFillsTheDisk;  // one more installed file leaves the backup a page too few for its last files
    std::vector<std::pair<std::string, std::string>> patch;
    std::string version;
    bool applied;
  } rows[] = {
      {"the disk fills during the extraction",
       false,
       {{"a.txt", "a, version 2"}, {"b-new.txt", "added"}, {"data/huge.bin", std::string(4 * kBig, 'h')}},
       "2.0",
       false},
      // Copied by name: the big file shrinks, then the added one finds no room.
      // Putting the big file back then needs the room the failed copy took.
      {"the disk fills during the copy",
       false,
       {{"a.txt", "a, version 2"},
        {"b-new.txt", "added"},
        {"data/big.bin", "small now"},
        {"z-added.bin", std::string(2 * kBig, 'z')}},
       "2.0",
       false},
      {"the disk fills during the backup", true, {{"a.txt", "a, version 2"}}, "2.0", false},
      {"recording the success needs the backup's room",
       false,
       {{"a.txt", "a, version 2"}, {"z-added.bin", std::string(leavesHalfAMiB, 'z')}},
       longVersion,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH, disk);
    putFile(sandbox.installFolder() / kLibrary, "sqlite library 1.0");
    putFile(sandbox.installFolder() / "a.txt", "a, version 1");
    putFile(sandbox.installFolder() / "data" / "big.bin", filler(kBig, 1));
    testing_support::executeSql(sandbox.database(),
                                "create table autoupdate(v_sversion text, v_sbakversion text);"
                                "insert into autoupdate values('" +
                                    row.version + "', '1.0');");
    testing_support::ZipBuilder zip;
    for (const auto& [name, content] : row.patch) zip.add(unixFile(name, content));
    fs::create_directories(sandbox.patchFolder());
    zip.writeTo(sandbox.patchFolder() / "update_sp1.zip");
    if (row.backupFillsTheDisk) {
      // The backup takes "a.txt", the big file and this one, in that order,
      // and then not one page is left for the rest, however small.
      struct statvfs room {};
      ASSERT_EQ(statvfs(sandbox.root().c_str(), &room), 0);
      const size_t page = room.f_frsize;
      const size_t size = (room.f_bavail * page - page - kBig) / 2 / page * page;
      putFile(sandbox.installFolder() / "data" / "more.bin", filler(size, 2));
    }
    TreeSnapshot expected = sandbox.installation();
    if (row.applied) {
      for (const auto& [name, content] : row.patch) expected[name] = content;
    }
    const TreeSnapshot outsideBefore = sandbox.outside();

    const RunResult outcome = sandbox.runPatch();
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << endOf(outcome);
    TreeSnapshot after = sandbox.installation();
    // The restore brings the two files in use back under their own names; their parked copies wait for the next run.
    after.erase(kParkedExe);
    after.erase(kParkedLibrary);
    EXPECT_EQ(testing_support::describeTreeDifference(expected, after), "");
    const std::string recorded = row.applied ? row.version : "1.0";
    EXPECT_TRUE(versions(sandbox) == recorded + "," + recorded + ",") << versions(sandbox).substr(0, 40);
    EXPECT_EQ(sandbox.outside(), outsideBefore);
    EXPECT_FALSE(fs::exists(sandbox.clientDataFolder() / "baksrcfile"));
  }
}

// A full install after a patch run killed during its copy, whose restore
// cannot put back one file (held open elsewhere, as Windows allows): the run
// goes on to its installer, which writes version 3 of every file but the
// updater. Killed, or failing, at any file operation of that run, it leaves
// nothing that makes a later patch run put an older version over what the
// installer wrote, or delete it; where the installer never ran, that run
// leaves a whole installation.

// Where the copy of a clean patch run is half done: the marker stands, the
// installation is half patched, and both held files are written already.
long halfCopiedPoint() {
  static const long point = [] {
    const long count = cleanRunOperationCount();
    for (long k = count / 2; k < count; k += count / 100) {
      FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
      prepare(sandbox);
      sandbox.runPatch({"VELMI_FAULT_AT=" + std::to_string(k), "VELMI_FAULT_ERROR=kill"});
      const TreeSnapshot installed = sandbox.installation();
      std::string problems;
      if (fs::exists(sandbox.clientDataFolder() / "baksrcfile.restore") && installed.count("plugins/plugin0.dll") &&
          installed.at("module0/file0.dat") == patchCase().patched.at("module0/file0.dat") &&
          judge(installed, problems) == InstallState::Broken) {
        return k;
      }
    }
    return -1L;
  }();
  return point;
}

// The installer's version of the installation: every file but the updater, version 3.
const fs::path& version3() {
  static const fs::path made = [] {
    const fs::path folder = patchCase().store / "version3";
    for (const auto& [name, content] : patchCase().patched) {
      if (content != "<folder>" && name != kExe) putFile(folder / name, name + " version 3\n");
    }
    return folder;
  }();
  return made;
}

// "" when all is well; with k 0, the run counts its operations into count.
std::string fullInstallRun(const char* held, const std::string& error, long k, long* count = nullptr) {
  FaultSandbox sandbox(VELMI_FAULTS_UPDATER_PATH);
  prepare(sandbox);
  sandbox.runPatch({"VELMI_FAULT_AT=" + std::to_string(halfCopiedPoint()), "VELMI_FAULT_ERROR=kill"});
  const fs::path ran = sandbox.root() / "installer-ran";
  full_install::writeScript(full_install::downloadFolder(sandbox) / "QuilletSetup",
                            "cp -R " + full_install::quoted(version3() / ".") + " " +
                                full_install::quoted(sandbox.installFolder()) + "\necho > " +
                                full_install::quoted(ran) + "\n");
  const TreeSnapshot outsideBefore = sandbox.outside();
  const fs::path countFile = sandbox.root() / "count.txt";
  std::vector<std::string> plan = {"VELMI_FAULT_HOLD=" + (sandbox.installFolder() / held).string()};
  if (count != nullptr) plan.push_back("VELMI_FAULT_COUNT_FILE=" + countFile.string());
  plan.push_back("VELMI_FAULT_AT=" + std::to_string(k));
  plan.push_back("VELMI_FAULT_ERROR=" + error);
  const RunResult outcome = sandbox.runFullInstall(plan);
  // An installer let run goes on after its updater was killed: the test
  // process took it in, and waits for it before anything else runs.
  while (waitpid(-1, nullptr, 0) > 0) {
  }
  std::string problems = error == "kill" && k > 0 ? "" : endOf(outcome);
  if (count != nullptr) *count = fs::exists(countFile) ? std::stol(readFile(countFile)) : -1;

  // The client took the archives away; a plain patch run follows.
  fs::remove_all(sandbox.patchFolder());
  const RunResult next = sandbox.runPatch();
  problems += endOf(next);
  const TreeSnapshot after = sandbox.installation();
  if (fs::exists(ran)) {
    for (const auto& [name, content] : testing_support::snapshotTree(version3())) {
      const auto found = after.find(name);
      if (found == after.end()) {
        problems += name + " that the installer wrote is gone; ";
      } else if (found->second != content) {
        problems += name + " that the installer wrote holds \"" + found->second.substr(0, 30) + "\"; ";
      }
    }
    if (after.count(kExe) == 0) problems += "no updater; ";
  } else {
    judge(after, problems);
  }
  TreeSnapshot outsideAfter = sandbox.outside();
  outsideAfter.erase("installer-ran");
  outsideAfter.erase("count.txt");
  if (outsideAfter != outsideBefore) problems += "changed outside its folders; ";
  return problems;
}

// The operations of a full install in that state, without a fault; -1 when it went wrong.
long fullInstallOperationCount(const char* held) {
  static std::map<std::string, long> counts;
  if (counts.count(held) == 0) {
    long count = -1;
    counts[held] = fullInstallRun(held, "eacces", 0, &count).empty() ? count : -1;
  }
  return counts[held];
}

// The sweep, split so that CTest runs the slices side by side: slice s of n
// takes every n-th fault point from the s-th on.
struct Slice {
  const char* error;
  bool thenClean;
  int index;
  int count;
  const char* held = nullptr;  // a full install, with this file held from its restore
};

void PrintTo(const Slice& slice, std::ostream* out) {
  *out << (slice.held ? std::string("full install, holding ") + slice.held + ", " : "") << slice.error << " "
       << slice.index << "/" << slice.count;
}

class PatchFaultSweep : public ::testing::TestWithParam<Slice> {};

TEST_P(PatchFaultSweep, EveryFailingOperationLeavesAWholeInstallation) {
  const Slice slice = GetParam();
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  ASSERT_GT(cleanRunOperationCount(), 0) << "the clean run gave no operation count";
  ASSERT_TRUE(slice.held == nullptr || halfCopiedPoint() > 0) << "no point of a clean run leaves its copy half done";
  const long count = slice.held == nullptr ? cleanRunOperationCount() : fullInstallOperationCount(slice.held);
  ASSERT_GT(count, 0) << "the run without a fault went wrong";
  std::vector<std::string> found;
  long swept = 0;
  // VELMI_SWEEP_ONLY=k repeats one fault point, to look at a failure closely.
  const char* only = std::getenv("VELMI_SWEEP_ONLY");
  const bool killing = std::string(slice.error).rfind("kill", 0) == 0;
  const long step = kSanitized ? (killing || slice.held ? 16 : 4) : 1;
  for (long k = 1; k <= count; k += step) {
    const long point = (k - 1) / step;
    if (only != nullptr ? k != std::atol(only) || slice.index != 0 : point % slice.count != slice.index) continue;
    ++swept;
    const bool thenClean = slice.thenClean && (!kSanitized || killing || k % 16 == 0);
    const std::string problems =
        slice.held ? fullInstallRun(slice.held, slice.error, k) : faultedRun(k, slice.error, thenClean);
    if (!problems.empty()) found.push_back("k=" + std::to_string(k) + ": " + problems);
  }
  std::string report;
  for (size_t i = 0; i < found.size() && i < 25; ++i) report += found[i] + "\n";
  EXPECT_TRUE(found.empty()) << found.size() << " of " << swept << " runs went wrong:\n" << report;
  std::printf("swept %ld fault points (%s) of %ld; %ld left a whole installation\n", swept, slice.error, count,
              swept - static_cast<long>(found.size()));
}

constexpr int kSlices = 8;

std::vector<Slice> slices() {
  std::vector<Slice> all;
  // The error only changes how the failing operation reports; what the
  // engine does next is the same. So the clean run after each fault, which
  // doubles the time, follows the full-disk sweep only.
  for (int i = 0; i < kSlices; ++i) all.push_back({"enospc", true, i, kSlices});
  // A kill at every point, each followed by an ordinary run that finds what it left.
  for (int i = 0; i < kSlices; ++i) all.push_back({"kill", true, i, kSlices});
  // Again, with another installation sharing the client data folder running in between.
  for (int i = 0; i < kSlices; ++i) all.push_back({"kill-shared", true, i, kSlices});
  if (!kSanitized) {
    for (int i = 0; i < kSlices; ++i) all.push_back({"eacces", false, i, kSlices});
  }
  // A full install, holding one file the patch changed or one it added.
  for (const char* held : {"module0/file0.dat", "plugins/plugin0.dll"}) {
    for (const char* error : {"kill", "eacces"}) {
      for (int i = 0; i < kSlices / 2; ++i) all.push_back({error, false, i, kSlices / 2, held});
    }
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(Slices, PatchFaultSweep, ::testing::ValuesIn(slices()),
                         [](const ::testing::TestParamInfo<Slice>& info) {
                           std::string error = info.param.error;
                           std::replace(error.begin(), error.end(), '-', '_');
                           const char* held = info.param.held;
                           const std::string install = !held ? "" : held[0] == 'm' ? "y_changed_" : "y_added_";
                           return install + error + "_" + std::to_string(info.param.index);
                         });

}  // namespace
}  // namespace fault_test
