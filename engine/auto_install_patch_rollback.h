// Undoing the additions of a copy over the installation that stopped half-way.
#pragma once

// Deletes from installFolder every file and folder that the extracted tree
// holds and the backup does not: what the failed copy may have added. Entries
// the backup has are left to the restore copy. Folders end with or without a
// separator; failures are passed over.
void removeEntriesAddedByPatch(const char16_t* extractFolder, const char16_t* backupFolder,
                               const char16_t* installFolder);
