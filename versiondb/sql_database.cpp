// CSqlDatabase: one connection, turning every library failure into CSqlException.
#include <sqlite3.h>

#include "versiondb/sql_wrapper_error.h"
#include "versiondb/versiondb.h"

namespace {

void requireOpen(const sqlite3* handle) {
  if (handle == nullptr) throw CSqlException(kWrapperError, "Database not open");
}

// The library's message for the connection, read now: the exception keeps its own copy.
[[noreturn]] void throwLibraryError(int result, sqlite3* handle) {
  throw CSqlException(result, sqlite3_errmsg(handle));
}

}  // namespace

CSqlDatabase::~CSqlDatabase() {
  try {
    closeFile();
  } catch (...) {
    // Nothing may leave a destructor; the handle stays unreleased.
  }
}

void CSqlDatabase::openFile(const char* fileName) {
  // A second open would otherwise lose the first handle.
  closeFile();
  int result = sqlite3_open(fileName, &handle);
  // A failed open may still store a handle; closeFile or the destructor releases it.
  if (result != SQLITE_OK) throwLibraryError(result, handle);
  sqlite3_busy_timeout(handle, busyTimeoutMs);
}

int32_t CSqlDatabase::runStatement(const char* sql) {
  requireOpen(handle);
  char* errorText = nullptr;
  int result = sqlite3_exec(handle, sql, nullptr, nullptr, &errorText);
  if (result == SQLITE_OK) return sqlite3_changes(handle);
  CSqlException failure(result, errorText);
  if (errorText != nullptr) sqlite3_free(errorText);
  throw failure;
}

sqlite3_stmt* CSqlDatabase::prepareStatement(const char* sql) {
  requireOpen(handle);
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  // A null text (formatting out of memory) is taken as a text without a statement.
  int result = sqlite3_prepare_v2(handle, sql != nullptr ? sql : "", -1, &statement, &tail);
  if (result != SQLITE_OK) throwLibraryError(result, handle);
  return statement;
}

CSqlQuery CSqlDatabase::runQuery(const char* sql) {
  requireOpen(handle);
  sqlite3_stmt* statement = prepareStatement(sql);
  // A text without a statement gives a cursor without one; its reads then
  // answer "Null Virtual Machine pointer".
  if (statement == nullptr) return CSqlQuery(handle, nullptr, true, 0, true);
  int step = sqlite3_step(statement);
  if (step == SQLITE_DONE || step == SQLITE_ROW) {
    return CSqlQuery(handle, statement, step == SQLITE_DONE, sqlite3_column_count(statement), true);
  }
  // The finalize repeats the step's error; its message is read after it.
  int code = sqlite3_finalize(statement);
  throwLibraryError(code, handle);
}

int32_t CSqlDatabase::runScalarQuery(const char* sql) {
  CSqlQuery query = runQuery(sql);
  if (query.statement == nullptr) throw CSqlException(kWrapperError, kNoStatementText);
  if (query.eof || query.columnCount < 1) throw CSqlException(kWrapperError, "Invalid scalar query");
  return query.firstColumnInt();
}

void CSqlDatabase::closeFile() {
  if (handle == nullptr) return;
  if (sqlite3_close(handle) != SQLITE_OK) throw CSqlException(kWrapperError, "Unable to close database");
  handle = nullptr;
}
