// Putting the installation back as the backup holds it, after a copy over it
// stopped half-way or a run died during that copy.
#pragma once

// First removes from installFolder every entry that the extracted tree holds
// and the backup does not: what the patch may have added, which also frees the
// room the restore needs. Once that is done the extraction folder goes too.
// A passing name of the copy (platform::kPartialCopyName) that the backup
// lacks goes as well. Then copies every backed-up entry back, going past
// single failures. True when all of it was done. Folders end with or without
// a separator.
//
// Nothing is followed through a link or junction inside the installation (at
// most the link itself goes), and every name is taken literally, never as a
// wildcard.
bool rollBackPatch(const char16_t* extractFolder, const char16_t* backupFolder, const char16_t* installFolder);
