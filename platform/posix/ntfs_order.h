// The order in which NTFS keeps the names of a folder, for listings and tree
// walks that must come in the order Windows delivers them.
#pragma once

#include <string>

namespace platform::posix {

// The simple Unicode upper-case form of one UTF-16 unit (é becomes É, ß stays);
// NTFS compares names by these forms, unit by unit.
char16_t upperCaseUnit(char16_t unit);

// A name as NTFS orders it in a folder: by its upper-case form, made once
// here rather than at every comparison of a sort. Names whose upper-case forms
// are equal, which NTFS never holds side by side, follow their own units.
struct NtfsSortKey {
  explicit NtfsSortKey(const std::u16string& name);
  bool operator<(const NtfsSortKey& other) const {
    return upper != other.upper ? upper < other.upper : name < other.name;
  }
  std::u16string upper;
  std::u16string name;
};

}  // namespace platform::posix
