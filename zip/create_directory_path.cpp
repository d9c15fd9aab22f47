#include <string>

#include "platform/platform.h"
#include "zip/entry_names.h"
#include "zip/zip_reader.h"

// Outermost first: every prefix that ends before a separator (past the first
// unit), then the whole path. Folders that exist or cannot be made are passed
// over; a base without a closing separator still gets one before the path.
void CreateDirectoryPath(const char16_t* baseFolder, const char16_t* relativePath) {
  if (relativePath == nullptr || relativePath[0] == 0) return;
  size_t length = std::char_traits<char16_t>::length(relativePath);
  char16_t joined[ZipMaxPath];
  for (size_t i = 1; i <= length; ++i) {
    if (i < length && !IsPathSeparator(relativePath[i])) continue;
    // A folder that does not fit its buffer is not made; what needs it fails later.
    if (JoinEntryPath(baseFolder, relativePath, i, joined)) platform::createFolder(joined);
  }
}
