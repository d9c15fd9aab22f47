// CSqlException: a code and a message formatted by the library's printf.
#include <sqlite3.h>

#include "versiondb/sql_wrapper_error.h"
#include "versiondb/versiondb.h"

namespace {

// Result codes 0 to 25, in order.
const char* const kPrimaryCodeNames[] = {
    "SQLITE_OK",       "SQLITE_ERROR",      "SQLITE_INTERNAL", "SQLITE_PERM",      "SQLITE_ABORT", "SQLITE_BUSY",
    "SQLITE_LOCKED",   "SQLITE_NOMEM",      "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR", "SQLITE_CORRUPT",
    "SQLITE_NOTFOUND", "SQLITE_FULL",       "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",  "SQLITE_EMPTY", "SQLITE_SCHEMA",
    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT", "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS", "SQLITE_AUTH",
    "SQLITE_FORMAT",   "SQLITE_RANGE",
};
constexpr int32_t kPrimaryCodeCount = static_cast<int32_t>(sizeof kPrimaryCodeNames / sizeof kPrimaryCodeNames[0]);

}  // namespace

CSqlException::CSqlException(int32_t code, const char* text)
    : code(code), message(sqlite3_mprintf("%s[%d]: %s", codeName(code), code, text != nullptr ? text : "")) {}

CSqlException::CSqlException(const CSqlException& other)
    : code(other.code), message(other.message != nullptr ? sqlite3_mprintf("%s", other.message) : nullptr) {}

CSqlException::~CSqlException() {
  if (message != nullptr) {
    sqlite3_free(message);
    message = nullptr;
  }
}

const char* CSqlException::codeName(int32_t code) {
  if (code >= 0 && code < kPrimaryCodeCount) return kPrimaryCodeNames[code];
  switch (code) {
    case SQLITE_ROW:
      return "SQLITE_ROW";
    case SQLITE_DONE:
      return "SQLITE_DONE";
    case kWrapperError:
      return "SQLDB_ERROR";
    default:
      return "UNKNOWN_ERROR";
  }
}
