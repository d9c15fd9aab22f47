// The data stream of one archive entry: local header check, stored copy or raw
// inflate, and a running CRC-32.
#pragma once

#include <cstdint>

#include <zlib.h>

#include "zip/dir_result.h"

struct ZipDirectory;
struct ZipSource;

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
// 128 KiB: zlib inflates faster from long loads; 16 KiB ones cost a large entry about a fifth more time.
constexpr uint32_t kEntryInputBufferSize = 0x20000;
constexpr uint32_t kFlagDataDescriptor = 0x0008;

struct EntryReadState {
  unsigned char* buffer = nullptr;  // kEntryInputBufferSize bytes, owned
  z_stream stream{};
  uint32_t readPosition = 0;  // archive position of the next compressed byte to load
  int32_t inflateReady = 0;
  uint32_t localExtraPosition = 0;
  uint32_t localExtraLength = 0;
  uint32_t localExtraReadPosition = 0;
  uint32_t crc = 0;
  uint32_t expectedCrc = 0;
  uint32_t compressedLeft = 0;
  uint32_t uncompressedLeft = 0;
  ZipSource* source = nullptr;  // not owned
  uint32_t method = 0;
  uint32_t bytesBeforeArchive = 0;
};

// Compares the current entry's local header with its central header. The
// outputs are filled also when the result is not DirOk.
DirResult CheckLocalEntryHeader(ZipDirectory* directory, uint32_t& variableLength, uint32_t& localExtraPosition,
                                uint32_t& localExtraLength);

DirResult EntryStreamOpen(ZipDirectory* directory);

// The number of bytes produced (0 at the end of the entry), or a negative DirResult.
int32_t EntryStreamRead(ZipDirectory* directory, void* destination, uint32_t count);

// DirCrcMismatch when every byte was produced and the CRC-32 differs.
DirResult EntryStreamClose(ZipDirectory* directory);
