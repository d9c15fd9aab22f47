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
// what the copy creates, a replaced file or merged folder keeps its own. Each
// file is written whole under a passing name, then renamed into place. Stops
// at the first failure; what was copied stays.
int copyEntry(const std::string& source, const std::string& target);

// Writes a new file at path with the bytes and times of source, whose lstat is
// sourceInfo, and the given permission bits. Once the source opens, whatever
// stands under path (a read-only file, a link) is removed first, never written
// through. A half-written file stays.
int writeCopyOf(const std::string& source, const struct stat& sourceInfo, const std::string& path, mode_t mode);

// The one name under which a copy writes a file into a folder before it
// renames it into place.
constexpr char kPartialCopyName[] = ".velmi-partial~";

// Removes what an interrupted copy left of a file in the folder.
void removePartialCopy(const std::string& folder);

// Removes a file, link or whole folder (links are removed, never followed).
int removeTree(const std::string& path);

// True when target is source itself or lies inside it (both must exist).
bool isSameOrInside(const std::string& target, const std::string& source);

}  // namespace platform::posix
