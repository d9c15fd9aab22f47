// Whole-tree copy and delete on POSIX, for the shell operations.
#pragma once

#include <sys/stat.h>

#include <string>

namespace platform::posix {

// Windows error numbers, so that results look the same on both systems.
constexpr int kErrorNone = 0;
constexpr int kErrorNotFound = 2;         // ERROR_FILE_NOT_FOUND
constexpr int kErrorAccessDenied = 5;     // ERROR_ACCESS_DENIED
constexpr int kErrorBadArguments = 87;    // ERROR_INVALID_PARAMETER
constexpr int kErrorAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
constexpr int kErrorIntoItself = 0x4C7;   // a folder copied into its own sub-tree

// Copies a file, link or whole folder to target. A file replaces a file; a
// folder merges into a folder; a file onto a folder, or a folder onto a file,
// fails. Modification times come along; permission bits come along only to
// what the copy creates, a replaced file or merged folder keeps its own (a
// folder of another owner keeps its time too: it may not be given one). A new
// file is written in place, as the Windows shell does; one that replaces a
// file is written under kPartialCopyName first and renamed over it. Stops at
// the first failure; what was copied stays.
int copyEntry(const std::string& source, const std::string& target);

// Writes a new file at path with the bytes and times of source, whose lstat is
// sourceInfo. The file is created exclusively, never through a link: once the
// source opens, whatever stands under path (a read-only file, a link) is
// removed first, never opened. It takes the bits and owner of the regular file
// it replaces, else its source's: the owner where this process may give it,
// set-ID bits only where the owner came along (see modeForCopy). A folder
// under path fails; the source itself is left as it is. A file that replaces
// another is whole or not there; a new one may stay half-written.
int writeCopyOf(const std::string& source, const struct stat& sourceInfo, const std::string& path);

// The permission bits that a copy owned as copy says may take from reference,
// as cp does: no set-user-ID or set-group-ID bit for another owner, no
// set-group-ID bit for another group.
mode_t modeForCopy(const struct stat& reference, const struct stat& copy);

// Removes a file, link or whole folder (links are removed, never followed).
int removeTree(const std::string& path);

// True when target is source itself or lies inside it (both must exist).
bool isSameOrInside(const std::string& target, const std::string& source);

}  // namespace platform::posix
