#include "zip/zip_directory.h"

#include <new>

#include "zip/central_index.h"
#include "zip/end_record.h"
#include "zip/entry_stream.h"
#include "zip/zip.h"
#include "zip/zip_source.h"

ZipDirectory::ZipDirectory() = default;
ZipDirectory::~ZipDirectory() = default;

uint32_t ArchiveToFilePosition(const ZipDirectory* directory, uint32_t archivePosition) {
  return directory->source->startOffset + archivePosition + directory->bytesBeforeArchive;
}

namespace {

// Replaces result only when the read failed.
void readField16(ZipSource* source, uint32_t& value, DirResult& result) {
  if (ZipSourceReadUInt16(source, value) != DirOk) result = DirIoError;
}

void readField32(ZipSource* source, uint32_t& value, DirResult& result) {
  if (ZipSourceReadUInt32(source, value) != DirOk) result = DirIoError;
}

constexpr uint64_t kLargestArchive = 0xFFFFFFFFull;

}  // namespace

ZipDirectory* ZipDirectoryOpen(ZipSource* source) {
  LastOpenResult = 0;
  if (source == nullptr) {
    LastOpenResult = ZipBadArgument;
    return nullptr;
  }
  // A pipe, socket or device has no end to search from, and reading one may
  // wait for ever for bytes that never come: it fails as it is, unread.
  if (!source->seekable) {
    ZipSourceClose(source);
    LastOpenResult = DirIoError;
    return nullptr;
  }
  DirResult result = DirOk;
  uint32_t position = FindEndRecord(source);
  if (position == 0) result = DirIoError;
  if (!ZipSourceSeek(source, uint64_t{source->startOffset} + position)) result = DirIoError;

  uint32_t signature = 0, thisDisk = 0, centralDisk = 0, entriesHere = 0, entriesTotal = 0;
  readField32(source, signature, result);  // found by the search; not compared again
  readField16(source, thisDisk, result);
  readField16(source, centralDisk, result);
  readField16(source, entriesHere, result);
  readField16(source, entriesTotal, result);
  if (entriesTotal != entriesHere || thisDisk != 0 || centralDisk != 0) result = DirBadArchive;

  uint32_t centralSize = 0, centralOffset = 0, commentLength = 0;
  readField32(source, centralSize, result);
  readField32(source, centralOffset, result);
  readField16(source, commentLength, result);
  if (source->startOffset + position < centralOffset + centralSize && result == DirOk) result = DirBadArchive;

  // Offsets are 32 bits wide; a larger file cannot be addressed safely.
  uint64_t fileSize = 0;
  if (ZipSourceFileSize(source, fileSize) && fileSize > kLargestArchive) result = DirBadArchive;

  ZipDirectory* directory = nullptr;
  if (result == DirOk) {
    directory = new (std::nothrow) ZipDirectory();
    if (directory == nullptr) result = DirNoMemory;  // closes the source like any failed open
  }
  if (result != DirOk) {
    ZipSourceClose(source);
    LastOpenResult = result;
    return nullptr;
  }
  directory->source = source;
  directory->entryCount = entriesHere;
  directory->commentLength = commentLength;
  directory->bytesBeforeArchive = source->startOffset + position - centralOffset - centralSize;
  directory->endRecordPosition = position;
  directory->centralDirSize = centralSize;
  directory->centralDirOffset = centralOffset;
  source->startOffset = 0;
  SeekFirstCentralEntry(directory);  // an unreadable first header still opens
  return directory;
}

void ZipDirectoryClose(ZipDirectory* directory) {
  if (directory == nullptr) return;
  if (directory->openStream != nullptr) EntryStreamClose(directory);
  ZipSourceClose(directory->source);
  delete directory;
}

DirResult ReadCentralEntryInfo(ZipDirectory* directory, CentralEntryInfo* info, uint32_t* localHeaderOffset,
                               char* nameArea, uint32_t nameAreaSize) {
  if (directory == nullptr) return DirBadParameter;
  ZipSource* source = directory->source;
  if (!ZipSourceSeek(source, ArchiveToFilePosition(directory, directory->currentPosition))) return DirIoError;

  DirResult result = DirOk;
  uint32_t signature = 0;
  if (ZipSourceReadUInt32(source, signature) != DirOk) {
    result = DirIoError;
  } else if (signature != kCentralHeaderSignature) {
    result = DirBadArchive;
  }
  CentralEntryInfo fields;
  readField16(source, fields.versionMadeBy, result);
  readField16(source, fields.versionNeeded, result);
  readField16(source, fields.flags, result);
  readField16(source, fields.method, result);
  readField32(source, fields.dosDateTime, result);
  readField32(source, fields.crc, result);
  readField32(source, fields.compressedSize, result);
  readField32(source, fields.uncompressedSize, result);
  readField16(source, fields.nameLength, result);
  readField16(source, fields.extraLength, result);
  readField16(source, fields.commentLength, result);
  readField16(source, fields.diskNumberStart, result);
  readField16(source, fields.internalAttributes, result);
  readField32(source, fields.externalAttributes, result);
  uint32_t time = fields.dosDateTime & 0xFFFF;
  uint32_t date = fields.dosDateTime >> 16;
  fields.second = (time & 0x1F) * 2;
  fields.minute = (time >> 5) & 0x3F;
  fields.hour = (time >> 11) & 0x1F;
  fields.day = date & 0x1F;
  fields.month = ((date >> 5) & 0x0F) - 1;
  fields.year = ((date >> 9) & 0x7F) + 1980;

  uint32_t offset = 0;
  if (ZipSourceReadUInt32(source, offset) != DirOk) return DirIoError;
  if (result != DirOk) return result;

  if (nameArea != nullptr) {
    uint32_t n = nameAreaSize;
    if (fields.nameLength < nameAreaSize) {
      nameArea[fields.nameLength] = '\0';
      n = fields.nameLength;
    }
    if (fields.nameLength != 0 && nameAreaSize != 0 && ZipSourceRead(source, nameArea, n, 1) != 1) {
      return DirIoError;
    }
  }
  if (info != nullptr) *info = fields;
  if (localHeaderOffset != nullptr) *localHeaderOffset = offset;
  return DirOk;
}

DirResult SeekFirstCentralEntry(ZipDirectory* directory) {
  if (directory == nullptr) return DirBadParameter;
  directory->currentPosition = directory->centralDirOffset;
  directory->currentIndex = 0;
  DirResult r = ReadCentralEntryInfo(directory, &directory->current, &directory->currentLocalHeaderOffset, nullptr, 0);
  directory->currentValid = r == DirOk;
  return r;
}

DirResult SeekNextCentralEntry(ZipDirectory* directory) {
  if (directory == nullptr || !directory->currentValid ||
      static_cast<uint32_t>(directory->currentIndex) + 1 == directory->entryCount) {
    return DirEndOfList;
  }
  const CentralEntryInfo& info = directory->current;
  directory->currentPosition += kCentralHeaderSize + info.nameLength + info.extraLength + info.commentLength;
  directory->currentIndex += 1;
  DirResult r = ReadCentralEntryInfo(directory, &directory->current, &directory->currentLocalHeaderOffset, nullptr, 0);
  directory->currentValid = r == DirOk;
  return r;
}
