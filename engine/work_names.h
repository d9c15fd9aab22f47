// Every name the updater gives its own work files and folders: nothing from an
// archive may take one, and whatever stands under one is the updater's.
#pragma once

#include <string_view>

// ---- in the installation folder, while a run goes on

// The running executable, parked so that a new one can take its name.
constexpr char16_t kParkedExecutableName[] = u"VelmiUpdate_Rename.exe";
// The SQLite library, parked like the executable.
constexpr char16_t kParkedLibraryName[] = u"sqlite3_Rename.dll";
// The copy of the executable that stands under its own name while the original is parked.
constexpr char16_t kExecutableCopyName[] = u"VelmiUpdate_Copy.tmp";
// The copy of the library that stands under its own name while the original is parked.
constexpr char16_t kLibraryCopyName[] = u"sqlite3_Copy.tmp";

// The four above: an archive entry of one of these names would be copied over them.
constexpr std::u16string_view kInstallationWorkNames[] = {kParkedExecutableName, kParkedLibraryName,
                                                          kExecutableCopyName, kLibraryCopyName};

// ---- in the client data folder

constexpr char kPatchFolderName[] = "downsmallversion";  // ANSI text: converted before use
constexpr char16_t kExtractFolderName[] = u"decpressupdatefile";
constexpr char16_t kBackupFolderName[] = u"baksrcfile";
// Behind a folder's name on its way out (the patch and the extraction folder):
// whatever stands under such a name is deleted, never applied or read as a
// list of what a patch wrote.
constexpr char16_t kLeavingSuffix[] = u".delete";
// The marker of a patch run that may have to be finished, and its passing name
// while it is written.
constexpr char16_t kRestoreMarkerName[] = u"baksrcfile.restore";
constexpr char16_t kPassingMarkerName[] = u"baksrcfile.restore.new";
// A file of the updater's own that takes the place of a file under one of
// these names before that is deleted, made under the first of this name and
// it followed by ".1" to ".9" where nothing stands.
constexpr char16_t kGivingWayName[] = u"baksrcfile.gone";
constexpr int kGivingWayNames = 10;
