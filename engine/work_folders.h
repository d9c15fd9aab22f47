// Removing the updater's own entries in the client data folder: its work
// folders, their names on the way out, the restore marker and its passing names.
#pragma once

// Removes what stands under one of the updater's own names, the entry itself:
// a link or junction goes as a link, a file only once a file of the updater's
// own, made beside it under a free giving-way name, has taken its place, a folder with all it
// holds. Nothing is ever deleted through a link. True when nothing stands
// there afterwards; false also when what stands there cannot be told.
bool removeOwnEntry(const char16_t* path);

// Removes the files of the updater's own that a run killed in removeOwnEntry
// left in the folder under the giving-way names.
void removeGivingWayFiles(const char16_t* folder);

// Deletes the folder as one step: renamed to its name with kLeavingSuffix
// first, so that a run that dies half-way leaves nothing under the folder's own
// name, only a leftover that removeLeavingFolders deletes. True when nothing
// stands under either name afterwards.
bool removeAsOneStep(const char16_t* folder);

// Deletes what a run that died in removeAsOneStep left of the patch and the
// extraction folder.
void removeLeavingFolders();

// Deletes the backup and the extraction folder. True when neither stands afterwards.
bool removeBackupAndExtraction();
