// The two roots of every path: the client data folder and the installation folder.
#pragma once

#include <cstddef>
#include <memory>

// Every path buffer of the procedures holds this many UTF-16 units, terminator included.
constexpr size_t kPathBufferLength = 512;

// The roaming application-data folder, "\" and "quillet\WindowsClient". Nothing
// is created on disk. Null when the roaming folder cannot be told.
std::unique_ptr<char16_t[]> getClientDataFolder();

// Append the client data folder, "\" and the name to the path in destination
// (a buffer of kPathBufferLength units). False, with destination emptied, when
// the result would not fit or the client data folder cannot be told: no step
// may go on with a cut path.
bool appendClientDataPath(char16_t* destination, const char16_t* name);

// The path the updater was started under, into path. False, with path
// emptied, when it cannot be read whole.
bool readOwnExecutablePath(char16_t (&path)[kPathBufferLength]);

// Append the drive and folder of the updater's own executable (ending with its
// separator) and the name. False, with destination emptied, as above.
bool appendModuleFolderPath(char16_t* destination, const char16_t* name);

// ANSI text to UTF-16 into destination (capacity units). False for an empty
// source, leaving destination untouched, and when the text does not fit.
bool narrowToWide(const char* source, char16_t* destination, size_t capacity);

// UTF-16 text to UTF-8 into destination (capacity bytes). False, with
// destination emptied, when it does not fit.
bool wideToNarrow(const char16_t* source, char* destination, size_t capacity);
