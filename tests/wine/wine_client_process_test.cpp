// A running client ("Quillet.exe", here a program that waits) is ended by a run
// of the updater under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;
using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return condition();
}

TEST(WineClientProcess, RunningQuilletIsEnded) {
  preparePrefix();
  resetInstallation({});
  const fs::path clientFolder = driveC() / "QuilletClient";
  fs::remove_all(clientFolder);
  fs::create_directories(clientFolder);
  fs::copy_file(testProgram("quillet_waiter.exe"), clientFolder / "Quillet.exe");
  const fs::path started = clientFolder / "started";
  const fs::path finished = clientFolder / "finished";

  WineProcess client(clientFolder / "Quillet.exe", {},
                     {"VELMI_PROBE_STARTED=" + windowsPath(started), "VELMI_PROBE_FINISHED=" + windowsPath(finished)});
  ASSERT_TRUE(waitFor([&] { return fs::exists(started); }, 60s)) << "Quillet.exe did not start";
  ASSERT_TRUE(client.running());

  // No download folder: the run ends the client and then finds nothing to install.
  const auto run = runUpdater("Y");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);

  EXPECT_TRUE(client.waitForEnd(30s)) << "Quillet.exe still runs";
  EXPECT_FALSE(fs::exists(finished)) << "Quillet.exe ended by itself, not by the updater";
}

}  // namespace
