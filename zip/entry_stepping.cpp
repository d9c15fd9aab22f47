#include "zip/entry_stepping.h"

#include "zip/central_index.h"
#include "zip/zip_directory.h"

DirResult MoveToCentralEntryByStepping(ZipDirectory* directory, int32_t index) {
  if (index < directory->currentIndex) SeekFirstCentralEntry(directory);
  while (directory->currentIndex < index) {
    DirResult r = SeekNextCentralEntry(directory);
    if (r != DirOk) return r;  // an unreadable header blocks the way: never step again
  }
  return directory->currentValid ? DirOk : DirEndOfList;
}

DirResult MoveToCentralEntry(ZipDirectory* directory, int32_t index) {
  if (index == directory->currentIndex || (index > directory->currentIndex && !directory->currentValid)) {
    return MoveToCentralEntryByStepping(directory, index);  // costs no read
  }
  // One step forward is as cheap as a jump and needs no index.
  if (index == directory->currentIndex + 1) return MoveToCentralEntryByStepping(directory, index);
  const CentralIndex* centralIndex = CentralIndexOf(directory);
  if (centralIndex == nullptr) return MoveToCentralEntryByStepping(directory, index);
  return JumpToIndexedEntry(directory, *centralIndex, static_cast<uint32_t>(index));
}
