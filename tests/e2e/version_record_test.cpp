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
#include "tests/support/full_install_support.h"
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

// One installation, its client database, and runs of "N" on it.
class PatchRun {
 public:
  fs::path database() const { return sandbox_.clientDataFolder() / "usr000.db"; }

  // The version table's rows; one row "no table" when there is none.
  Rows versions() const {
    if (queryRows(database(), "select name from sqlite_master where name = 'autoupdate'").empty())
      return {{"no table"}};
    return queryRows(database(), "select v_sversion, v_sbakversion from autoupdate order by rowid");
  }

  // Everything but the version table, to show that the run left it alone.
  Rows everythingElse() const {
    Rows rows =
        queryRows(database(), "select type, name, sql from sqlite_master where name <> 'autoupdate' order by name");
    if (!rows.empty()) {
      for (const SqlRow& row : queryRows(database(), "select k, v from settings order by k")) rows.push_back(row);
    }
    return rows;
  }

  // A patch folder with one valid archive: the run succeeds.
  void givePatch() const {
    fs::path patchFolder = sandbox_.clientDataFolder() / "downsmallversion";
    fs::create_directories(patchFolder);
    TempFolder staging;
    testing_support::writeFile(staging / "patched.txt", "patched\n");
    auto zipped = testing_support::runProgram(
        {"/usr/bin/zip", {"-q", (patchFolder / "update_sp1.zip").string(), "patched.txt"}, {}, staging.path()});
    ASSERT_TRUE(zipped.exited && zipped.exitCode == 0) << "the zip tool failed";
  }

  // Runs "N"; without a patch folder the run fails before anything is copied.
  void run() const {
    testing_support::RunResult result = sandbox_.run({"N"});
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    ASSERT_EQ(result.exitCode, 0);
  }

  bool patchWasApplied() const { return fs::exists(sandbox_.installFolder() / "patched.txt"); }

  // What a run that died after its whole copy, before the record, leaves: a
  // confirmed marker of this installation. True while it stands.
  fs::path confirmedMarker() const { return sandbox_.clientDataFolder() / "baksrcfile.restore"; }
  void leaveConfirmedMarker() const {
    full_install::writeRestoreMarker(sandbox_.clientDataFolder(), "C" + sandbox_.updater().string());
  }

 private:
  UpdaterSandbox sandbox_;
};

}  // namespace

TEST(VersionRecord, SuccessKeepsTheCurrentVersionAsBackupAndFailurePutsTheBackupBack) {
  struct Row {
    const char* what;
    const char* rows;  // inserted into the version table
    bool patch;        // a patch to apply: the run succeeds
    Rows expected;
    bool locked = false;  // another process holds the database for two seconds
    bool table = true;
  };
  const Row rows[] = {
      {"success", "('1.2.3', '1.2.2')", true, {{"1.2.3", "1.2.3"}}},
      {"failure", "('1.2.3', '1.2.2')", false, {{"1.2.2", "1.2.2"}}},
      // without waiting, the update would fail with SQLITE_BUSY and write nothing
      {"failure, once another process lets go", "('1.2.3', '1.2.2')", false, {{"1.2.2", "1.2.2"}}, true},
      {"every row gets the first row's value",
       "('2.0', '1.0'), ('3.0', '1.5'), (NULL, NULL)",
       true,
       {{"2.0", "2.0"}, {"3.0", "2.0"}, {std::nullopt, "2.0"}}},
      {"a NULL current version is written as empty text",
       "(NULL, '1.0'), ('4.0', '3.0')",
       true,
       {{std::nullopt, ""}, {"4.0", ""}}},
      {"a NULL backup version is written as empty text", "('1.0', NULL)", false, {{"", std::nullopt}}},
      {"no rows: nothing to change, nothing added", nullptr, false, {}},
      {"a value holding quotes is stored exactly",
       "('1.2''3 beta''; drop table settings; --', '1.0')",
       true,
       {{"1.2'3 beta'; drop table settings; --", "1.2'3 beta'; drop table settings; --"}}},
      {"a missing table is neither written nor created", nullptr, true, {{"no table"}}, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PatchRun run;
    std::string sql = std::string(row.table ? kVersionTable : "") + kOtherTable;
    if (row.rows != nullptr) sql += std::string("insert into autoupdate values") + row.rows + ";";
    executeSql(run.database(), sql);
    const Rows before = run.everythingElse();
    if (row.patch) run.givePatch();
    std::optional<DatabaseLockHolder> holder;
    if (row.locked) holder.emplace(run.database(), std::chrono::seconds(2));
    run.run();
    EXPECT_TRUE(!holder || holder->waitForEnd());
    EXPECT_EQ(run.patchWasApplied(), row.patch);
    EXPECT_EQ(run.versions(), row.expected);
    EXPECT_EQ(run.everythingElse(), before);
  }
}

// A success left to record that a damaged database cannot take is tried once,
// and the run goes on to its own patch, whose success, unrecorded too, the
// next run records once the database is whole again.
TEST(VersionRecord, AConfirmedSuccessThatCannotBeRecordedIsTriedOnceThenDropped) {
  PatchRun patch;
  fs::create_directories(patch.database().parent_path());
  testing_support::writeFile(patch.database(), "not a database, and never made one");
  patch.leaveConfirmedMarker();
  patch.givePatch();
  patch.run();
  EXPECT_TRUE(patch.patchWasApplied());
  EXPECT_EQ(testing_support::readFile(patch.database()), "not a database, and never made one");
  ASSERT_TRUE(fs::exists(patch.confirmedMarker())) << "the run's own success is left to record";

  fs::remove(patch.database());
  executeSql(patch.database(), std::string(kVersionTable) + "insert into autoupdate values('2.1', '2.0');");
  patch.run();
  EXPECT_FALSE(fs::exists(patch.confirmedMarker()));
  EXPECT_EQ(patch.versions(), (Rows{{"2.1", "2.1"}}));
}

TEST(VersionRecord, MissingDatabaseIsCreatedEmpty) {
  PatchRun run;
  ASSERT_FALSE(fs::exists(run.database()));
  run.run();
  ASSERT_TRUE(fs::exists(run.database()));
  EXPECT_EQ(queryRows(run.database(), "select name from sqlite_master"), Rows{});
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
    if (previous_)
      setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
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
  EXPECT_FALSE(patch.recordOutcome(true)) << "no client data folder: the open fails";
  EXPECT_FALSE(fs::exists(clientData)) << "and creates nothing";
  fs::create_directories(clientData);
  EXPECT_FALSE(patch.recordOutcome(true)) << "no table";
  EXPECT_TRUE(fs::exists(database));
  executeSql(database, kVersionTable);
  EXPECT_TRUE(patch.recordOutcome(false)) << "a table without rows";
  EXPECT_EQ(queryRows(database, "select * from autoupdate"), Rows{});
  executeSql(database, "insert into autoupdate values('5', '4')");
  EXPECT_TRUE(patch.recordOutcome(true)) << "one row";
  EXPECT_EQ(queryRows(database, "select * from autoupdate"), (Rows{{"5", "5"}}));
  // A column the client dropped: the select fails.
  executeSql(database,
             "drop table autoupdate; create table autoupdate(v_sversion text); insert into autoupdate values('6')");
  EXPECT_FALSE(patch.recordOutcome(false));
  EXPECT_FALSE(patch.recordOutcome(true));
  EXPECT_EQ(queryRows(database, "select * from autoupdate"), (Rows{{"6"}}));
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
