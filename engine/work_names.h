// The names the updater gives its own files in the installation folder while it runs.
#pragma once

// The running executable, parked so that a new one can take its name.
constexpr char16_t kParkedExecutableName[] = u"VelmiUpdate_Rename.exe";
// The SQLite library, parked like the executable.
constexpr char16_t kParkedLibraryName[] = u"sqlite3_Rename.dll";
// The copy of the executable that stands under its own name while the original is parked.
constexpr char16_t kExecutableCopyName[] = u"VelmiUpdate_Copy.tmp";
// The copy of the library that stands under its own name while the original is parked.
constexpr char16_t kLibraryCopyName[] = u"sqlite3_Copy.tmp";
