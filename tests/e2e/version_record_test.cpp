// The version record of a patch run ("N"), through the real updater binary
// and a real usr000.db, plus the record's result through a direct call.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/auto_install_patch.h"
#include "tests/support/sqlite_test_database.h"
#include "tests/support/temp_folder.h"
#include "tests/support/updater_sandbox.h"

namespace fs = std::filesystem;
using testing_support::DatabaseLockHolder;
using testing_support::executeSql;
using testing_support::queryRows;
using testing_support::SqlRow;
using testing_support::TempFolder;
using testing_support::UpdaterSandbox;

namespace {

using Rows = std::vector<SqlRow>;

constexpr char kVersionTable[] = "create table autoupdate(v_sversion text, v_sbakversion text);";
// A table of the client's own that no run may touch.
constexpr char kOtherTable[] =
    "create table settings(k text primary key, v text);"
    "insert into settings values('theme', 'dark'), ('quote', 'it''s');";

class VersionRecord : public ::testing::Test {
 protected:
  fs::path database() const { return sandbox_.clientDataFolder() / "usr000.db"; }

  void makeDatabase(const std::string& sql) { executeSql(database(), sql); }

  Rows versions() const { return queryRows(database(), "select v_sversion, v_sbakversion from autoupdate order by rowid"); }

  // Everything but the version table, to show that the run left it alone.
  Rows everythingElse() const {
    Rows rows = queryRows(database(), "select type, name, sql from sqlite_master where name <> 'autoupdate' order by name");
    if (!rows.empty()) {
      for (const SqlRow& row : queryRows(database(), "select k, v from settings order by k")) rows.push_back(row);
    }
    return rows;
  }

  // A patch folder with one valid archive: the run succeeds.
  void givePatch() {
    fs::path patchFolder = sandbox_.clientDataFolder() / "downsmallversion";
    fs::create_directories(patchFolder);
    TempFolder staging;
    testing_support::writeFile(staging / "patched.txt", "patched\n");
    auto zipped = testing_support::runProgram("/usr/bin/zip", {"-q", (patchFolder / "update_sp1.zip").string(), "patched.txt"},
                                              {}, staging.path());
    ASSERT_TRUE(zipped.exited && zipped.exitCode == 0) << "the zip tool failed";
  }

  // Runs "N"; without a patch folder the run fails before anything is copied.
  void runPatch() {
    testing_support::RunResult result = sandbox_.run({"N"});
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    ASSERT_EQ(result.exitCode, 0);
  }

  bool patchWasApplied() const { return fs::exists(sandbox_.installFolder() / "patched.txt"); }

  UpdaterSandbox sandbox_;
};

}  // namespace

TEST_F(VersionRecord, SuccessKeepsTheCurrentVersionAsBackup) {
  makeDatabase(std::string(kVersionTable) + kOtherTable + "insert into autoupdate values('1.2.3', '1.2.2');");
  Rows before = everythingElse();
  givePatch();
  runPatch();
  EXPECT_TRUE(patchWasApplied());
  EXPECT_EQ(versions(), (Rows{{"1.2.3", "1.2.3"}}));
  EXPECT_EQ(everythingElse(), before);
}

TEST_F(VersionRecord, FailurePutsTheBackupVersionBack) {
  makeDatabase(std::string(kVersionTable) + kOtherTable + "insert into autoupdate values('1.2.3', '1.2.2');");
  Rows before = everythingElse();
  runPatch();
  EXPECT_FALSE(patchWasApplied());
  EXPECT_EQ(versions(), (Rows{{"1.2.2", "1.2.2"}}));
  EXPECT_EQ(everythingElse(), before);
}

TEST_F(VersionRecord, EveryRowGetsTheFirstRowsValue) {
  makeDatabase(std::string(kVersionTable) + kOtherTable +
               "insert into autoupdate values('2.0', '1.0'), ('3.0', '1.5'), (NULL, NULL);");
  givePatch();
  runPatch();
  EXPECT_EQ(versions(), (Rows{{"2.0", "2.0"}, {"3.0", "2.0"}, {std::nullopt, "2.0"}}));
}

TEST_F(VersionRecord, NullOrMissingValueIsWrittenAsEmptyText) {
  {
    SCOPED_TRACE("NULL current version after success");
    makeDatabase(std::string(kVersionTable) + "insert into autoupdate values(NULL, '1.0'), ('4.0', '3.0');");
    givePatch();
    runPatch();
    EXPECT_EQ(versions(), (Rows{{std::nullopt, ""}, {"4.0", ""}}));
  }
  {
    SCOPED_TRACE("NULL backup version after failure");
    executeSql(database(), "delete from autoupdate; insert into autoupdate values('1.0', NULL);");
    runPatch();
    EXPECT_EQ(versions(), (Rows{{"", std::nullopt}}));
  }
  {
    SCOPED_TRACE("no rows: nothing to change, nothing added");
    executeSql(database(), "delete from autoupdate;");
    runPatch();
    EXPECT_EQ(versions(), Rows{});
  }
}

TEST_F(VersionRecord, ValueHoldingQuotesIsStoredExactly) {
  const std::string hostile = "1.2'3 beta'; drop table settings; --";
  makeDatabase(std::string(kVersionTable) + kOtherTable);
  {
    testing_support::SqliteFile file(database());
    file.execute("insert into autoupdate values('" + std::string("1.2''3 beta''; drop table settings; --") + "', '1.0')");
  }
  ASSERT_EQ(versions(), (Rows{{hostile, "1.0"}}));
  Rows before = everythingElse();
  givePatch();
  runPatch();
  EXPECT_EQ(versions(), (Rows{{hostile, hostile}}));
  EXPECT_EQ(everythingElse(), before);
}

TEST_F(VersionRecord, MissingTableIsNeitherWrittenNorCreated) {
  makeDatabase(kOtherTable);
  Rows before = everythingElse();
  givePatch();
  runPatch();
  EXPECT_EQ(everythingElse(), before);
  EXPECT_EQ(queryRows(database(), "select name from sqlite_master where name = 'autoupdate'"), Rows{});
}

TEST_F(VersionRecord, MissingDatabaseIsCreatedEmpty) {
  ASSERT_FALSE(fs::exists(database()));
  runPatch();
  ASSERT_TRUE(fs::exists(database()));
  EXPECT_EQ(queryRows(database(), "select name from sqlite_master"), Rows{});
}

TEST_F(VersionRecord, WaitsForAnotherProcessToLetGoOfTheDatabase) {
  makeDatabase(std::string(kVersionTable) + kOtherTable + "insert into autoupdate values('1.2.3', '1.2.2');");
  Rows before = everythingElse();
  DatabaseLockHolder holder(database(), std::chrono::seconds(2));
  runPatch();
  ASSERT_TRUE(holder.waitForEnd());
  // Without waiting, the update would have failed with SQLITE_BUSY and written nothing.
  EXPECT_EQ(versions(), (Rows{{"1.2.2", "1.2.2"}}));
  EXPECT_EQ(everythingElse(), before);
}

// ---- the result, which the run itself ignores

namespace {

// Points the roaming folder at a temporary folder for the lifetime of the object.
class RoamingFolderOverride {
 public:
  explicit RoamingFolderOverride(const fs::path& folder) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old;
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~RoamingFolderOverride() {
    if (previous_) setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }

 private:
  std::optional<std::string> previous_;
};

}  // namespace

TEST(VersionRecordResult, TrueOnlyWhenTheUpdateRanAndTheDatabaseClosed) {
  TempFolder roaming;
  RoamingFolderOverride override(roaming.path());
  fs::path clientData = roaming / "quillet" / "WindowsClient";
  fs::path database = clientData / "usr000.db";
  CAutoInstallPatch patch;
  {
    SCOPED_TRACE("no client data folder: the open fails, nothing is created");
    EXPECT_FALSE(patch.recordOutcome(true));
    EXPECT_FALSE(fs::exists(clientData));
  }
  fs::create_directories(clientData);
  {
    SCOPED_TRACE("no table");
    EXPECT_FALSE(patch.recordOutcome(true));
    EXPECT_TRUE(fs::exists(database));
  }
  executeSql(database, kVersionTable);
  {
    SCOPED_TRACE("table without rows");
    EXPECT_TRUE(patch.recordOutcome(false));
    EXPECT_EQ(queryRows(database, "select * from autoupdate"), Rows{});
  }
  executeSql(database, "insert into autoupdate values('5', '4')");
  {
    SCOPED_TRACE("one row");
    EXPECT_TRUE(patch.recordOutcome(true));
    EXPECT_EQ(queryRows(database, "select * from autoupdate"), (Rows{{"5", "5"}}));
  }
  {
    SCOPED_TRACE("a column the client dropped: the select fails");
    executeSql(database, "drop table autoupdate; create table autoupdate(v_sversion text); insert into autoupdate values('6')");
    EXPECT_FALSE(patch.recordOutcome(false));
    EXPECT_FALSE(patch.recordOutcome(true));
    EXPECT_EQ(queryRows(database, "select * from autoupdate"), (Rows{{"6"}}));
  }
}

TEST(VersionRecordResult, PathTooLongForTheNarrowBufferTouchesNoDatabase) {
  TempFolder temp;
  // 3 levels of 80 three-byte characters: fits the 512-unit wide path, not the 512-byte UTF-8 one.
  std::string level;
  for (int i = 0; i < 80; ++i) level += "\xe6\x97\xa5";
  fs::path roaming = temp / level / level / level;
  fs::path clientData = roaming / "quillet" / "WindowsClient";
  fs::create_directories(clientData);
  RoamingFolderOverride override(roaming);
  CAutoInstallPatch patch;
  EXPECT_FALSE(patch.recordOutcome(true));
  EXPECT_FALSE(fs::exists(clientData / "usr000.db"));
  EXPECT_TRUE(fs::is_empty(clientData));
}
