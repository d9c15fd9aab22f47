// Ending the running client: the first process whose executable is "Quillet.exe".
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "engine/auto_update_base.h"
#include "tests/support/child_process.h"
#include "tests/support/updater_sandbox.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

std::unique_ptr<ChildProcess> startNamed(const TempFolder& folder, const std::string& name) {
  std::filesystem::create_directories(folder / name);
  return std::make_unique<ChildProcess>(copyOfSleep(folder / name, name), std::vector<std::string>{"120"});
}

// Every updater run on this machine ends the first client it finds, so a
// client of someone else's would change what these tests see.
#define SKIP_IF_ANOTHER_CLIENT_RUNS() \
  if (findClientProcessId() != 0) GTEST_SKIP() << "another Quillet.exe is running"

}  // namespace

TEST(ClientProcess, FoundByItsExecutableNameWithoutRegardToCase) {
  SKIP_IF_ANOTHER_CLIENT_RUNS();
  TempFolder folder;
  auto other = startNamed(folder, "Quillet.exe.bak");
  EXPECT_EQ(findClientProcessId(), 0);
  auto client = startNamed(folder, "qUILLET.eXE");
  EXPECT_EQ(findClientProcessId(), client->pid());
}

TEST(ClientProcess, ARunEndsTheClientAndLeavesOtherProcessesAlone) {
  SKIP_IF_ANOTHER_CLIENT_RUNS();
  for (const char* name : {"Quillet.exe", "QUILLET.EXE"}) {
    SCOPED_TRACE(name);
    UpdaterSandbox sandbox;
    TempFolder folder;
    auto other = startNamed(folder, "Quillet");
    auto client = startNamed(folder, name);
    RunResult result = sandbox.run({"Y"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(client->endsBySignal(SIGKILL, 20s));
    EXPECT_TRUE(other->running());
  }
}

TEST(ClientProcess, OfTwoClientsOnlyTheFirstIsEnded) {
  SKIP_IF_ANOTHER_CLIENT_RUNS();
  UpdaterSandbox sandbox;
  TempFolder folder;
  auto one = startNamed(folder, "Quillet.exe");
  TempFolder another;
  auto two = startNamed(another, "Quillet.exe");
  ChildProcess* first = one->pid() < two->pid() ? one.get() : two.get();
  ChildProcess* second = first == one.get() ? two.get() : one.get();
  sandbox.run({"N"});
  EXPECT_TRUE(first->endsBySignal(SIGKILL, 20s));
  EXPECT_TRUE(second->running());
}
