#include "engine/extract_archive.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/ascii_text.h"
#include "engine/work_names.h"
#include "platform/platform.h"
#include "zip/entry_names.h"

namespace {

// Copies text with its terminator into a zero-filled buffer of ZipMaxPath
// units. False when it does not fit: a cut path would name another file.
bool copyPath(const char16_t* text, char16_t (&buffer)[ZipMaxPath]) {
  const size_t length = std::char_traits<char16_t>::length(text);
  if (length >= ZipMaxPath) return false;
  for (size_t i = 0; i <= length; ++i) buffer[i] = text[i];
  return true;
}

// The name's first component is one of the work names, or any component is
// the copy's passing name, which a restore would take for a leftover.
bool namesWorkFile(const char16_t* entryName) {
  for (const char16_t* component = entryName;; ++component) {
    size_t length = 0;
    while (component[length] != 0 && !IsPathSeparator(component[length])) ++length;
    // As the installation folder compares names, the case of the ASCII letters aside.
    const std::u16string_view name(component, length);
    if (asciiEqualsIgnoringCase(name, platform::kPartialCopyName)) return true;
    if (component == entryName) {
      for (std::u16string_view workName : kInstallationWorkNames) {
        if (asciiEqualsIgnoringCase(name, workName)) return true;
      }
    }
    component += length;
    if (*component == 0) return false;
  }
}

}  // namespace

bool extractArchiveEntry(const char16_t* destinationFolder, const char16_t* entryName, ZipReaderHandle* handle) {
  if (entryName == nullptr || *entryName == 0 || IsUnsafeEntryName(entryName) || namesWorkFile(entryName)) {
    return false;
  }

  int32_t index = -1;
  ZipEntryRecord found{};
  if (ZipReaderFindEntry(handle, entryName, &index, &found) != ZipOk) return false;
  // The lookup ignores case and finds the first match. A later entry that
  // differs from it only in case is passed over; an exact twin makes the first
  // one extracted again. Neither leaves a hole in the patch.
  if (!SameEntryName(entryName, found.name)) return true;

  char16_t target[ZipMaxPath] = {};
  if (!JoinEntryPath(destinationFolder, entryName, std::char_traits<char16_t>::length(entryName), target)) return false;
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
    whole =
        ZipReaderGetEntry(handle, i, &record) == ZipOk && extractArchiveEntry(destinationFolder, record.name, handle);
  }
  ZipHandleClose(handle);
  return whole;
}
