// Entry records by index and by name.
#include <algorithm>
#include <cstring>
#include <memory>

#include "zip/ansi_names.h"
#include "zip/entry_attributes.h"
#include "zip/entry_stepping.h"
#include "zip/entry_stream.h"
#include "zip/name_lookup.h"
#include "zip/zip_directory.h"
#include "zip/zip_reader.h"
#include "zip/zip_source.h"

namespace {

void closeOpenEntry(ZipReader* reader) {
  if (reader->openEntryIndex != -1) EntryStreamClose(reader->directory);
  reader->openEntryIndex = -1;
}

// Reads the whole local extra field; false when it cannot be reached or read.
bool readLocalExtra(ZipDirectory* directory, uint32_t position, uint32_t length,
                    std::unique_ptr<unsigned char[]>& extra) {
  if (!ZipSourceSeek(directory->source, ArchiveToFilePosition(directory, position))) return false;
  extra.reset(new unsigned char[length == 0 ? 1 : length]);
  return length == 0 || ZipSourceRead(directory->source, extra.get(), 1, length) == length;
}

}  // namespace

ZipResult ZipReaderGetEntryA(ZipReader* reader, ZipEntryRecordA* record, int32_t index) {
  ZipDirectory* directory = reader->directory;
  if (index < -1 || index >= static_cast<int64_t>(directory->entryCount)) return ZipBadArgument;
  closeOpenEntry(reader);
  if (index == reader->cachedIndex && index != -1) {
    *record = reader->cachedEntry;
    return ZipOk;
  }
  if (index == -1) {
    *record = ZipEntryRecordA{};
    record->index = static_cast<int32_t>(directory->entryCount);
    return ZipOk;
  }
  // An unreadable header on the way, or the entry's own: no record can be built.
  if (MoveToCentralEntry(directory, index) != DirOk) return ZipBadLocalHeader;

  CentralEntryInfo info;
  char name[ZipMaxPath];
  if (ReadCentralEntryInfo(directory, &info, nullptr, name, ZipMaxPath - 1) != DirOk) return ZipBadLocalHeader;
  name[AnsiCutLength(name, std::min<uint32_t>(info.nameLength, ZipMaxPath - 1), ZipLongestRecordName)] = '\0';

  uint32_t variableLength = 0, extraPosition = 0, extraLength = 0;
  if (CheckLocalEntryHeader(directory, variableLength, extraPosition, extraLength) != DirOk) return ZipBadLocalHeader;
  std::unique_ptr<unsigned char[]> extra;
  if (!readLocalExtra(directory, extraPosition, extraLength, extra)) return ZipExtraUnreadable;

  ZipEntryRecordA built{};
  built.index = directory->currentIndex;
  std::memcpy(built.name, name, sizeof name);
  built.attributes = AttributesFromExternal(info.externalAttributes);
  EntryTimes times = EntryTimesFrom(info.dosDateTime, extra.get(), extraLength);
  built.accessTime = times.access;
  built.creationTime = times.creation;
  built.writeTime = times.write;
  built.compressedSize = info.compressedSize;
  built.uncompressedSize = info.uncompressedSize;

  reader->cachedEntry = built;
  reader->cachedIndex = built.index;
  *record = built;
  return ZipOk;
}

ZipResult ZipReaderFindEntryA(ZipReader* reader, const char16_t* name, int32_t* index, ZipEntryRecordA* record) {
  if (SeekCentralEntryByName(reader->directory, name, 2) != DirOk) {
    if (index != nullptr) *index = -1;
    if (record != nullptr) {
      *record = ZipEntryRecordA{};
      record->index = -1;
    }
    return ZipNotFound;
  }
  closeOpenEntry(reader);
  int32_t found = reader->directory->currentIndex;
  if (index != nullptr) *index = found;
  if (record != nullptr) return ZipReaderGetEntryA(reader, record, found);
  return ZipOk;
}
