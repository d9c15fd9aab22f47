// The run sequence: the order of the steps and where a failing step ends the chain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/auto_update_base.h"

namespace {

// Records every step it is asked for; one chosen step fails.
class RecordingProcedure : public CAutoUpdateBase {
 public:
  explicit RecordingProcedure(std::string failing) : failing_(std::move(failing)) {}

  bool prepareUpdate() override { return step("prepareUpdate"); }
  bool backupFiles() override { return step("backupFiles"); }
  bool preparePayload() override { return step("preparePayload"); }
  bool applyUpdate() override { return step("applyUpdate"); }
  bool removeWorkFolders() override { return step("removeWorkFolders"); }
  bool moveLockedFilesAside() override { return step("moveLockedFilesAside"); }
  bool restoreLockedFiles() override { return step("restoreLockedFiles"); }
  bool recordOutcome(bool success) override { return step(success ? "recordOutcome(true)" : "recordOutcome(false)"); }

  std::vector<std::string> calls;

 private:
  bool step(const std::string& name) {
    calls.push_back(name);
    return name.rfind(failing_, 0) != 0;
  }
  std::string failing_;
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(RunSequence, RunsTheMainChainInOrderThenTheClosingSteps) {
  RecordingProcedure procedure("none");
  EXPECT_TRUE(procedure.runUpdate());
  EXPECT_EQ(procedure.calls, (Calls{"prepareUpdate", "backupFiles", "moveLockedFilesAside", "preparePayload",
                                    "applyUpdate", "recordOutcome(true)", "restoreLockedFiles", "removeWorkFolders"}));
}

TEST(RunSequence, AFailingStepEndsTheChainAndTheClosingStepsStillRun) {
  const Calls chain{"prepareUpdate", "backupFiles", "moveLockedFilesAside", "preparePayload", "applyUpdate"};
  for (size_t failing = 0; failing < chain.size(); ++failing) {
    SCOPED_TRACE(chain[failing]);
    RecordingProcedure procedure(chain[failing]);
    EXPECT_TRUE(procedure.runUpdate());
    Calls expected(chain.begin(), chain.begin() + static_cast<long>(failing) + 1);
    expected.insert(expected.end(), {"recordOutcome(false)", "restoreLockedFiles", "removeWorkFolders"});
    EXPECT_EQ(procedure.calls, expected);
  }
}

TEST(RunSequence, FailuresOfTheClosingStepsChangeNothing) {
  for (const char* failing : {"recordOutcome", "restoreLockedFiles", "removeWorkFolders"}) {
    SCOPED_TRACE(failing);
    RecordingProcedure procedure(failing);
    EXPECT_TRUE(procedure.runUpdate());
    EXPECT_EQ(procedure.calls.size(), 8u);
    EXPECT_EQ(procedure.calls[5], "recordOutcome(true)");
  }
}

TEST(RunSequence, TheSuccessFlagIsSetAfreshForEachRun) {
  RecordingProcedure procedure("applyUpdate");
  procedure.runUpdate();
  EXPECT_EQ(procedure.calls[5], "recordOutcome(false)");
  RecordingProcedure next("none");
  next.runUpdate();
  EXPECT_EQ(next.calls[5], "recordOutcome(true)");
}
