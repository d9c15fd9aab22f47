// The byte source under the reader: an archive file opened for reading.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "zip/dir_result.h"

struct ZipSource {
  bool isFile = true;  // only the file form exists; the memory form is left out
  bool seekable = false;
  platform::File file;
  bool readError = false;  // some platform read failed; stays set
  uint32_t startOffset = 0;

  // Read-ahead, so that header fields do not cost one system call per byte.
  // Two windows, because extraction goes back and forth between the central
  // directory and the entries' local headers and data: each keeps its own.
  // position is the logical file position; the platform's own pointer is private to the windows.
  static constexpr uint32_t kBufferSize = 0x10000;
  struct Window {
    uint64_t start = 0;
    uint32_t length = 0;
    uint8_t bytes[kBufferSize];
  };
  uint64_t position = 0;
  Window windows[2];
  uint32_t recentWindow = 0;  // the window read last; a refill takes the other one
};

// Null when the file cannot be opened; resultCode is then ZipOpenFailed, else 0.
ZipSource* ZipSourceOpenFile(const char16_t* path, int32_t& resultCode);

// Closes the file and frees the source. Null is allowed.
void ZipSourceClose(ZipSource* source);

// Moves to a file position (counted from the start of the file). False when not seekable.
bool ZipSourceSeek(ZipSource* source, uint64_t filePosition);

// The size of the file; false when it cannot be told.
bool ZipSourceFileSize(ZipSource* source, uint64_t& size);

// Reads itemSize * itemCount bytes; returns the number of whole items that arrived.
uint32_t ZipSourceRead(ZipSource* source, void* destination, uint32_t itemSize, uint32_t itemCount);

// At the end of the data these report DirOk without a byte; once any read has
// failed on the source they report DirIoError instead.
DirResult ZipSourceReadByte(ZipSource* source, uint32_t& value);
DirResult ZipSourceReadUInt16(ZipSource* source, uint32_t& value);
DirResult ZipSourceReadUInt32(ZipSource* source, uint32_t& value);
