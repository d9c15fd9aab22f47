// The version database access: a small object wrapper over the SQLite library.
//
// Every failure is thrown by value as CSqlException. Destructors never throw.
// Owners read the public fields directly (the connection hands the cursor its
// state field by field, and the version record reads the SQL text as it is).
#pragma once

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// A failure of the wrapper (code 1000) or of the library (its result code),
// with the message "<code name>[<code>]: <text>".
class CSqlException {
 public:
  // text may be null (counts as ""); only its formatted copy is kept.
  CSqlException(int32_t code, const char* text);
  CSqlException(const CSqlException& other);
  CSqlException& operator=(const CSqlException&) = delete;
  virtual ~CSqlException();

  // The fixed name of a result code; "UNKNOWN_ERROR" for codes without one.
  static const char* codeName(int32_t code);

  int32_t code;
  // Owned; from sqlite3_mprintf; null when the library found no memory.
  char* message = nullptr;
};

// One SQL text built with the library's printf-style formatting (so "%q" and
// "%Q" work as the library defines them).
class CSqlText {
 public:
  CSqlText() = default;
  CSqlText(const CSqlText&) = delete;
  CSqlText& operator=(const CSqlText&) = delete;
  ~CSqlText();

  // Replaces the text. The old text is freed first, so no argument may point into it.
  void format(const char* format, ...);

  // Owned; from sqlite3_vmprintf; null when empty or out of memory.
  char* text = nullptr;
};

// A query's statement after its first step, reading column 0 of that row.
// Moved, never copied: a moved-from cursor owns nothing.
class CSqlQuery {
 public:
  CSqlQuery(sqlite3* db, sqlite3_stmt* statement, bool eof, int32_t columnCount, bool ownsStatement);
  CSqlQuery(CSqlQuery&& other) noexcept;
  CSqlQuery(const CSqlQuery&) = delete;
  CSqlQuery& operator=(const CSqlQuery&) = delete;
  CSqlQuery& operator=(CSqlQuery&&) = delete;
  virtual ~CSqlQuery();

  // Column 0 of the row as the library's UTF-8 text; null for NULL or when
  // there is no row. Valid only while the statement lives.
  const char* firstColumnText();
  // Column 0 of the row as an integer; 0 for NULL.
  int32_t firstColumnInt();
  // Finalizes an owned statement once; throws when the library reports an error.
  void releaseStatement();

  sqlite3* db;
  sqlite3_stmt* statement;
  bool eof;
  int32_t columnCount;
  bool ownsStatement;
};

// One connection to one database file.
class CSqlDatabase {
 public:
  CSqlDatabase() = default;
  CSqlDatabase(const CSqlDatabase&) = delete;
  CSqlDatabase& operator=(const CSqlDatabase&) = delete;
  virtual ~CSqlDatabase();

  // Opens (or creates) the file, a UTF-8 name, and sets the busy timeout.
  // An already open connection is closed first.
  void openFile(const char* fileName);
  // Runs every statement of the text; returns the rows changed by the last
  // completed insert, update or delete.
  int32_t runStatement(const char* sql);
  // Prepares the first statement of the text and steps it once.
  CSqlQuery runQuery(const char* sql);
  // The integer in the first column of the first row.
  int32_t runScalarQuery(const char* sql);
  // Compiles the first statement of the text; the caller owns and finalizes
  // it. Null for a text without a statement.
  sqlite3_stmt* prepareStatement(const char* sql);
  // Closes an open connection; refused while a statement of it lives.
  void closeFile();

  sqlite3* handle = nullptr;
  int32_t busyTimeoutMs = 60000;
};
