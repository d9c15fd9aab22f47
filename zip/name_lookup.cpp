#include "zip/name_lookup.h"

#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "zip/ansi_names.h"
#include "zip/central_index.h"
#include "zip/zip_directory.h"

namespace {

// The checks both ways share. Returns DirOk when the search may go on.
DirResult prepareWantedName(ZipDirectory* directory, const char16_t* wantedName, char (&wanted)[kWantedNameArea]) {
  if (directory == nullptr || wantedName == nullptr) return DirBadParameter;
  size_t length = 0;
  while (wantedName[length] != 0) {
    if (++length >= kLookupNameArea) return DirBadParameter;
  }
  std::memset(wanted, 0, sizeof wanted);
  // A name whose ANSI form does not fit cannot equal a stored one that does: not found.
  if (platform::wideToMultiByte(platform::CodePage::Ansi, wantedName, -1, wanted, kWantedNameArea) == 0) {
    return DirEndOfList;
  }
  if (!directory->currentValid) return DirEndOfList;
  return DirOk;
}

bool namesEqual(const char* wanted, const char* stored, int32_t mode) {
  if (mode == kCaseSensitiveLookup) {
    for (size_t i = 0;; ++i) {
      char right = i < kLookupNameArea ? stored[i] : '\0';
      if (wanted[i] != right) return false;
      if (right == '\0') return true;
    }
  }
  return CompareAnsiNoCaseBounded(wanted, stored, kLookupNameArea) == 0;
}

}  // namespace

DirResult SeekCentralEntryByNameWalk(ZipDirectory* directory, const char16_t* wantedName, int32_t mode) {
  char wanted[kWantedNameArea];
  DirResult prepared = prepareWantedName(directory, wantedName, wanted);
  if (prepared != DirOk) return prepared;

  int32_t savedIndex = directory->currentIndex;
  uint32_t savedPosition = directory->currentPosition;
  CentralEntryInfo savedInfo = directory->current;
  uint32_t savedOffset = directory->currentLocalHeaderOffset;
  int32_t savedValid = directory->currentValid;
  auto restore = [&] {
    directory->currentIndex = savedIndex;
    directory->currentPosition = savedPosition;
    directory->current = savedInfo;
    directory->currentLocalHeaderOffset = savedOffset;
    directory->currentValid = savedValid;
  };

  DirResult r = SeekFirstCentralEntry(directory);
  if (r != DirOk) {
    restore();
    return r;
  }
  for (;;) {
    char stored[kLookupNameArea] = {};
    // A name that cannot be read whole matches nothing.
    if (ReadCentralEntryInfo(directory, nullptr, nullptr, stored, kLookupNameArea) == DirOk &&
        namesEqual(wanted, stored, mode)) {
      return DirOk;
    }
    r = SeekNextCentralEntry(directory);
    if (r != DirOk) {
      restore();
      return r;
    }
  }
}

DirResult SeekCentralEntryByName(ZipDirectory* directory, const char16_t* wantedName, int32_t mode) {
  char wanted[kWantedNameArea];
  DirResult prepared = prepareWantedName(directory, wantedName, wanted);
  if (prepared != DirOk) return prepared;
  const CentralIndex* index = mode == kCaseSensitiveLookup ? nullptr : CentralIndexOf(directory);
  if (index == nullptr) return SeekCentralEntryByNameWalk(directory, wantedName, mode);

  char folded[kWantedNameArea];
  size_t length = 0;
  AnsiNameFolder folder;
  for (; wanted[length] != '\0'; ++length) folded[length] = folder.fold(wanted[length]);
  auto found = index->firstByName.find(std::string_view(folded, length));
  if (found == index->firstByName.end()) return index->endResult;  // where the walk ends, nothing moved
  return JumpToIndexedEntry(directory, *index, static_cast<uint32_t>(found->second));
}
