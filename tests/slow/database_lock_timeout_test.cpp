// A patch run whose version database stays locked by another process past the
// busy timeout (a minute): the installation ends updated or restored, the
// version table is left as the other process keeps it, and the patch folder
// goes all the same.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/faults/fault_sandbox.h"
#include "tests/support/sqlite_test_database.h"
#include "tests/support/zip_builder.h"

namespace fault_test {
namespace {

class LockedDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    putFile(sandbox_.installFolder() / "sqlite3.dll", "sqlite library");
    putFile(sandbox_.installFolder() / "config.ini", "config, old");
    testing_support::executeSql(sandbox_.database(),
                                "create table autoupdate(v_sversion text, v_sbakversion text);"
                                "insert into autoupdate values('2.0', '1.0');");
    fs::create_directories(sandbox_.patchFolder());
  }

  // Runs the patch while another process holds the database for longer than the run waits.
  void runLocked() {
    outside_ = sandbox_.outside();
    testing_support::DatabaseLockHolder holder(sandbox_.database(), std::chrono::seconds(75));
    const auto started = std::chrono::steady_clock::now();
    const RunResult outcome = sandbox_.runPatch();
    const auto waited = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
    EXPECT_EQ(outcome.exitCode, 0);
    // It gave up on its own, before the other process let go.
    EXPECT_GE(waited, std::chrono::seconds(50));
    EXPECT_LT(waited, std::chrono::seconds(74));
    ASSERT_TRUE(holder.waitForEnd());
    auto rows = testing_support::queryRows(sandbox_.database(), "select v_sversion, v_sbakversion from autoupdate");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].value_or("NULL") + "," + rows[0][1].value_or("NULL"), "2.0,1.0");
    EXPECT_EQ(sandbox_.outside(), outside_);
    EXPECT_FALSE(fs::exists(sandbox_.patchFolder()));
  }

  FaultSandbox sandbox_{VELMI_UPDATER_PATH};
  TreeSnapshot outside_;
};

TEST_F(LockedDatabase, PatchStaysAppliedAndTheTableUnchanged) {
  testing_support::ZipBuilder().addFile("config.ini", "config, new").writeTo(sandbox_.patchFolder() / "update_sp1.zip");
  runLocked();
  EXPECT_EQ(testing_support::readFile(sandbox_.installFolder() / "config.ini"), "config, new");
  SCOPED_TRACE("the next run records the success, and its marker goes");
  ASSERT_TRUE(fs::exists(sandbox_.clientDataFolder() / "baksrcfile.restore"));
  sandbox_.runPatch();
  auto rows = testing_support::queryRows(sandbox_.database(), "select v_sversion, v_sbakversion from autoupdate");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].value_or("NULL") + "," + rows[0][1].value_or("NULL"), "2.0,2.0");
  EXPECT_FALSE(fs::exists(sandbox_.clientDataFolder() / "baksrcfile.restore"));
}

TEST_F(LockedDatabase, FailedPatchLeavesTheInstallationAndTheTableUnchanged) {
  const TreeSnapshot before = sandbox_.installation();
  testing_support::writeFile(sandbox_.patchFolder() / "update_sp1.zip", "not an archive");
  runLocked();
  EXPECT_EQ(testing_support::describeTreeDifference(before, sandbox_.installation()), "");
}

}  // namespace
}  // namespace fault_test
