// CSqlQuery: the cursor that runQuery hands out, standing on the first row.
#include <sqlite3.h>

#include "versiondb/sql_wrapper_error.h"
#include "versiondb/versiondb.h"

namespace {

void requireColumn(const CSqlQuery& query) {
  if (query.statement == nullptr) throw CSqlException(kWrapperError, kNoStatementText);
  if (query.columnCount < 1) throw CSqlException(kWrapperError, "Invalid field index requested");
}

}  // namespace

CSqlQuery::CSqlQuery(sqlite3* db, sqlite3_stmt* statement, bool eof, int32_t columnCount, bool ownsStatement)
    : db(db), statement(statement), eof(eof), columnCount(columnCount), ownsStatement(ownsStatement) {}

CSqlQuery::CSqlQuery(CSqlQuery&& other) noexcept
    : db(other.db),
      statement(other.statement),
      eof(other.eof),
      columnCount(other.columnCount),
      ownsStatement(other.ownsStatement) {
  other.statement = nullptr;
  other.ownsStatement = false;
}

CSqlQuery::~CSqlQuery() {
  try {
    releaseStatement();
  } catch (...) {
    // A destructor may run while another exception unwinds.
  }
}

const char* CSqlQuery::firstColumnText() {
  requireColumn(*this);
  if (eof) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
}

int32_t CSqlQuery::firstColumnInt() {
  requireColumn(*this);
  if (sqlite3_column_type(statement, 0) == SQLITE_NULL) return 0;
  return sqlite3_column_int(statement, 0);
}

void CSqlQuery::releaseStatement() {
  if (statement == nullptr || !ownsStatement) return;
  int result = sqlite3_finalize(statement);
  // Cleared before the result is looked at: never finalized twice.
  statement = nullptr;
  if (result != SQLITE_OK) throw CSqlException(result, sqlite3_errmsg(db));
}
