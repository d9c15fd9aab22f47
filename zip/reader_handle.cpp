// The handle interface: wide names and records over the reader object.
#include <cstring>
#include <string>

#include "zip/zip_directory.h"
#include "zip/zip_reader.h"
#include "zip/zip_source.h"
#include "zip/zip_writer.h"

namespace {

// The process's current folder and "\"; false when it does not fit.
bool currentFolderAsRoot(char16_t (&root)[ZipMaxPath]) {
  uint32_t length = platform::getCurrentFolder(root, ZipMaxPath);
  if (length == 0 || length + 1 >= ZipMaxPath) return false;
  root[length] = u'\\';
  root[length + 1] = 0;
  return true;
}

ZipReader* readerOf(ZipReaderHandle* handle, ZipResult& result) {
  if (handle == nullptr) {
    result = ZipBadArgument;
  } else if (handle->kind != ZipHandleKindReader) {
    result = ZipWrongKind;
  } else {
    result = ZipOk;
    return static_cast<ZipReader*>(handle->object);
  }
  LastReaderResult = result;
  return nullptr;
}

void toWideRecord(const ZipEntryRecordA& ansi, ZipEntryRecord* record) {
  record->index = ansi.index;
  record->attributes = ansi.attributes;
  record->accessTime = ansi.accessTime;
  record->creationTime = ansi.creationTime;
  record->writeTime = ansi.writeTime;
  record->compressedSize = ansi.compressedSize;
  record->uncompressedSize = ansi.uncompressedSize;
  // Room for 259 units; the last unit of the field is never written. The ANSI
  // name is cut so that it fits; the terminator is set all the same.
  std::memset(record->name, 0, (ZipMaxPath - 1) * sizeof(char16_t));
  platform::multiByteToWide(platform::CodePage::Ansi, ansi.name, -1, record->name, ZipMaxPath - 1);
  record->name[ZipMaxPath - 2] = 0;
}

}  // namespace

ZipReaderHandle* ZipReaderOpen(const char16_t* zipPath, const char16_t* rootFolder) {
  auto* reader = new ZipReader();
  // A root that does not fit its buffer is refused rather than cut into another folder.
  bool rootFits = rootFolder != nullptr ? std::char_traits<char16_t>::length(rootFolder) < ZipMaxPath
                                        : currentFolderAsRoot(reader->rootFolder);
  if (!rootFits) {
    delete reader;
    LastReaderResult = ZipOpenFailed;
    return nullptr;
  }
  int32_t result = 0;
  ZipSource* source = ZipSourceOpenFile(zipPath, result);
  if (source != nullptr) {
    reader->directory = ZipDirectoryOpen(source);
    result = LastOpenResult;
  }
  LastReaderResult = result;
  if (rootFolder != nullptr) {
    std::memcpy(reader->rootFolder, rootFolder,
                (std::char_traits<char16_t>::length(rootFolder) + 1) * sizeof(char16_t));
  }
  if (result != 0) {
    delete reader;
    return nullptr;
  }
  return new ZipReaderHandle{ZipHandleKindReader, reader};
}

ZipResult ZipReaderGetEntry(ZipReaderHandle* handle, int32_t index, ZipEntryRecord* record) {
  ZipResult result;
  ZipReader* reader = readerOf(handle, result);
  if (reader == nullptr) return result;
  ZipEntryRecordA ansi;
  LastReaderResult = ZipReaderGetEntryA(reader, &ansi, index);
  if (LastReaderResult != ZipOk) return LastReaderResult;
  toWideRecord(ansi, record);
  return LastReaderResult;
}

ZipResult ZipReaderFindEntry(ZipReaderHandle* handle, const char16_t* name, int32_t* index, ZipEntryRecord* record) {
  ZipResult result;
  ZipReader* reader = readerOf(handle, result);
  if (reader == nullptr) return result;
  ZipEntryRecordA ansi;
  // A missing name finds nothing, as a name that is not there.
  LastReaderResult = name == nullptr ? ZipNotFound : ZipReaderFindEntryA(reader, name, index, &ansi);
  if (LastReaderResult == ZipNotFound && index != nullptr) *index = -1;
  if (LastReaderResult != ZipOk) return LastReaderResult;
  if (record != nullptr) toWideRecord(ansi, record);
  return LastReaderResult;
}

ZipResult ZipReaderExtract(ZipReaderHandle* handle, int32_t index, const char16_t* targetPath) {
  ZipResult result;
  ZipReader* reader = readerOf(handle, result);
  if (reader == nullptr) return result;
  LastReaderResult = reader->ExtractEntry(index, targetPath);
  return LastReaderResult;
}

ZipResult ZipHandleClose(ZipReaderHandle* handle) {
  if (handle == nullptr) {
    LastReaderResult = ZipBadArgument;  // nothing to close
    return LastReaderResult;
  }
  if (handle->kind == ZipHandleKindReader) {
    auto* reader = static_cast<ZipReader*>(handle->object);
    LastReaderResult = ZipReaderRelease(reader);
    delete reader;
    delete handle;
    return LastReaderResult;
  }
  if (handle->kind == ZipHandleKindWriter) {
    auto* writer = static_cast<ZipWriter*>(handle->object);
    LastWriterResult = ZipWriterClose(writer);
    if (writer != nullptr) ZipWriterFree(writer);
    delete handle;
    return LastWriterResult;
  }
  LastWriterResult = ZipWrongKind;
  return LastWriterResult;
}
