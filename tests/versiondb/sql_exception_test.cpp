#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "versiondb/versiondb.h"

TEST(SqlException, CodeNamesCoverLibraryCodesAndNothingElse) {
  const std::pair<int, const char*> named[] = {
      {0, "SQLITE_OK"},     {1, "SQLITE_ERROR"}, {5, "SQLITE_BUSY"},   {14, "SQLITE_CANTOPEN"}, {21, "SQLITE_MISUSE"},
      {25, "SQLITE_RANGE"}, {100, "SQLITE_ROW"}, {101, "SQLITE_DONE"}, {1000, "SQLDB_ERROR"},
  };
  for (const auto& [code, name] : named) EXPECT_STREQ(CSqlException::codeName(code), name) << code;
  for (int code : {26, 99, 102, 999, 1001, -1, -1000, 2147483647, -2147483647 - 1}) {
    EXPECT_STREQ(CSqlException::codeName(code), "UNKNOWN_ERROR") << code;
  }
}

TEST(SqlException, MessageNamesCodeAndCopiedTextAndCopiesOwnTheirs) {
  struct Row {
    int code;
    const char* text;
    const char* message;
  };
  for (const Row& row : {Row{1000, "Database not open", "SQLDB_ERROR[1000]: Database not open"},
                         Row{14, nullptr, "SQLITE_CANTOPEN[14]: "},  // null text ends with the colon and a space
                         Row{-7, "odd", "UNKNOWN_ERROR[-7]: odd"},   // an unknown code keeps its number
                         Row{1, "near \"selec\": syntax error", "SQLITE_ERROR[1]: near \"selec\": syntax error"},
                         Row{5, "100% wrong %s", "SQLITE_BUSY[5]: 100% wrong %s"}}) {
    SCOPED_TRACE(row.message);
    std::string text = row.text != nullptr ? row.text : "";
    auto source = std::make_unique<CSqlException>(row.code, row.text != nullptr ? text.c_str() : nullptr);
    text.assign(text.size(), 'x');  // the text is copied, not kept
    EXPECT_EQ(source->code, row.code);
    EXPECT_STREQ(source->message, row.message);
    CSqlException copy(*source);
    EXPECT_NE(copy.message, source->message);
    source.reset();
    EXPECT_EQ(copy.code, row.code);
    EXPECT_STREQ(copy.message, row.message) << "the copy outlives its source, percent signs as they stand";
  }
  SCOPED_TRACE("a null message stays null, as the library leaves it when it finds no memory");
  CSqlException source(1, "x");
  sqlite3_free(source.message);
  source.message = nullptr;
  CSqlException copy(source);
  EXPECT_EQ(copy.code, 1);
  EXPECT_EQ(copy.message, nullptr);
}
