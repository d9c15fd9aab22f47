// A patch run ("N") of the real updater over a seeded installation folder.
#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/patch_archives.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"
#include "tests/support/updater_sandbox.h"

namespace patch_test {

namespace fs = std::filesystem;
using testing_support::TreeSnapshot;

class PatchSandbox {
 public:
  // roamingLength: when not 0, the roaming folder is a deep one of exactly that
  // many characters, for paths that come close to the buffers. exeName: the
  // updater's name in the installation folder.
  explicit PatchSandbox(size_t roamingLength = 0, const std::string& exeName = "VelmiUpdate")
      : sandbox_(exeName), roaming_(sandbox_.roamingFolder()) {
    if (roamingLength != 0) {
      while (roaming_.string().size() + 51 < roamingLength) roaming_ /= std::string(50, 'r');
      roaming_ /= std::string(roamingLength - roaming_.string().size() - 1, 'r');
      fs::create_directories(clientData());
    }
    testing_support::writeFile(install() / "sqlite3.dll", "sqlite library, old");
    testing_support::writeFile(install() / "keep.txt", "never touched");
    fs::create_directories(install() / "shared");
    testing_support::writeFile(install() / "shared" / "config.ini", "old config");
    testing_support::writeFile(install() / "shared" / "other.ini", "other config");
  }

  fs::path install() const { return sandbox_.installFolder(); }
  fs::path clientData() const { return roaming_ / "quillet" / "WindowsClient"; }
  fs::path patchFolder() const { return clientData() / "downsmallversion"; }
  fs::path extractFolder() const { return clientData() / "decpressupdatefile"; }
  fs::path backupFolder() const { return clientData() / "baksrcfile"; }

  // The patch folder, created on first use.
  fs::path patch(const std::string& name) const {
    fs::create_directories(patchFolder());
    return patchFolder() / name;
  }

  TreeSnapshot installation() const { return testing_support::snapshotTree(install()); }

  void runPatch() const {
    testing_support::RunResult result = testing_support::runProgram(
        {sandbox_.updater(), {"N"}, {"XDG_CONFIG_HOME=" + roaming_.string()}, sandbox_.root()});
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exitCode, 0);
  }

  void expectWorkFoldersGone() const {
    EXPECT_FALSE(fs::exists(patchFolder()));
    EXPECT_FALSE(fs::exists(extractFolder()));
    EXPECT_FALSE(fs::exists(backupFolder()));
    EXPECT_FALSE(fs::exists(clientData() / "baksrcfile.restore"));
  }

  // A failed run leaves the installation as it was and removes its work folders.
  // The run fails before its copy: a file it would have changed is still the very same file.
  void expectFailedRunLeavesInstallation() const {
    const TreeSnapshot before = installation();
    const auto identity = [this] {
      struct stat info {};
      return ::stat((install() / "keep.txt").c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto keptFile = identity();
    runPatch();
    EXPECT_EQ(testing_support::describeTreeDifference(before, installation()), "");
    EXPECT_EQ(identity(), keptFile);
    expectWorkFoldersGone();
  }

 private:
  testing_support::UpdaterSandbox sandbox_;
  fs::path roaming_;
};

}  // namespace patch_test
