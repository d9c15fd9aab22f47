#include "zip/zip_source.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "zip/zip.h"

ZipSource* ZipSourceOpenFile(const char16_t* path, int32_t& resultCode) {
  resultCode = 0;
  platform::File file = platform::File::openForReading(path);
  if (!file.isOpen()) {
    resultCode = ZipOpenFailed;
    return nullptr;
  }
  auto* source = new ZipSource();
  source->seekable = file.isDiskFile();
  source->file = std::move(file);
  if (source->seekable) {
    uint64_t here = 0;
    source->file.seek(0, platform::SeekOrigin::Current, &here);
    source->startOffset = static_cast<uint32_t>(here);
    source->position = here;
  }
  return source;
}

void ZipSourceClose(ZipSource* source) { delete source; }

bool ZipSourceSeek(ZipSource* source, uint64_t filePosition) {
  if (!source->seekable) return false;
  // The platform pointer moves only when the buffer is refilled.
  source->position = filePosition;
  return true;
}

bool ZipSourceFileSize(ZipSource* source, uint64_t& size) {
  return source->seekable && source->file.seek(0, platform::SeekOrigin::End, &size);
}

namespace {

// One platform read at the logical position, straight into the destination.
uint32_t readThrough(ZipSource* source, uint8_t* destination, uint32_t count) {
  uint32_t got = 0;
  if (source->seekable && !source->file.seek(static_cast<int64_t>(source->position), platform::SeekOrigin::Begin)) {
    source->readError = true;
    return 0;
  }
  while (got < count) {
    uint32_t n = 0;
    if (!source->file.read(destination + got, count - got, n)) {
      source->readError = true;
      break;
    }
    if (n == 0) break;
    got += n;
  }
  source->position += got;
  return got;
}

// Loads the window not read last with the bytes from the logical position on.
bool refill(ZipSource* source) {
  source->recentWindow = 1 - source->recentWindow;
  ZipSource::Window& window = source->windows[source->recentWindow];
  window.start = source->position;
  window.length = 0;
  uint32_t got = readThrough(source, window.bytes, ZipSource::kBufferSize);
  source->position = window.start;
  window.length = got;
  return got > 0;
}

// Copies what a window holds at the logical position; returns the count copied.
uint32_t takeBuffered(ZipSource* source, uint8_t* destination, uint32_t count) {
  for (uint32_t i : {source->recentWindow, 1 - source->recentWindow}) {
    const ZipSource::Window& window = source->windows[i];
    if (source->position < window.start || source->position >= window.start + window.length) continue;
    uint32_t offset = static_cast<uint32_t>(source->position - window.start);
    uint32_t n = std::min(count, window.length - offset);
    std::memcpy(destination, window.bytes + offset, n);
    source->position += n;
    source->recentWindow = i;
    return n;
  }
  return 0;
}

uint32_t readBytes(ZipSource* source, uint8_t* destination, uint32_t count) {
  uint32_t got = takeBuffered(source, destination, count);
  while (got < count) {
    uint32_t left = count - got;
    // Large reads (entry data) go straight to the caller's memory.
    if (left >= ZipSource::kBufferSize) return got + readThrough(source, destination + got, left);
    if (!refill(source)) break;
    got += takeBuffered(source, destination + got, left);
  }
  return got;
}

}  // namespace

uint32_t ZipSourceRead(ZipSource* source, void* destination, uint32_t itemSize, uint32_t itemCount) {
  uint32_t total = itemSize * itemCount;
  if (total == 0 || itemSize == 0) return 0;
  uint32_t got = readBytes(source, static_cast<uint8_t*>(destination), total);
  return got / itemSize;
}

DirResult ZipSourceReadByte(ZipSource* source, uint32_t& value) {
  uint8_t byte = 0;
  if (readBytes(source, &byte, 1) == 1) {
    value = byte;
    return DirOk;
  }
  return source->readError ? DirIoError : DirOk;
}

namespace {

// Missing bytes at the end of the data count as 0.
DirResult readLittleEndian(ZipSource* source, int byteCount, uint32_t& value) {
  uint32_t result = 0;
  for (int i = 0; i < byteCount; ++i) {
    uint32_t byte = 0;
    DirResult r = ZipSourceReadByte(source, byte);
    if (r != DirOk) {
      value = 0;
      return r;
    }
    result |= byte << (8 * i);
  }
  value = result;
  return DirOk;
}

}  // namespace

DirResult ZipSourceReadUInt16(ZipSource* source, uint32_t& value) { return readLittleEndian(source, 2, value); }

DirResult ZipSourceReadUInt32(ZipSource* source, uint32_t& value) { return readLittleEndian(source, 4, value); }
