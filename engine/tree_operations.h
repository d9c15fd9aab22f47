// Whole-tree copy, delete and rename through the shell, and the folder listing.
#pragma once

#include <list>
#include <string>

#include "engine/paths.h"

// Each shell operation writes a second NUL behind the path's terminator, in the
// caller's buffer of kPathBufferLength units, so a path it is handed holds at
// most this many units; a longer one is refused.
constexpr size_t kShellPathMaxLength = kPathBufferLength - 2;

// Creates the target folder (one level) if nothing exists under its path, then
// copies everything that the source pattern ("folder\*") names into it.
bool copyFolderContents(char16_t* sourcePattern, char16_t* targetFolder);

// Deletes a file, or a folder with everything in it, permanently.
bool deletePath(char16_t* path);

// Gives the file or folder a new path.
bool renamePath(char16_t* from, char16_t* to);

// Makes the folder the process's current directory and appends the bare names
// of its plain files (never folders) to names, in the platform's listing order.
void listFilesInFolder(const char16_t* folder, std::list<std::u16string>& names);
