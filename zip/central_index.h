// What one walk over the whole central directory gives, kept per open archive:
// every header the walk can reach, in order, the names it would compare, and
// the result that ends it. Look-ups and jumps answered from it give exactly
// what the walk gives, failures included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zip/central_entry_info.h"
#include "zip/dir_result.h"

struct ZipDirectory;

struct CentralIndexEntry {
  uint32_t position = 0;
  CentralEntryInfo info;
  uint32_t localHeaderOffset = 0;
};

struct CentralIndex {
  std::vector<CentralIndexEntry> entries;  // the headers the walk reads successfully, from the first
  DirResult endResult = DirEndOfList;      // DirEndOfList, or the failure of the header after the last entry
  uint32_t endPosition = 0;                // that failing header's position
  std::string foldedNames;                 // the compared names, letters folded, back to back
  std::unordered_map<std::string_view, int32_t> firstByName;  // folded name -> first entry with it
};

// The index of an open directory, built on first use; null when the plain walk
// must answer (a read has failed on the source, or the index cannot be built).
const CentralIndex* CentralIndexOf(ZipDirectory* directory);

// Makes entry `slot` of the index current, or the failure that ends the walk when slot lies past it.
DirResult JumpToIndexedEntry(ZipDirectory* directory, const CentralIndex& index, uint32_t slot);
