// Walking one level of a folder by bare names, for the engine's own tree walks.
#pragma once

#include <string>

#include "platform/platform.h"

// The path with one separator at its end, to put bare names behind.
inline std::u16string asFolder(const char16_t* path) {
  std::u16string folder = path;
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

inline platform::EntryKind kindOf(const std::u16string& path) { return platform::entryKind(path.c_str()); }

// Calls visit with every entry of the folder (a path with its separator; no
// dot entries), told in the detail asked for. False when the folder cannot be listed.
template <typename Visit>
bool forEachFolderEntry(const std::u16string& folder, platform::ListingDetail detail, Visit visit) {
  platform::FolderListing listing((folder + u"*").c_str(), detail);
  if (!listing.valid()) return false;
  platform::FolderEntry entry;
  while (listing.next(entry)) {
    if (entry.name != u"." && entry.name != u"..") visit(entry);
  }
  return true;
}

// The same, with the bare name of each entry.
template <typename Visit>
bool forEachEntry(const std::u16string& folder, Visit visit) {
  return forEachFolderEntry(folder, platform::ListingDetail::Attributes,
                            [&](const platform::FolderEntry& entry) { visit(entry.name); });
}
