// The file in the client data folder whose presence says what a patch run that
// died left to finish, and for which installation. It says one of two things:
// - Restore: placed just before the copy over the installation, once the
//   backup is whole; until it goes, the installation may be half patched and
//   the backup must go back.
// - Confirmed: the copy over the installation was whole; only the success is
//   left to record, and the backup is no longer needed.
// It names the updater it belongs to, because two installations of the client
// may share one client data folder. It is written under a passing name and
// renamed into place, so it never stands half-written.
#pragma once

#include <string>

enum class MarkerState { None, Restore, Confirmed, Unreadable };

// The backup may still have to go back: a marker says so, or cannot be read.
inline bool backupStillNeeded(MarkerState state) {
  return state == MarkerState::Restore || state == MarkerState::Unreadable;
}

struct RestoreMarker {
  MarkerState state = MarkerState::None;
  // The full path of the updater that placed it. Empty in a marker of an older
  // build, which named nobody: such a marker is the running installation's.
  std::u16string updaterPath;
};

enum class MarkerOwner { ThisInstallation, AnotherInstallation, GoneInstallation, Unknown };

// Places the marker (Restore or Confirmed) for this installation, replacing
// one that stands.
bool placeRestoreMarker(MarkerState state);
RestoreMarker readRestoreMarker();
bool removeRestoreMarker();
// Removes what a run that died while placing the marker left under the
// passing name, and a link that stands under the marker's own name.
void removeStrayMarkers();

// Whose the marker is: this installation's (the same folder), another one's
// that still holds an updater, or one that is gone. Unknown when the paths
// cannot be told.
MarkerOwner ownerOf(const RestoreMarker& marker);
