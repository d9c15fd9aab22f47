#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/sqlite_test_database.h"
#include "tests/support/temp_folder.h"
#include "versiondb/versiondb.h"

using testing_support::DatabaseLockHolder;
using testing_support::queryRows;
using testing_support::SqliteFile;
using testing_support::SqlRow;
using testing_support::TempFolder;

namespace {

// Runs the action and returns what it threw; fails the test when it threw nothing.
CSqlException thrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const CSqlException& failure) {
    return failure;
  }
  ADD_FAILURE() << "no CSqlException";
  return CSqlException(-1, "none");
}

class SqlDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqliteFile(file()).execute(
        "create table v(n integer, s text);"
        "insert into v values(NULL, NULL);"
        "insert into v values(42, '17');"
        "insert into v values(3, 'x');");
  }
  std::string file() const { return (temp_ / "data.db").string(); }

  TempFolder temp_;
};

}  // namespace

TEST(SqlDatabase, StartsClosedWithTheDefaultBusyTimeout) {
  CSqlDatabase database;
  EXPECT_EQ(database.handle, nullptr);
  EXPECT_EQ(database.busyTimeoutMs, 60000);
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST(SqlDatabase, OpenCreatesAMissingFileButNoFolder) {
  TempFolder temp;
  {
    SCOPED_TRACE("missing file: created, empty");
    std::string path = (temp / "new.db").string();
    CSqlDatabase database;
    database.openFile(path.c_str());
    EXPECT_NE(database.handle, nullptr);
    EXPECT_EQ(database.runScalarQuery("select count(*) from sqlite_master"), 0);
    database.closeFile();
    EXPECT_EQ(database.handle, nullptr);
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  {
    SCOPED_TRACE("missing folder: SQLITE_CANTOPEN");
    std::string path = (temp / "missing" / "new.db").string();
    CSqlDatabase database;
    CSqlException failure = thrownBy([&] { database.openFile(path.c_str()); });
    EXPECT_EQ(failure.code, 14);
    EXPECT_EQ(std::string(failure.message).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << failure.message;
    EXPECT_FALSE(std::filesystem::exists(temp / "missing"));
    // The handle the library stored is released by the destructor (the leak check shows it).
  }
}

TEST(SqlDatabase, EveryOperationNeedsAnOpenConnection) {
  TempFolder temp;
  std::string path = (temp / "a.db").string();
  CSqlDatabase neverOpened;
  CSqlDatabase closed;
  closed.openFile(path.c_str());
  closed.closeFile();
  for (CSqlDatabase* database : {&neverOpened, &closed}) {
    SCOPED_TRACE(database == &neverOpened ? "never opened" : "closed");
    const std::function<void()> operations[] = {
        [&] { database->runStatement("create table t(a)"); },
        [&] { database->runQuery("select 1"); },
        [&] { database->runScalarQuery("select 1"); },
        [&] { database->prepareStatement("select 1"); },
    };
    for (const auto& operation : operations) {
      CSqlException failure = thrownBy(operation);
      EXPECT_EQ(failure.code, 1000);
      EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Database not open");
    }
  }
  EXPECT_TRUE(queryRows(path, "select name from sqlite_master").empty());
}

TEST_F(SqlDatabaseTest, ScalarQueryReadsTheFirstColumnOfTheFirstRow) {
  CSqlDatabase database;
  database.openFile(file().c_str());
  EXPECT_EQ(database.runScalarQuery("select n from v where rowid = 1"), 0) << "NULL";
  EXPECT_EQ(database.runScalarQuery("select s from v where rowid = 2"), 17) << "digits as text";
  EXPECT_EQ(database.runScalarQuery("select n, s from v where n is not null order by n desc"), 42) << "several rows";
  EXPECT_EQ(database.runScalarQuery("select s from v where rowid = 3"), 0) << "text without digits";
  {
    SCOPED_TRACE("no row");
    CSqlException failure = thrownBy([&] { database.runScalarQuery("select n from v where 0"); });
    EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Invalid scalar query");
  }
  {
    SCOPED_TRACE("no column");
    CSqlException failure = thrownBy([&] { database.runScalarQuery("create table w(a)"); });
    EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Invalid scalar query");
  }
  {
    SCOPED_TRACE("no statement in the text");
    CSqlException failure = thrownBy([&] { database.runScalarQuery("  -- nothing\n"); });
    EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Null Virtual Machine pointer");
  }
  // Every failed scalar query finalized its statement, or this close would be refused.
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST_F(SqlDatabaseTest, QueryStandsOnTheFirstRow) {
  CSqlDatabase database;
  database.openFile(file().c_str());
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
  {
    SCOPED_TRACE("a failing first step leaves no statement");
    database.runStatement("create table u(a unique); insert into u values(1)");
    CSqlException failure = thrownBy([&] { database.runQuery("insert into u values(1) returning a"); });
    EXPECT_EQ(failure.code, SQLITE_CONSTRAINT);
    EXPECT_NE(std::string(failure.message).find("UNIQUE"), std::string::npos) << failure.message;
  }
  database.closeFile();
  EXPECT_EQ(database.handle, nullptr);
}

TEST_F(SqlDatabaseTest, TwoStatementsInOneText) {
  CSqlDatabase database;
  database.openFile(file().c_str());
  {
    SCOPED_TRACE("runStatement runs both and counts the last change");
    int changed = database.runStatement("update v set s = 'a'; update v set s = 'b' where n is not null");
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(queryRows(file(), "select s from v order by rowid"), (std::vector<SqlRow>{{"a"}, {"b"}, {"b"}}));
  }
  {
    SCOPED_TRACE("runQuery runs only the first");
    { CSqlQuery query = database.runQuery("update v set s = 'c'; update v set s = 'd'"); }
    EXPECT_EQ(queryRows(file(), "select s from v order by rowid"), (std::vector<SqlRow>{{"c"}, {"c"}, {"c"}}));
  }
}

TEST_F(SqlDatabaseTest, SyntaxErrorsCarryTheLibraryText) {
  CSqlDatabase database;
  database.openFile(file().c_str());
  {
    CSqlException failure = thrownBy([&] { database.runStatement("updte v set s = 1"); });
    EXPECT_EQ(failure.code, 1);
    EXPECT_STREQ(failure.message, "SQLITE_ERROR[1]: near \"updte\": syntax error");
  }
  {
    CSqlException failure = thrownBy([&] { database.prepareStatement("selec 1"); });
    EXPECT_EQ(failure.code, 1);
    EXPECT_STREQ(failure.message, "SQLITE_ERROR[1]: near \"selec\": syntax error");
  }
  {
    SCOPED_TRACE("the connection stays usable");
    EXPECT_EQ(database.runStatement("update v set s = 'ok' where rowid = 1"), 1);
  }
}

TEST_F(SqlDatabaseTest, CloseIsRefusedWhileACursorLives) {
  CSqlDatabase database;
  database.openFile(file().c_str());
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
  {
    SCOPED_TRACE("a lock held past the timeout fails with SQLITE_BUSY");
    SqliteFile other(file());
    other.execute("BEGIN EXCLUSIVE");
    CSqlDatabase database;
    database.busyTimeoutMs = 50;
    database.openFile(file().c_str());
    CSqlException failure = thrownBy([&] { database.runStatement("update v set s = 'late'"); });
    EXPECT_EQ(failure.code, 5);
    other.execute("COMMIT");
  }
  {
    SCOPED_TRACE("a lock let go within the timeout is waited for");
    DatabaseLockHolder holder(file(), std::chrono::milliseconds(300));
    CSqlDatabase database;
    database.openFile(file().c_str());
    EXPECT_EQ(database.runStatement("update v set s = 'waited'"), 3);
    EXPECT_TRUE(holder.waitForEnd());
  }
  EXPECT_EQ(queryRows(file(), "select distinct s from v"), (std::vector<SqlRow>{{"waited"}}));
}

TEST(SqlDatabase, SecondOpenReplacesTheFirstConnection) {
  TempFolder temp;
  std::string first = (temp / "first.db").string();
  std::string second = (temp / "second.db").string();
  CSqlDatabase database;
  database.openFile(first.c_str());
  database.runStatement("create table one(a)");
  database.openFile(second.c_str());
  EXPECT_EQ(database.runScalarQuery("select count(*) from sqlite_master"), 0);
}
