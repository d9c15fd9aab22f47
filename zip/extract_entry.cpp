// Writing one entry to disk: a file, or a folder entry's folders.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/platform.h"
#include "zip/ansi_names.h"
#include "zip/entry_stepping.h"
#include "zip/entry_stream.h"
#include "zip/path_rules.h"
#include "zip/zip_directory.h"
#include "zip/zip_reader.h"

namespace {

constexpr uint32_t kCopyBufferSize = 0x4000;
// Entries larger than that go through a bigger buffer: inflate runs faster into
// long outputs, and each write carries more.
constexpr uint32_t kLargeCopyBufferSize = 0x100000;

// A relative target is written where the process stands; that must be the root.
bool currentFolderIsRoot(const char16_t* root) {
  char16_t current[ZipMaxPath] = {};
  uint32_t length = platform::getCurrentFolder(current, ZipMaxPath - 1);
  if (length == 0 || length >= ZipMaxPath - 1) return false;
  current[length] = u'\\';
  current[length + 1] = 0;
  const char16_t* rest = PathBelowRoot(root, current);
  return rest != nullptr && rest[0] == 0;
}

// The root joined with the first length units of relative is a folder (not a link to one).
bool folderExistsBelow(const char16_t* root, const char16_t* relative, size_t length) {
  while (length > 0 && IsPathSeparator(relative[length - 1])) --length;
  char16_t path[ZipMaxPath];
  return JoinEntryPath(root, relative, length, path) && platform::entryKind(path) == platform::EntryKind::Folder;
}

// The part of a file target below the root, or null when it may not be written.
const char16_t* relativeTarget(const char16_t* root, const char16_t* target) {
  if (target == nullptr || target[0] == 0 || std::char_traits<char16_t>::length(target) >= ZipMaxPath) return nullptr;
  const char16_t* relative = target;
  if (IsAbsolutePath(target)) {
    relative = PathBelowRoot(root, target);
    if (relative == nullptr) return nullptr;
  } else if (!currentFolderIsRoot(root)) {
    return nullptr;
  }
  return relative[0] == 0 || IsUnsafeEntryName(relative) ? nullptr : relative;
}

// Archives often hold no folder entries: the folders of a file's relative
// target are made here. Entries of one folder come in a row, so lastFolder
// remembers the folder made for the entry before, and it is not made again.
// False when that spared the work, true when the folders were asked for now.
bool makeTargetFolders(const char16_t* root, const char16_t* relative, char16_t (&lastFolder)[ZipMaxPath]) {
  size_t last = std::char_traits<char16_t>::length(relative);
  while (last > 0 && !IsPathSeparator(relative[last - 1])) --last;
  if (last <= 1) return true;
  char16_t folder[ZipMaxPath];
  std::memcpy(folder, relative, (last - 1) * sizeof(char16_t));
  folder[last - 1] = 0;
  if (SameEntryName(folder, lastFolder)) return false;
  CreateDirectoryPath(root, folder);
  std::memcpy(lastFolder, folder, last * sizeof(char16_t));
  return true;
}

bool entryComplete(const ZipDirectory* directory) {
  const EntryReadState* state = directory->openStream;
  return state != nullptr && state->uncompressedLeft == 0 && state->crc == state->expectedCrc;
}

}  // namespace

ZipResult ZipReader::ExtractEntry(int32_t index, const char16_t* targetPath) {
  if (openEntryIndex != -1) EntryStreamClose(directory);
  openEntryIndex = -1;
  if (index < 0 || static_cast<uint32_t>(index) >= directory->entryCount) return ZipBadArgument;
  if (MoveToCentralEntry(directory, index) != DirOk) return ZipBadLocalHeader;  // nothing created

  ZipEntryRecordA record;
  ZipResult built = ZipReaderGetEntryA(this, &record, index);
  if (built != ZipOk) return built;

  // A name the records cannot hold whole (too long, or with a NUL inside)
  // would be written under another, shorter name.
  uint32_t storedLength = directory->current.nameLength;
  bool nameWhole = storedLength <= ZipLongestRecordName && std::strlen(record.name) == storedLength;
  char16_t name[ZipMaxPath] = {};
  if (nameWhole) {
    nameWhole = platform::multiByteToWide(platform::CodePage::Ansi, record.name, -1, name, ZipMaxPath - 1) != 0;
  }
  bool folderEntry = (record.attributes & platform::kAttributeDirectory) != 0 || EndsWithAnsiSeparator(record.name);
  if (folderEntry) {
    // A folder entry with an unsafe name creates nothing. A folder that is not
    // there afterwards (a file holds its name, say) is a failed entry like a
    // file that could not be created.
    if (!nameWhole || IsUnsafeEntryName(name)) return ZipOpenFailed;
    CreateDirectoryPath(rootFolder, name);
    return folderExistsBelow(rootFolder, name, std::char_traits<char16_t>::length(name)) ? ZipOk : ZipOpenFailed;
  }
  const char16_t* relative = nameWhole && !IsUnsafeEntryName(name) ? relativeTarget(rootFolder, targetPath) : nullptr;
  if (relative == nullptr) return ZipOpenFailed;

  bool foldersMadeNow = makeTargetFolders(rootFolder, relative, lastFileFolder);
  platform::File file = platform::File::createForWriting(targetPath);
  if (!file.isOpen() && !foldersMadeNow) {
    // Made for the entry before, but something may have taken them away since.
    lastFileFolder[0] = 0;
    makeTargetFolders(rootFolder, relative, lastFileFolder);
    file = platform::File::createForWriting(targetPath);
  }
  // A device, a pipe or anything else that is not a plain file would take the
  // data and keep none of it.
  if (!file.isOpen() || !file.isDiskFile()) return ZipOpenFailed;

  EntryStreamOpen(directory);  // a stream that did not open makes the first read fail
  openEntryIndex = index;
  bool failed = false;
  unsigned char smallBuffer[kCopyBufferSize];
  unsigned char* buffer = smallBuffer;
  uint32_t bufferSize = kCopyBufferSize;
  std::unique_ptr<unsigned char[]> largeBuffer;
  if (directory->current.uncompressedSize > kCopyBufferSize) {
    largeBuffer.reset(new (std::nothrow) unsigned char[kLargeCopyBufferSize]);
    // Without it the small buffer does the same work, only more slowly.
    if (largeBuffer != nullptr) {
      buffer = largeBuffer.get();
      bufferSize = kLargeCopyBufferSize;
    }
  }
  for (;;) {
    int32_t n = EntryStreamRead(directory, buffer, bufferSize);
    if (n < 0) {
      failed = true;
      break;
    }
    if (n == 0) break;
    uint32_t written = 0;
    if (!file.write(buffer, static_cast<uint32_t>(n), written) || written != static_cast<uint32_t>(n)) {
      failed = true;
      break;
    }
  }
  // Data that end early or fail their CRC-32 are a failed extraction, never a success.
  if (!failed && !entryComplete(directory)) failed = true;
  if (!failed) file.setTimes(&record.creationTime, &record.accessTime, &record.writeTime);
  file.close();
  if (directory->openStream != nullptr) EntryStreamClose(directory);
  openEntryIndex = -1;
  return failed ? ZipExtractFailed : ZipOk;
}
