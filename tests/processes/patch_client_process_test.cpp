// A patch run ends the running client first, whatever happens after.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/e2e/patch_test_sandbox.h"

using namespace patch_test;
using testing_support::describeTreeDifference;
using testing_support::makeZip;

namespace {

// A stand-in for the client: a copy of sleep under the client's executable name.
class FakeClient {
 public:
  explicit FakeClient(const fs::path& folder) {
    const fs::path program = folder / "Quillet.exe";
    fs::copy_file("/bin/sleep", program);
    pid_ = fork();
    if (pid_ == 0) {
      execl(program.c_str(), "Quillet.exe", "300", static_cast<char*>(nullptr));
      _exit(127);
    }
    // /proc/<pid>/exe names the client's image only once exec has happened.
    const fs::path image = "/proc/" + std::to_string(pid_) + "/exe";
    for (int i = 0; i < 400 && pid_ > 0; ++i) {
      std::error_code error;
      if (fs::read_symlink(image, error) == program) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  ~FakeClient() {
    if (running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool started() const { return pid_ > 0; }

  // Waits up to a generous bound for the client to be ended by a signal.
  bool endedBySignal() {
    for (int i = 0; i < 400 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !running() && WIFSIGNALED(status_);
  }

 private:
  bool running() {
    if (reaped_) return false;
    if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
  }

  pid_t pid_ = -1;
  int status_ = 0;
  bool reaped_ = false;
};

}  // namespace

TEST(PatchClientProcess, TheClientIsEndedBeforeTheRunFailsForWantOfAPatch) {
  PatchSandbox s;
  testing_support::TempFolder clientFolder;
  FakeClient client(clientFolder.path());
  ASSERT_TRUE(client.started());

  s.expectFailedRunLeavesInstallation();
  EXPECT_TRUE(client.endedBySignal());
}

TEST(PatchClientProcess, TheClientIsEndedAndThePatchApplied) {
  PatchSandbox s;
  makeZip(s.patch("fix_sp1.zip"), {{"keep.txt", "patched"}});
  TreeSnapshot expected = s.installation();
  expected["keep.txt"] = "patched";
  testing_support::TempFolder clientFolder;
  FakeClient client(clientFolder.path());
  ASSERT_TRUE(client.started());

  s.runPatch();
  EXPECT_TRUE(client.endedBySignal());
  EXPECT_EQ(describeTreeDifference(expected, s.installation()), "");
}
