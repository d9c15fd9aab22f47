// The central directory of one open archive and the walk over its headers.
#pragma once

#include <cstdint>
#include <memory>

#include "zip/central_entry_info.h"
#include "zip/dir_result.h"

struct ZipSource;
struct EntryReadState;
struct CentralIndex;

constexpr uint32_t kCentralHeaderSize = 46;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;

struct ZipDirectory {
  ZipSource* source = nullptr;  // owned
  uint32_t entryCount = 0;
  uint32_t commentLength = 0;
  uint32_t bytesBeforeArchive = 0;
  int32_t currentIndex = 0;
  uint32_t currentPosition = 0;  // archive position of the current central header
  int32_t currentValid = 0;
  uint32_t endRecordPosition = 0;
  uint32_t centralDirSize = 0;
  uint32_t centralDirOffset = 0;
  CentralEntryInfo current;
  uint32_t currentLocalHeaderOffset = 0;
  EntryReadState* openStream = nullptr;  // owned

  // Built on first need: what the walk over the whole directory gives, so that
  // look-ups by name and jumps between entries cost no walk. Null when not built.
  std::unique_ptr<CentralIndex> index;
  bool indexUnusable = false;  // building met a read failure; the plain walk answers

  ZipDirectory();
  ~ZipDirectory();
};

// The file position of an archive position. Positions wrap at 32 bits, as the
// archive's own fields do.
uint32_t ArchiveToFilePosition(const ZipDirectory* directory, uint32_t archivePosition);

// Takes the source over; on failure closes it and returns null. Sets LastOpenResult.
ZipDirectory* ZipDirectoryOpen(ZipSource* source);

// Closes an open entry stream and the source, and frees the state. Null is allowed.
void ZipDirectoryClose(ZipDirectory* directory);

// Reads the header at currentPosition; does not move the current entry. Outputs are optional.
DirResult ReadCentralEntryInfo(ZipDirectory* directory, CentralEntryInfo* info, uint32_t* localHeaderOffset,
                               char* nameArea, uint32_t nameAreaSize);

DirResult SeekFirstCentralEntry(ZipDirectory* directory);
DirResult SeekNextCentralEntry(ZipDirectory* directory);
