// CSqlText: SQL text formatted by the library, freed by the library.
#include <sqlite3.h>

#include <cstdarg>

#include "versiondb/versiondb.h"

CSqlText::~CSqlText() {
  if (text != nullptr) {
    sqlite3_free(text);
    text = nullptr;
  }
}

void CSqlText::format(const char* format, ...) {
  if (text != nullptr) {
    sqlite3_free(text);
    text = nullptr;
  }
  va_list arguments;
  va_start(arguments, format);
  text = sqlite3_vmprintf(format, arguments);
  va_end(arguments);
}
