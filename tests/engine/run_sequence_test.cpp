// The run sequence: the order of the steps and where a failing step ends the chain.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/auto_update_base.h"
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
