// The search for the end of central directory record.
#pragma once

#include <cstdint>

struct ZipSource;

// The data position of the record's signature, nearest the end of the data and
// no more than 65535 bytes before it; 0 means not found (a record at the first
// byte is never taken).
uint32_t FindEndRecord(ZipSource* source);
