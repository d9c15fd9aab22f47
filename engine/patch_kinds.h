// Whether a patch fits the installation entry by entry, before it is copied.
#pragma once

// False when an entry of the extracted tree is a folder where the installation
// has a file or link, or a file where it has a folder, or when what stands in
// the installation cannot be told. The shell copy would write the one over the
// other, or stop half-way. Folders end with or without a separator.
bool patchKindsFitInstallation(const char16_t* extractFolder, const char16_t* installFolder);
