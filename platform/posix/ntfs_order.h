// The order in which NTFS keeps the names of a folder, for listings and tree
// walks that must come in the order Windows delivers them.
#pragma once

#include <string>

namespace platform::posix {

// The simple Unicode upper-case form of one UTF-16 unit (é becomes É, ß stays);
// NTFS compares names by these forms, unit by unit.
char16_t upperCaseUnit(char16_t unit);

// a comes before b in a folder. Names whose upper-case forms are equal, which
// NTFS never holds side by side, follow their own units.
bool ntfsNameOrder(const std::u16string& a, const std::u16string& b);

}  // namespace platform::posix
