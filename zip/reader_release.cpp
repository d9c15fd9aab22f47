#include "zip/entry_stream.h"
#include "zip/zip_directory.h"
#include "zip/zip_reader.h"

ZipResult ZipReaderRelease(ZipReader* reader) {
  if (reader->openEntryIndex != -1 && reader->directory != nullptr) EntryStreamClose(reader->directory);
  reader->openEntryIndex = -1;
  ZipDirectoryClose(reader->directory);  // closes an open stream, the file, and frees both
  reader->directory = nullptr;
  return ZipOk;
}
