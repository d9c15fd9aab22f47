// The fields of one central directory header, each widened to 32 bits.
#pragma once

#include <cstdint>

struct CentralEntryInfo {
  uint32_t versionMadeBy = 0;
  uint32_t versionNeeded = 0;
  uint32_t flags = 0;
  uint32_t method = 0;
  uint32_t dosDateTime = 0;  // DOS time in the low half, DOS date in the high half
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t nameLength = 0;
  uint32_t extraLength = 0;
  uint32_t commentLength = 0;
  uint32_t diskNumberStart = 0;
  uint32_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  // The DOS stamp split up; month counts from 0.
  uint32_t second = 0;
  uint32_t minute = 0;
  uint32_t hour = 0;
  uint32_t day = 0;
  uint32_t month = 0;
  uint32_t year = 0;
};
