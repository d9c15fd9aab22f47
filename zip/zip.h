// The zip archive reader's handle interface: open an archive, count, list and
// look up its entries, extract one entry at a time, close the handle.
#pragma once

#include <cstdint>

#include "platform/platform.h"

using ZipResult = int32_t;

constexpr ZipResult ZipOk = 0;
constexpr ZipResult ZipOpenFailed = 0x200;
constexpr ZipResult ZipMapFailed = 0x300;
constexpr ZipResult ZipExtractFailed = 0x400;
constexpr ZipResult ZipNotFound = 0x500;
constexpr ZipResult ZipBadLocalHeader = 0x700;
constexpr ZipResult ZipExtraUnreadable = 0x800;
constexpr ZipResult ZipBadArgument = 0x10000;
constexpr ZipResult ZipWrongKind = 0x80000;
constexpr ZipResult ZipAlreadyOpen = 0x1000000;

constexpr int32_t ZipHandleKindReader = 1;
constexpr int32_t ZipHandleKindWriter = 2;

constexpr int ZipMaxPath = 260;  // units per path and per entry name, terminator included

struct ZipReaderHandle {
  int32_t kind = 0;        // 1 reader, 2 writer
  void* object = nullptr;  // the ZipReader, or the ZipWriter
};

struct ZipEntryRecord {
  int32_t index;  // the entry count in the answer to index -1
  char16_t name[ZipMaxPath];
  uint32_t attributes;  // Windows file-attribute bits; 0x10 marks a folder
  platform::FileTime accessTime;
  platform::FileTime creationTime;
  platform::FileTime writeTime;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
};

// The result of the last reader-handle operation, and of the last close of a
// handle that is not a reader. Process-wide, never guarded.
extern int32_t LastReaderResult;
extern int32_t LastWriterResult;

// Null when the archive cannot be opened (LastReaderResult tells why). The root
// folder (null for the current directory) is where folders are created; a
// caller's root ends with a separator.
ZipReaderHandle* ZipReaderOpen(const char16_t* zipPath, const char16_t* rootFolder);

// Index -1 asks for the number of entries (in record->index).
ZipResult ZipReaderGetEntry(ZipReaderHandle* handle, int32_t index, ZipEntryRecord* record);

// Looks a name up without regard to ASCII case; the first match in directory order wins.
ZipResult ZipReaderFindEntry(ZipReaderHandle* handle, const char16_t* name, int32_t* index, ZipEntryRecord* record);

// Writes a file entry to targetPath, or creates a folder entry's folder below the root.
ZipResult ZipReaderExtract(ZipReaderHandle* handle, int32_t index, const char16_t* targetPath);

// Closes by kind and frees the handle; the result goes to the layer's last-result word and is returned.
ZipResult ZipHandleClose(ZipReaderHandle* handle);
