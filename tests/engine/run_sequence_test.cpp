// The run sequence: the order of the steps and where a failing step ends the chain.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/auto_update_base.h"
#include "engine/restore_marker.h"
#include "tests/support/temp_folder.h"

namespace {

using Calls = std::vector<std::string>;

// Records every step it is asked for; the step whose name starts with `failing` fails.
class RecordingProcedure : public CAutoUpdateBase {
 public:
  bool prepareUpdate() override { return step("prepareUpdate"); }
  bool backupFiles() override { return step("backupFiles"); }
  bool preparePayload() override { return step("preparePayload"); }
  bool applyUpdate() override { return step("applyUpdate"); }
  bool removeWorkFolders() override { return step("removeWorkFolders"); }
  bool moveLockedFilesAside() override { return step("moveLockedFilesAside"); }
  bool restoreLockedFiles() override { return step("restoreLockedFiles"); }
  bool recordOutcome(bool success) override { return step(success ? "recordOutcome(true)" : "recordOutcome(false)"); }

  void supersede() { supersedesEarlierPatch = true; }

  Calls runWithFailing(const std::string& name) {
    failing_ = name;
    calls_.clear();
    EXPECT_TRUE(runUpdate());
    return calls_;
  }

 private:
  bool step(const std::string& name) {
    calls_.push_back(name);
    return name.rfind(failing_, 0) != 0;
  }
  std::string failing_;
  Calls calls_;
};

}  // namespace

TEST(RunSequence, AFailingStepEndsTheChainAndTheClosingStepsStillRun) {
  const Calls chain{"prepareUpdate", "backupFiles", "moveLockedFilesAside", "preparePayload", "applyUpdate"};
  auto expected = [&](size_t stepsRun, bool success) {
    Calls calls(chain.begin(), chain.begin() + static_cast<long>(stepsRun));
    calls.insert(calls.end(),
                 {success ? "recordOutcome(true)" : "recordOutcome(false)", "restoreLockedFiles", "removeWorkFolders"});
    return calls;
  };
  // A run goes on only with its client data folder there to lock.
  testing_support::TempFolder roaming;
  std::filesystem::create_directories(roaming / "quillet" / "WindowsClient");
  setenv("XDG_CONFIG_HOME", roaming.path().c_str(), 1);
  // One procedure for every run: the success flag is set afresh each time.
  RecordingProcedure procedure;
  for (size_t failing = 0; failing < chain.size(); ++failing) {
    EXPECT_EQ(procedure.runWithFailing(chain[failing]), expected(failing + 1, false)) << chain[failing];
  }
  SCOPED_TRACE("failures of the closing steps change nothing");
  for (const char* failing : {"none", "recordOutcome", "restoreLockedFiles", "removeWorkFolders"}) {
    EXPECT_EQ(procedure.runWithFailing(failing), expected(chain.size(), true)) << failing;
  }
  SCOPED_TRACE("without a client data folder nothing tells whether another run holds it: no step runs");
  std::filesystem::remove_all(roaming / "quillet");
  EXPECT_EQ(procedure.runWithFailing("none"), Calls{});
}

namespace {

std::string utf16le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// Makes a client data folder under the roaming folder, the one runs use from
// now on; the path of its restore marker.
std::filesystem::path markerInClientDataOf(const testing_support::TempFolder& roaming) {
  std::filesystem::create_directories(roaming / "quillet" / "WindowsClient");
  setenv("XDG_CONFIG_HOME", roaming.path().c_str(), 1);
  return roaming / "quillet" / "WindowsClient" / "baksrcfile.restore";
}

}  // namespace

// Every content a marker may hold, as the next run reads it: what a build
// writes, what an older one wrote, and what none ever writes.
TEST(RestoreMarker, ReadingTellsWhatNoBuildWritesFromWhatCannotBeRead) {
  testing_support::TempFolder roaming;
  const std::filesystem::path marker = markerInClientDataOf(roaming);
  const std::u16string updater = u"C:\\Quillet\\VelmiUpdate.exe";
  struct Row {
    const char* what;
    std::string bytes;
    MarkerState state;
    std::u16string path;
  } rows[] = {
      {"restore", utf16le(u"R" + updater), MarkerState::Restore, updater},
      {"confirmed", utf16le(u"C" + updater), MarkerState::Confirmed, updater},
      {"an older build's, empty", "", MarkerState::Restore, u""},
      {"an unknown state", utf16le(u"X" + updater), MarkerState::Corrupt, u""},
      {"an odd byte count", utf16le(u"R" + updater) + "!", MarkerState::Corrupt, u""},
      {"an updater path without a folder", utf16le(u"RVelmiUpdate.exe"), MarkerState::Corrupt, u""},
      {"longer than any path", utf16le(u"R" + std::u16string(600, u'x')), MarkerState::Corrupt, u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testing_support::writeFile(marker, row.bytes);
    const RestoreMarker read = readRestoreMarker();
    EXPECT_EQ(read.state, row.state);
    if (row.state != MarkerState::Corrupt) {
      EXPECT_EQ(read.updaterPath, row.path);
    }
  }
  std::filesystem::remove(marker);
  EXPECT_EQ(readRestoreMarker().state, MarkerState::None);
  std::filesystem::create_directories(marker / "inside");
  EXPECT_EQ(readRestoreMarker().state, MarkerState::Corrupt);
  SCOPED_TRACE("removed whatever it is");
  EXPECT_TRUE(removeRestoreMarker());
  EXPECT_FALSE(std::filesystem::exists(marker));
  if (geteuid() != 0) {
    // Root reads what permissions forbid; anyone else cannot tell what it holds.
    testing_support::writeFile(marker, utf16le(u"R" + updater));
    std::filesystem::permissions(marker, std::filesystem::perms::none);
    EXPECT_EQ(readRestoreMarker().state, MarkerState::Unreadable);
  }
}

// A marker that no build writes is removed and the run goes on; one of
// another installation's that still holds an updater stops a patch run, but
// not a run that supersedes it, and stays.
TEST(RunSequence, AMarkerStopsOnlyWhatItMustStop) {
  testing_support::TempFolder roaming;
  const std::filesystem::path marker = markerInClientDataOf(roaming);
  const Calls wholeRun{"prepareUpdate", "backupFiles",         "moveLockedFilesAside", "preparePayload",
                       "applyUpdate",   "recordOutcome(true)", "restoreLockedFiles",   "removeWorkFolders"};
  RecordingProcedure patch;
  testing_support::writeFile(marker, utf16le(u"Q/somewhere/VelmiUpdate"));
  EXPECT_EQ(patch.runWithFailing("none"), wholeRun);
  EXPECT_FALSE(std::filesystem::exists(marker));

  const std::filesystem::path other = roaming / "other";
  std::filesystem::create_directories(other);
  testing_support::writeFile(other / "VelmiUpdate", "another installation's updater");
  testing_support::writeFile(marker, utf16le(u"R" + std::u16string(other.u16string()) + u"/VelmiUpdate"));
  EXPECT_EQ(patch.runWithFailing("none"), Calls{});
  RecordingProcedure fullInstall;
  fullInstall.supersede();
  EXPECT_EQ(fullInstall.runWithFailing("none"), wholeRun);
  EXPECT_TRUE(std::filesystem::exists(marker));
}
