// A patch run ends the running client first, whatever happens after.
#include <gtest/gtest.h>
#include <signal.h>

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "tests/e2e/patch_test_sandbox.h"
#include "tests/support/child_process.h"
#include "tests/support/full_install_support.h"
#include "tests/support/sqlite_test_database.h"

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

// A client that holds the database while a confirmed success waits to be
// recorded is ended first, so the record goes through: the client here is
// SQLite's shell, named as the client, holding a write lock while it sleeps.
TEST(PatchClientProcess, AClientHoldingTheDatabaseIsEndedBeforeAConfirmedSuccessIsRecorded) {
  const fs::path shell = "/usr/bin/sqlite3";
  if (!fs::exists(shell)) GTEST_SKIP() << "needs SQLite's shell, " << shell;
  PatchSandbox s;
  const fs::path database = s.clientData() / "usr000.db";
  fs::create_directories(s.clientData());
  testing_support::executeSql(database,
                              "create table autoupdate(v_sversion text, v_sbakversion text);"
                              "insert into autoupdate values('2.0', '1.0');");
  full_install::writeRestoreMarker(s.clientData(), "C" + (s.install() / "VelmiUpdate").string());
  testing_support::TempFolder clientFolder;
  const fs::path client = clientFolder.path() / "Quillet.exe";
  fs::copy_file(shell, client);
  ChildProcess holder(client, {database.string(), "BEGIN EXCLUSIVE", "update autoupdate set v_sversion='held'",
                               ".shell exec sleep 60 </dev/null >/dev/null 2>&1"});
  // The run starts once the client holds the lock.
  auto locked = [&] {
    sqlite3* handle = nullptr;
    const bool busy = sqlite3_open(database.c_str(), &handle) == SQLITE_OK &&
                      sqlite3_exec(handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_BUSY;
    sqlite3_close(handle);
    return busy;
  };
  for (int tries = 0; tries < 200 && !locked(); ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(locked());
  s.runPatch();
  EXPECT_TRUE(holder.endsBySignal(SIGKILL, kGenerousBound));
  auto rows = testing_support::queryRows(database, "select v_sversion, v_sbakversion from autoupdate");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].value_or("NULL") + "," + rows[0][1].value_or("NULL"), "2.0,2.0");
  EXPECT_FALSE(fs::exists(s.clientData() / "baksrcfile.restore"));
}
