#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "versiondb/versiondb.h"

TEST(SqlException, CodeNamesCoverLibraryCodesAndNothingElse) {
  EXPECT_STREQ(CSqlException::codeName(0), "SQLITE_OK");
  EXPECT_STREQ(CSqlException::codeName(1), "SQLITE_ERROR");
  EXPECT_STREQ(CSqlException::codeName(5), "SQLITE_BUSY");
  EXPECT_STREQ(CSqlException::codeName(14), "SQLITE_CANTOPEN");
  EXPECT_STREQ(CSqlException::codeName(21), "SQLITE_MISUSE");
  EXPECT_STREQ(CSqlException::codeName(25), "SQLITE_RANGE");
  EXPECT_STREQ(CSqlException::codeName(100), "SQLITE_ROW");
  EXPECT_STREQ(CSqlException::codeName(101), "SQLITE_DONE");
  EXPECT_STREQ(CSqlException::codeName(1000), "SQLDB_ERROR");
  for (int code : {26, 99, 102, 999, 1001, -1, -1000, 2147483647, -2147483647 - 1}) {
    SCOPED_TRACE(code);
    EXPECT_STREQ(CSqlException::codeName(code), "UNKNOWN_ERROR");
  }
}

TEST(SqlException, MessageNamesCodeAndText) {
  {
    SCOPED_TRACE("wrapper error");
    CSqlException failure(1000, "Database not open");
    EXPECT_EQ(failure.code, 1000);
    EXPECT_STREQ(failure.message, "SQLDB_ERROR[1000]: Database not open");
  }
  {
    SCOPED_TRACE("null text ends with the colon and a space");
    CSqlException failure(14, nullptr);
    EXPECT_STREQ(failure.message, "SQLITE_CANTOPEN[14]: ");
  }
  {
    SCOPED_TRACE("unknown code keeps its number");
    CSqlException failure(-7, "odd");
    EXPECT_STREQ(failure.message, "UNKNOWN_ERROR[-7]: odd");
  }
  {
    SCOPED_TRACE("the text is copied, not kept");
    std::string text = "near \"selec\": syntax error";
    CSqlException failure(1, text.c_str());
    text.assign(text.size(), 'x');
    EXPECT_STREQ(failure.message, "SQLITE_ERROR[1]: near \"selec\": syntax error");
  }
}

TEST(SqlException, CopiesOwnTheirMessage) {
  {
    SCOPED_TRACE("copy outlives its source");
    auto source = std::make_unique<CSqlException>(5, "database is locked");
    CSqlException copy(*source);
    EXPECT_NE(copy.message, source->message);
    source.reset();
    EXPECT_EQ(copy.code, 5);
    EXPECT_STREQ(copy.message, "SQLITE_BUSY[5]: database is locked");
  }
  {
    SCOPED_TRACE("a message holding a percent sign is copied as it stands");
    CSqlException source(1, "100% wrong %s");
    CSqlException copy(source);
    EXPECT_STREQ(copy.message, "SQLITE_ERROR[1]: 100% wrong %s");
  }
  {
    SCOPED_TRACE("null message stays null");
    // As the library leaves it when it finds no memory for the message.
    CSqlException source(1, "x");
    sqlite3_free(source.message);
    source.message = nullptr;
    CSqlException copy(source);
    EXPECT_EQ(copy.code, 1);
    EXPECT_EQ(copy.message, nullptr);
  }
}
