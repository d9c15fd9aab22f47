#include "engine/restore_marker.h"

#include "engine/paths.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kRestoreMarkerName[] = u"baksrcfile.restore";

bool markerPath(char16_t (&path)[kPathBufferLength]) { return appendClientDataPath(path, kRestoreMarkerName); }

}  // namespace

bool placeRestoreMarker() {
  char16_t path[kPathBufferLength] = {};
  return markerPath(path) && platform::File::createNew(path).isOpen();
}

bool restoreMarkerStands() {
  char16_t path[kPathBufferLength] = {};
  return markerPath(path) && platform::pathExists(path);
}

bool removeRestoreMarker() {
  char16_t path[kPathBufferLength] = {};
  return markerPath(path) && platform::deleteFile(path);
}
