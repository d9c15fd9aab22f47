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

TEST(PatchClientProcess, TheClientIsEndedWhetherThePatchFailsOrIsApplied) {
  for (bool withPatch : {false, true}) {
    SCOPED_TRACE(withPatch ? "the patch applied" : "the run fails for want of a patch");
    PatchSandbox s;
    TreeSnapshot expected = s.installation();
    if (withPatch) {
      makeZip(s.patch("fix_sp1.zip"), {{"keep.txt", "patched"}});
      expected["keep.txt"] = "patched";
    }
    testing_support::TempFolder clientFolder;
    ChildProcess client(copyOfSleep(clientFolder.path(), "Quillet.exe"), {"300"});
    s.runPatch();
    EXPECT_TRUE(client.endsBySignal(SIGKILL, kGenerousBound));
    EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
    s.expectWorkFoldersGone();
  }
}
