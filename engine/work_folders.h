// The names of the patch run's work folders in the client data folder.
#pragma once

constexpr char kPatchFolderName[] = "downsmallversion";  // ANSI text: converted before use
constexpr char16_t kExtractFolderName[] = u"decpressupdatefile";
constexpr char16_t kBackupFolderName[] = u"baksrcfile";
// The patch folder's name on its way out: whatever stands under it is deleted, never applied.
constexpr char16_t kLeavingPatchFolderName[] = u"downsmallversion.delete";
