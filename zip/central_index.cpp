#include "zip/central_index.h"

#include <new>

#include "zip/ansi_names.h"
#include "zip/name_lookup.h"
#include "zip/zip_directory.h"
#include "zip/zip_source.h"

namespace {

// Past this many headers (only an entry count of 0 lets the walk run on) the walk answers itself.
constexpr size_t kMostIndexedEntries = 65536;

struct SavedCurrent {
  int32_t index;
  uint32_t position;
  CentralEntryInfo info;
  uint32_t localHeaderOffset;
  int32_t valid;
};

SavedCurrent saveCurrent(const ZipDirectory* d) {
  return {d->currentIndex, d->currentPosition, d->current, d->currentLocalHeaderOffset, d->currentValid};
}

void restoreCurrent(ZipDirectory* d, const SavedCurrent& s) {
  d->currentIndex = s.index;
  d->currentPosition = s.position;
  d->current = s.info;
  d->currentLocalHeaderOffset = s.localHeaderOffset;
  d->currentValid = s.valid;
}

// Runs the walk of the name look-up once over every entry, comparing nothing.
bool buildIndex(ZipDirectory* directory, CentralIndex& index) {
  std::vector<std::pair<size_t, size_t>> nameSpans;  // into foldedNames, per entry; npos start for unread names
  DirResult r = SeekFirstCentralEntry(directory);
  while (r == DirOk) {
    if (index.entries.size() >= kMostIndexedEntries) return false;
    index.entries.push_back({directory->currentPosition, directory->current, directory->currentLocalHeaderOffset});
    char area[kLookupNameArea + 1] = {};
    size_t start = std::string::npos, length = 0;
    if (ReadCentralEntryInfo(directory, nullptr, nullptr, area, kLookupNameArea) == DirOk) {
      start = index.foldedNames.size();
      AnsiNameFolder folder;
      for (; length < kLookupNameArea && area[length] != '\0'; ++length) index.foldedNames += folder.fold(area[length]);
    }
    nameSpans.emplace_back(start, length);
    r = SeekNextCentralEntry(directory);
  }
  index.endResult = r;
  index.endPosition = directory->currentPosition;
  // Views are taken once the text no longer grows.
  index.firstByName.reserve(nameSpans.size());
  for (size_t i = 0; i < nameSpans.size(); ++i) {
    if (nameSpans[i].first == std::string::npos) continue;
    std::string_view key(index.foldedNames.data() + nameSpans[i].first, nameSpans[i].second);
    index.firstByName.emplace(key, static_cast<int32_t>(i));  // keeps the first of equal names
  }
  return !directory->source->readError;
}

}  // namespace

const CentralIndex* CentralIndexOf(ZipDirectory* directory) {
  // Once a read has failed, later reads at the end of the data report failures
  // of their own; only the walk itself knows what it then gives.
  if (directory->indexUnusable || directory->source->readError) return nullptr;
  if (directory->index) return directory->index.get();
  SavedCurrent saved = saveCurrent(directory);
  auto index = std::unique_ptr<CentralIndex>(new (std::nothrow) CentralIndex());
  bool built = false;
  if (index) {
    try {
      built = buildIndex(directory, *index);
    } catch (const std::bad_alloc&) {
      built = false;
    }
  }
  restoreCurrent(directory, saved);
  if (!built) {
    directory->indexUnusable = true;
    return nullptr;
  }
  directory->index = std::move(index);
  return directory->index.get();
}

DirResult JumpToIndexedEntry(ZipDirectory* directory, const CentralIndex& index, uint32_t slot) {
  size_t count = index.entries.size();
  if (slot < count) {
    const CentralIndexEntry& entry = index.entries[slot];
    directory->currentIndex = static_cast<int32_t>(slot);
    directory->currentPosition = entry.position;
    directory->current = entry.info;
    directory->currentLocalHeaderOffset = entry.localHeaderOffset;
    directory->currentValid = 1;
    return DirOk;
  }
  if (index.endResult == DirEndOfList) {
    // The walk stops on its last entry.
    if (count == 0) return DirEndOfList;
    JumpToIndexedEntry(directory, index, static_cast<uint32_t>(count - 1));
    return DirEndOfList;
  }
  // Stepping stops on the unreadable header: index and position advanced, the
  // fields still those of the entry before it.
  if (count > 0) {
    directory->current = index.entries[count - 1].info;
    directory->currentLocalHeaderOffset = index.entries[count - 1].localHeaderOffset;
  }
  directory->currentIndex = static_cast<int32_t>(count);
  directory->currentPosition = index.endPosition;
  directory->currentValid = 0;
  return index.endResult;
}
