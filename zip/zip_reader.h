// The reader object behind a reader handle, and its ANSI entry records.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "zip/zip.h"

struct ZipDirectory;

// The bytes of a stored name that both records hold: the wide record has room
// for 259 units with the terminator, and no character takes fewer bytes than
// units. A longer name is cut to this in both, between two characters.
constexpr uint32_t ZipLongestRecordName = ZipMaxPath - 2;

// The ANSI form of ZipEntryRecord, in the same field order.
struct ZipEntryRecordA {
  int32_t index;
  char name[ZipMaxPath];  // as stored, cut to ZipLongestRecordName bytes, terminated
  uint32_t attributes;
  platform::FileTime accessTime;
  platform::FileTime creationTime;
  platform::FileTime writeTime;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
};

struct ZipReader {
  ZipDirectory* directory = nullptr;  // owned
  int32_t openEntryIndex = -1;        // the entry whose stream is open; -1 between calls
  ZipEntryRecordA cachedEntry{};      // the record last built by index
  int32_t cachedIndex = -1;
  char16_t rootFolder[ZipMaxPath] = {};
  // The folder below the root that the last file entry needed, already made:
  // entries of one folder come in a row, and each would ask for it again.
  char16_t lastFileFolder[ZipMaxPath] = {};

  ZipResult ExtractEntry(int32_t index, const char16_t* targetPath);
};

// Index -1 gives the entry count in record.index. The record is written only on ZipOk.
ZipResult ZipReaderGetEntryA(ZipReader* reader, ZipEntryRecordA* record, int32_t index);

// Looks the name up without regard to ASCII case; the first match in directory order wins.
ZipResult ZipReaderFindEntryA(ZipReader* reader, const char16_t* name, int32_t* index, ZipEntryRecordA* record);

// Closes what the reader holds open and gives up its directory. Always ZipOk.
ZipResult ZipReaderRelease(ZipReader* reader);

// Creates every folder of relativePath under baseFolder, outermost first; failures are passed over.
void CreateDirectoryPath(const char16_t* baseFolder, const char16_t* relativePath);
