#include "engine/extract_archive.h"

#include <cstddef>
#include <string>

#include "engine/ascii_text.h"

namespace {

// Copies text with its terminator into a zero-filled buffer of ZipMaxPath
// units. False when it does not fit: a cut path would name another file.
bool copyPath(const char16_t* text, char16_t (&buffer)[ZipMaxPath]) {
  const size_t length = std::char_traits<char16_t>::length(text);
  if (length >= ZipMaxPath) return false;
  for (size_t i = 0; i <= length; ++i) buffer[i] = text[i];
  return true;
}

bool isSeparator(char16_t unit) { return unit == u'/' || unit == u'\\'; }

// A name that could lead out of the extraction folder: absolute, with a drive
// or stream colon, or with a ".." component.
bool leavesFolder(const char16_t* name) {
  if (isSeparator(name[0])) return true;
  size_t componentStart = 0;
  for (size_t i = 0;; ++i) {
    const char16_t unit = name[i];
    if (unit == u':') return true;
    if (unit == 0 || isSeparator(unit)) {
      if (i - componentStart == 2 && name[componentStart] == u'.' && name[componentStart + 1] == u'.') return true;
      if (unit == 0) return false;
      componentStart = i + 1;
    }
  }
}

bool sameExactly(const char16_t* a, const char16_t* b) {
  for (; *a != 0 || *b != 0; ++a, ++b) {
    if (*a != *b) return false;
  }
  return true;
}

}  // namespace

bool extractArchiveEntry(const char16_t* destinationFolder, const char16_t* entryName, ZipReaderHandle* handle) {
  if (entryName == nullptr || *entryName == 0 || leavesFolder(entryName)) return false;

  int32_t index = -1;
  ZipEntryRecord found{};
  if (ZipReaderFindEntry(handle, entryName, &index, &found) != ZipOk) return false;
  // The lookup ignores case and finds the first match. A later entry that
  // differs from it only in case is passed over; an exact twin makes the first
  // one extracted again. Neither leaves a hole in the patch.
  if (!sameExactly(entryName, found.name)) return true;

  char16_t target[ZipMaxPath] = {};
  const size_t folderLength = std::char_traits<char16_t>::length(destinationFolder);
  const bool needsSeparator = folderLength == 0 || !isSeparator(destinationFolder[folderLength - 1]);
  const size_t nameLength = std::char_traits<char16_t>::length(entryName);
  if (folderLength + (needsSeparator ? 1 : 0) + nameLength >= ZipMaxPath) return false;
  size_t at = 0;
  for (size_t i = 0; i < folderLength; ++i) target[at++] = destinationFolder[i];
  if (needsSeparator) target[at++] = u'\\';
  for (size_t i = 0; i < nameLength; ++i) target[at++] = entryName[i];

  return ZipReaderExtract(handle, index, target) == ZipOk;
}

bool extractArchive(const char16_t* archivePath, const char16_t* destinationFolder) {
  if (archivePath == nullptr || *archivePath == 0 || destinationFolder == nullptr) return false;

  char16_t archiveCopy[ZipMaxPath] = {};
  char16_t rootCopy[ZipMaxPath] = {};
  if (!copyPath(archivePath, archiveCopy) || !copyPath(destinationFolder, rootCopy)) return false;

  ZipReaderHandle* handle = ZipReaderOpen(archiveCopy, rootCopy);
  if (handle == nullptr) return false;

  // A patch goes in whole or not at all: the first entry that does not reach
  // the folder ends the archive, and the caller copies nothing over the installation.
  ZipEntryRecord record{};
  bool whole = ZipReaderGetEntry(handle, -1, &record) == ZipOk;
  const int32_t count = whole ? record.index : 0;
  for (int32_t i = 0; whole && i < count; ++i) {
    whole = ZipReaderGetEntry(handle, i, &record) == ZipOk &&
            extractArchiveEntry(destinationFolder, record.name, handle);
  }
  ZipHandleClose(handle);
  return whole;
}
