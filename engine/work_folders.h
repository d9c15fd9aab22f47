// Removing the patch run's work folders in the client data folder.
#pragma once

// Deletes the folder as one step: renamed to its name with ".delete" first, so
// that a run that dies half-way leaves nothing under the folder's own name,
// only a leftover that removeLeavingFolders deletes. True when nothing stands
// under either name afterwards.
bool removeAsOneStep(const char16_t* folder);

// Deletes what a run that died in removeAsOneStep left of the patch and the
// extraction folder.
void removeLeavingFolders();

// Deletes the backup and the extraction folder. True when neither stands afterwards.
bool removeBackupAndExtraction();
