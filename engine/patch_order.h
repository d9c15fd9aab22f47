// The order in which patch archives are applied: by the number after "_sp".
#pragma once

#include <list>
#include <string>

// True when a is to be applied before b. A name without "_sp" is neither less
// nor greater than any other.
bool patchNumberLess(const std::u16string& a, const std::u16string& b);

// True when the lower-cased name holds ".zip" anywhere: the names that are
// extracted as patch archives.
bool isPatchArchiveName(const std::u16string& name);

// The list's own stable merge sort with 25 bins; it moves nodes, never names.
void sortPatchNames(std::list<std::u16string>& names);
