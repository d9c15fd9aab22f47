#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <utility>

#include "tests/support/sqlite_test_database.h"
#include "tests/support/temp_folder.h"
#include "tests/versiondb/thrown_by.h"
#include "versiondb/versiondb.h"

using testing_support::SqliteFile;
using testing_support::TempFolder;

namespace {

// A statement of this connection stepped once, the way the connection hands it to a cursor.
CSqlQuery stepOnce(sqlite3* db, const char* sql, bool ownsStatement = true) {
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK);
  int step = sqlite3_step(statement);
  EXPECT_TRUE(step == SQLITE_ROW || step == SQLITE_DONE);
  return CSqlQuery(db, statement, step == SQLITE_DONE, sqlite3_column_count(statement), ownsStatement);
}

int openStatementCount(sqlite3* db) {
  int count = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s)) ++count;
  return count;
}

}  // namespace

TEST(SqlText, FormatsWithTheLibraryAndReplacesItsText) {
  CSqlText sql;
  EXPECT_EQ(sql.text, nullptr);
  sql.format("select v_sversion from autoupdate");
  EXPECT_STREQ(sql.text, "select v_sversion from autoupdate");
  sql.format("update autoupdate set v_sbakversion='%s'", static_cast<const char*>(nullptr));
  EXPECT_STREQ(sql.text, "update autoupdate set v_sbakversion=''") << "a null argument for %s gives empty quotes";
  sql.format("update autoupdate set v_sversion='%q'", "1.2'3");
  EXPECT_STREQ(sql.text, "update autoupdate set v_sversion='1.2''3'") << "%q doubles quotes";
  sql.format("%d-%s", -12, "x");
  EXPECT_STREQ(sql.text, "-12-x");
  // Leak checking under the sanitizer shows that each replaced text was freed.
}

TEST(SqlQuery, ReadsColumnZeroOfTheFirstRow) {
  TempFolder temp;
  SqliteFile file(temp / "a.db");
  file.execute("create table t(a, b); insert into t values('1.2.3', 7); insert into t values(NULL, NULL);");
  {
    SCOPED_TRACE("text and number");
    CSqlQuery query = stepOnce(file.handle(), "select a, b from t where a is not null");
    EXPECT_FALSE(query.eof);
    EXPECT_EQ(query.columnCount, 2);
    EXPECT_STREQ(query.firstColumnText(), "1.2.3");
    CSqlQuery number = stepOnce(file.handle(), "select b from t where b is not null");
    EXPECT_STREQ(number.firstColumnText(), "7");
    EXPECT_EQ(number.firstColumnInt(), 7);
  }
  {
    SCOPED_TRACE("NULL");
    CSqlQuery query = stepOnce(file.handle(), "select a from t where b is null");
    EXPECT_EQ(query.firstColumnText(), nullptr);
    EXPECT_EQ(query.firstColumnInt(), 0);
  }
  EXPECT_EQ(openStatementCount(file.handle()), 0);
}

TEST(SqlQuery, ColumnReadsRefuseAMissingStatementOrColumn) {
  TempFolder temp;
  SqliteFile file(temp / "a.db");
  CSqlQuery noStatement(file.handle(), nullptr, true, 0, true);
  CSqlQuery noColumn = stepOnce(file.handle(), "create table t(a)");
  EXPECT_EQ(noColumn.columnCount, 0);
  for (auto [query, message] : {std::pair{&noStatement, "SQLDB_ERROR[1000]: Null Virtual Machine pointer"},
                                std::pair{&noColumn, "SQLDB_ERROR[1000]: Invalid field index requested"}}) {
    for (const CSqlException& failure :
         {thrownBy([q = query] { q->firstColumnText(); }), thrownBy([q = query] { q->firstColumnInt(); })}) {
      EXPECT_EQ(failure.code, 1000);
      EXPECT_STREQ(failure.message, message);
    }
  }
  EXPECT_NE(noColumn.statement, nullptr);
}

TEST(SqlQuery, ReleasesAnOwnedStatementExactlyOnce) {
  TempFolder temp;
  SqliteFile file(temp / "a.db");
  {
    SCOPED_TRACE("twice finalizes once");
    CSqlQuery query = stepOnce(file.handle(), "select 1");
    EXPECT_EQ(openStatementCount(file.handle()), 1);
    query.releaseStatement();
    EXPECT_EQ(query.statement, nullptr);
    EXPECT_TRUE(query.ownsStatement);
    EXPECT_EQ(openStatementCount(file.handle()), 0);
    query.releaseStatement();
  }
  {
    SCOPED_TRACE("a borrowed statement is left alone");
    sqlite3_stmt* statement = nullptr;
    {
      CSqlQuery query = stepOnce(file.handle(), "select 1", false);
      statement = query.statement;
      query.releaseStatement();
      EXPECT_EQ(query.statement, statement);
    }
    EXPECT_EQ(openStatementCount(file.handle()), 1);
    EXPECT_EQ(sqlite3_finalize(statement), SQLITE_OK);
  }
  {
    SCOPED_TRACE("a moved-from cursor owns nothing");
    CSqlQuery source = stepOnce(file.handle(), "select 'kept'");
    CSqlQuery target(std::move(source));
    EXPECT_EQ(source.statement, nullptr);
    EXPECT_FALSE(source.ownsStatement);
    source.releaseStatement();
    EXPECT_STREQ(target.firstColumnText(), "kept");
    EXPECT_EQ(openStatementCount(file.handle()), 1);
  }
  EXPECT_EQ(openStatementCount(file.handle()), 0) << "the destructor finalizes";
}
