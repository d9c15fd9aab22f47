// Putting the installation back as the backup holds it, after a copy over it
// stopped half-way or a run died during that copy.
#pragma once

// Fails at once, changing nothing, when installFolder is not a folder: the
// updater never makes the installation anew.
//
// While the extraction folder stands, it names everything the copy may have
// written; only that is undone. First every entry it holds that the backup does
// not is removed from installFolder (what the patch may have added, which also
// frees the room the restore needs), and a passing name of the copy
// (platform::kPartialCopyName) that the backup lacks. The extraction folder then
// goes as one step (renamed to its name with ".delete", then deleted), and each
// entry it named goes back from the backup, past single failures. A file the
// copy never wrote is left as it is. Where the extraction folder is gone, the
// whole backup goes back.
//
// True when all of it was done. Folders end with or without a separator.
// Nothing is followed through a link or junction inside the installation (at
// most the link itself goes), and every name is taken literally, never as a
// wildcard.
bool rollBackPatch(const char16_t* extractFolder, const char16_t* backupFolder, const char16_t* installFolder);
