#include "zip/entry_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zip/zip_directory.h"
#include "zip/zip_source.h"

namespace {

void readChecked16(ZipSource* source, uint32_t& value, DirResult& result) {
  if (ZipSourceReadUInt16(source, value) != DirOk) result = DirIoError;
}

void readChecked32(ZipSource* source, uint32_t& value, DirResult& result) {
  if (ZipSourceReadUInt32(source, value) != DirOk) result = DirIoError;
}

}  // namespace

DirResult CheckLocalEntryHeader(ZipDirectory* directory, uint32_t& variableLength, uint32_t& localExtraPosition,
                                uint32_t& localExtraLength) {
  variableLength = 0;
  localExtraPosition = 0;
  localExtraLength = 0;
  ZipSource* source = directory->source;
  if (!ZipSourceSeek(source, ArchiveToFilePosition(directory, directory->currentLocalHeaderOffset))) {
    return DirIoError;
  }
  DirResult result = DirOk;
  uint32_t signature = 0, version = 0, flags = 0, method = 0, dosDateTime = 0, crc = 0, compressedSize = 0,
           uncompressedSize = 0, nameLength = 0, extraLength = 0;
  // Every field is read, also after a check has failed.
  readChecked32(source, signature, result);
  if (result == DirOk && signature != kLocalHeaderSignature) result = DirBadArchive;
  readChecked16(source, version, result);
  readChecked16(source, flags, result);
  readChecked16(source, method, result);
  const CentralEntryInfo& central = directory->current;
  if (result == DirOk && (method != central.method || (central.method != 0 && central.method != 8))) {
    result = DirBadArchive;
  }
  readChecked32(source, dosDateTime, result);
  readChecked32(source, crc, result);
  readChecked32(source, compressedSize, result);
  readChecked32(source, uncompressedSize, result);
  // With a data descriptor the local values may be zero; the central ones count.
  bool describedLater = (flags & kFlagDataDescriptor) != 0;
  if (result == DirOk && !describedLater &&
      (crc != central.crc || compressedSize != central.compressedSize ||
       uncompressedSize != central.uncompressedSize)) {
    result = DirBadArchive;
  }
  readChecked16(source, nameLength, result);
  readChecked16(source, extraLength, result);
  if (result == DirOk && nameLength != central.nameLength) result = DirBadArchive;

  variableLength = nameLength + extraLength;
  localExtraPosition = directory->currentLocalHeaderOffset + kLocalHeaderSize + nameLength;
  localExtraLength = extraLength;
  return result;
}

DirResult EntryStreamOpen(ZipDirectory* directory) {
  if (directory == nullptr || !directory->currentValid) return DirBadParameter;
  if (directory->openStream != nullptr) EntryStreamClose(directory);

  uint32_t variableLength = 0, extraPosition = 0, extraLength = 0;
  if (CheckLocalEntryHeader(directory, variableLength, extraPosition, extraLength) != DirOk) return DirBadArchive;

  auto* state = new (std::nothrow) EntryReadState();
  if (state == nullptr) return DirNoMemory;
  state->buffer = static_cast<unsigned char*>(std::malloc(kEntryInputBufferSize));
  if (state->buffer == nullptr) {
    delete state;
    return DirNoMemory;
  }
  const CentralEntryInfo& central = directory->current;
  state->localExtraPosition = extraPosition;
  state->localExtraLength = extraLength;
  state->expectedCrc = central.crc;
  state->compressedLeft = central.compressedSize;
  state->uncompressedLeft = central.uncompressedSize;
  state->source = directory->source;
  state->method = central.method;
  state->bytesBeforeArchive = directory->bytesBeforeArchive;
  if (state->method != 0) {
    // A failed initialisation shows as an inflate error on the first read.
    state->inflateReady = inflateInit2(&state->stream, -MAX_WBITS) == Z_OK;
  }
  state->readPosition = directory->currentLocalHeaderOffset + kLocalHeaderSize + variableLength;
  directory->openStream = state;
  return DirOk;
}

namespace {

// Loads the next chunk of compressed data; false on a failed or short read.
bool refillInput(EntryReadState& state) {
  uint32_t chunk = std::min(kEntryInputBufferSize, state.compressedLeft);
  uint32_t filePosition = state.source->startOffset + state.readPosition + state.bytesBeforeArchive;
  if (!ZipSourceSeek(state.source, filePosition)) return false;
  if (ZipSourceRead(state.source, state.buffer, chunk, 1) != 1) return false;
  state.readPosition += chunk;
  state.compressedLeft -= chunk;
  state.stream.next_in = state.buffer;
  state.stream.avail_in = chunk;
  return true;
}

}  // namespace

int32_t EntryStreamRead(ZipDirectory* directory, void* destination, uint32_t count) {
  if (directory == nullptr || directory->openStream == nullptr) return DirBadParameter;
  if (count == 0) return 0;
  EntryReadState& state = *directory->openStream;
  z_stream& stream = state.stream;
  stream.next_out = static_cast<Bytef*>(destination);
  stream.avail_out = std::min(count, state.uncompressedLeft);
  if (stream.avail_out == 0) return 0;
  uint32_t produced = 0;
  while (stream.avail_out > 0) {
    if (stream.avail_in == 0 && state.compressedLeft > 0 && !refillInput(state)) return DirIoError;
    if (state.method == 0) {
      // A stored entry whose sizes disagree runs dry: hand out what there is.
      if (stream.avail_in == 0) return static_cast<int32_t>(produced);
      uint32_t n = std::min(stream.avail_out, stream.avail_in);
      std::memcpy(stream.next_out, stream.next_in, n);
      state.crc = static_cast<uint32_t>(crc32(state.crc, stream.next_out, n));
      state.uncompressedLeft -= n;
      stream.next_in += n;
      stream.next_out += n;
      stream.total_out += n;
      stream.avail_in -= n;
      stream.avail_out -= n;
      produced += n;
    } else {
      Bytef* before = stream.next_out;
      uLong totalBefore = stream.total_out;
      int status = state.inflateReady ? inflate(&stream, Z_SYNC_FLUSH) : Z_STREAM_ERROR;
      uint32_t n = static_cast<uint32_t>(stream.total_out - totalBefore);
      state.crc = static_cast<uint32_t>(crc32(state.crc, before, n));
      state.uncompressedLeft -= n;
      produced += n;
      // The end of the deflate data and every error end the call; the caller sees fewer bytes.
      if (status != Z_OK) return static_cast<int32_t>(produced);
    }
  }
  return static_cast<int32_t>(produced);
}

DirResult EntryStreamClose(ZipDirectory* directory) {
  if (directory == nullptr || directory->openStream == nullptr) return DirBadParameter;
  EntryReadState* state = directory->openStream;
  DirResult result = state->uncompressedLeft == 0 && state->crc != state->expectedCrc ? DirCrcMismatch : DirOk;
  std::free(state->buffer);
  if (state->inflateReady) inflateEnd(&state->stream);
  state->inflateReady = 0;
  delete state;
  directory->openStream = nullptr;
  return result;
}
