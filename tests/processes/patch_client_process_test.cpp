// A patch run ends the running client first, whatever happens after.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "tests/e2e/patch_test_sandbox.h"
#include "tests/support/child_process.h"

using namespace patch_test;
using testing_support::ChildProcess;
using testing_support::copyOfSleep;
using testing_support::describeTreeDifference;
using testing_support::makeZip;

namespace {
constexpr std::chrono::seconds kGenerousBound{20};
}

TEST(PatchClientProcess, TheClientIsEndedBeforeTheRunFailsForWantOfAPatch) {
  PatchSandbox s;
  testing_support::TempFolder clientFolder;
  ChildProcess client(copyOfSleep(clientFolder.path(), "Quillet.exe"), {"300"});

  s.expectFailedRunLeavesInstallation();
  EXPECT_TRUE(client.endsBySignal(SIGKILL, kGenerousBound));
}

TEST(PatchClientProcess, TheClientIsEndedAndThePatchApplied) {
  PatchSandbox s;
  makeZip(s.patch("fix_sp1.zip"), {{"keep.txt", "patched"}});
  TreeSnapshot expected = s.installation();
  expected["keep.txt"] = "patched";
  testing_support::TempFolder clientFolder;
  ChildProcess client(copyOfSleep(clientFolder.path(), "Quillet.exe"), {"300"});

  s.runPatch();
  EXPECT_TRUE(client.endsBySignal(SIGKILL, kGenerousBound));
  EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
}
