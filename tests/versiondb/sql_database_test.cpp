#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/sqlite_test_database.h"
#include "tests/support/temp_folder.h"
#include "tests/versiondb/thrown_by.h"
#include "versiondb/versiondb.h"

using testing_support::DatabaseLockHolder;
using testing_support::queryRows;
using testing_support::SqliteFile;
using testing_support::SqlRow;
using testing_support::TempFolder;
using Rows = std::vector<SqlRow>;

namespace {

// A connection to a file with three rows, open when the test starts.
class SqlDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqliteFile(file()).execute(
        "create table v(n integer, s text);"
        "insert into v values(NULL, NULL);"
        "insert into v values(42, '17');"
        "insert into v values(3, 'x');");
    database.openFile(file().c_str());
  }
  std::string file() const { return (temp_ / "data.db").string(); }

  TempFolder temp_;
  CSqlDatabase database;
};

}  // namespace

TEST(SqlDatabase, OpenCreatesAMissingFileButNoFolderAndASecondOpenReplacesTheFirst) {
  TempFolder temp;
  CSqlDatabase database;
  database.openFile((temp / "first.db").c_str());
  EXPECT_NE(database.handle, nullptr);
  EXPECT_EQ(database.runScalarQuery("select count(*) from sqlite_master"), 0) << "created, empty";
  database.runStatement("create table one(a)");
  database.openFile((temp / "second.db").c_str());
  EXPECT_EQ(database.runScalarQuery("select count(*) from sqlite_master"), 0) << "the second file";
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
  EXPECT_TRUE(std::filesystem::exists(temp / "first.db") && std::filesystem::exists(temp / "second.db"));

  SCOPED_TRACE("missing folder: SQLITE_CANTOPEN");
  CSqlException failure = thrownBy([&] { database.openFile((temp / "missing" / "new.db").c_str()); });
  EXPECT_EQ(failure.code, 14);
  EXPECT_EQ(std::string(failure.message).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << failure.message;
  EXPECT_FALSE(std::filesystem::exists(temp / "missing"));
  // The handle the library stored is released by the destructor (the leak check shows it).
}

TEST(SqlDatabase, StartsClosedAndEveryOperationNeedsAnOpenConnection) {
  TempFolder temp;
  std::string path = (temp / "a.db").string();
  CSqlDatabase neverOpened;
  EXPECT_EQ(neverOpened.handle, nullptr);
  EXPECT_EQ(neverOpened.busyTimeoutMs, 60000);
  neverOpened.closeFile();
  CSqlDatabase closed;
  closed.openFile(path.c_str());
  closed.closeFile();
  for (CSqlDatabase* database : {&neverOpened, &closed}) {
    SCOPED_TRACE(database == &neverOpened ? "never opened" : "closed");
    EXPECT_EQ(database->handle, nullptr);
    for (const auto& operation : {std::function<void()>([&] { database->runStatement("create table t(a)"); }),
                                  std::function<void()>([&] { database->runQuery("select 1"); }),
                                  std::function<void()>([&] { database->runScalarQuery("select 1"); }),
                                  std::function<void()>([&] { database->prepareStatement("select 1"); })}) {
      CSqlException failure = thrownBy(operation);
      EXPECT_EQ(failure.code, 1000);
      EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Database not open");
    }
  }
  EXPECT_TRUE(queryRows(path, "select name from sqlite_master").empty());
}

TEST_F(SqlDatabaseTest, ScalarQueryReadsTheFirstColumnOfTheFirstRow) {
  EXPECT_EQ(database.runScalarQuery("select n from v where rowid = 1"), 0) << "NULL";
  EXPECT_EQ(database.runScalarQuery("select s from v where rowid = 2"), 17) << "digits as text";
  EXPECT_EQ(database.runScalarQuery("select n, s from v where n is not null order by n desc"), 42) << "several rows";
  EXPECT_EQ(database.runScalarQuery("select s from v where rowid = 3"), 0) << "text without digits";
  for (auto [sql, message] : {std::pair{"select n from v where 0", "SQLDB_ERROR[1000]: Invalid scalar query"},
                              std::pair{"create table w(a)", "SQLDB_ERROR[1000]: Invalid scalar query"},
                              std::pair{"  -- nothing\n", "SQLDB_ERROR[1000]: Null Virtual Machine pointer"}}) {
    EXPECT_STREQ(thrownBy([&, sql = sql] { database.runScalarQuery(sql); }).message, message) << sql;
  }
  // Every failed scalar query finalized its statement, or this close would be refused.
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST_F(SqlDatabaseTest, QueryStandsOnTheFirstRow) {
  {
    CSqlQuery query = database.runQuery("select s, n from v order by rowid desc");
    EXPECT_EQ(query.db, database.handle);
    EXPECT_FALSE(query.eof);
    EXPECT_EQ(query.columnCount, 2);
    EXPECT_TRUE(query.ownsStatement);
    EXPECT_STREQ(query.firstColumnText(), "x");
  }
  {
    CSqlQuery query = database.runQuery("select s, n from v where 0");
    EXPECT_TRUE(query.eof);
    EXPECT_EQ(query.columnCount, 2);
    EXPECT_EQ(query.firstColumnText(), nullptr);
  }
  SCOPED_TRACE("a failing first step leaves no statement");
  database.runStatement("create table u(a unique); insert into u values(1)");
  CSqlException failure = thrownBy([&] { database.runQuery("insert into u values(1) returning a"); });
  EXPECT_EQ(failure.code, SQLITE_CONSTRAINT);
  EXPECT_NE(std::string(failure.message).find("UNIQUE"), std::string::npos) << failure.message;
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST_F(SqlDatabaseTest, TwoStatementsInOneText) {
  SCOPED_TRACE("runStatement runs both and counts the last change");
  EXPECT_EQ(database.runStatement("update v set s = 'a'; update v set s = 'b' where n is not null"), 2);
  EXPECT_EQ(queryRows(file(), "select s from v order by rowid"), (Rows{{"a"}, {"b"}, {"b"}}));
  SCOPED_TRACE("runQuery runs only the first");
  { CSqlQuery query = database.runQuery("update v set s = 'c'; update v set s = 'd'"); }
  EXPECT_EQ(queryRows(file(), "select s from v order by rowid"), (Rows{{"c"}, {"c"}, {"c"}}));
}

TEST_F(SqlDatabaseTest, SyntaxErrorsCarryTheLibraryText) {
  const CSqlException statement = thrownBy([&] { database.runStatement("updte v set s = 1"); });
  const CSqlException prepared = thrownBy([&] { database.prepareStatement("selec 1"); });
  EXPECT_EQ(statement.code, 1);
  EXPECT_STREQ(statement.message, "SQLITE_ERROR[1]: near \"updte\": syntax error");
  EXPECT_EQ(prepared.code, 1);
  EXPECT_STREQ(prepared.message, "SQLITE_ERROR[1]: near \"selec\": syntax error");
  EXPECT_EQ(database.runStatement("update v set s = 'ok' where rowid = 1"), 1) << "the connection stays usable";
}

TEST_F(SqlDatabaseTest, CloseIsRefusedWhileACursorLives) {
  sqlite3* handle = database.handle;
  {
    CSqlQuery query = database.runQuery("select n from v");
    CSqlException failure = thrownBy([&] { database.closeFile(); });
    EXPECT_EQ(failure.code, 1000);
    EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Unable to close database");
    EXPECT_EQ(database.handle, handle);
    EXPECT_EQ(database.runScalarQuery("select count(*) from v"), 3) << "still open";
  }
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST_F(SqlDatabaseTest, LockedDatabaseWaitsUpToTheBusyTimeout) {
  database.closeFile();
  {
    SCOPED_TRACE("a lock held past the timeout fails with SQLITE_BUSY");
    SqliteFile other(file());
    other.execute("BEGIN EXCLUSIVE");
    database.busyTimeoutMs = 50;
    database.openFile(file().c_str());
    EXPECT_EQ(thrownBy([&] { database.runStatement("update v set s = 'late'"); }).code, 5);
    database.closeFile();
    other.execute("COMMIT");
  }
  SCOPED_TRACE("a lock let go within the timeout is waited for");
  DatabaseLockHolder holder(file(), std::chrono::milliseconds(300));
  CSqlDatabase waiting;
  waiting.openFile(file().c_str());
  EXPECT_EQ(waiting.runStatement("update v set s = 'waited'"), 3);
  EXPECT_TRUE(holder.waitForEnd());
  EXPECT_EQ(queryRows(file(), "select distinct s from v"), (Rows{{"waited"}}));
}
