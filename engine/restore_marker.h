// The file in the client data folder whose presence says what a patch run that
// died left to finish, and for which installation, and what every run decides
// from it. It says one of two things:
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

// Unreadable: it could not be read (an I/O or permission error), so nothing
// about it can be told. Corrupt: what it holds no build writes (not a plain
// file, an odd or too large byte count, an unknown state, an updater path
// without a folder), so no run could ever finish it.
enum class MarkerState { None, Restore, Confirmed, Unreadable, Corrupt };

struct RestoreMarker {
  MarkerState state = MarkerState::None;
  // The full path of the updater that placed it. Empty in a marker of an older
  // build, which named nobody: such a marker is the running installation's.
  std::u16string updaterPath;
};

// ---- the file

// Places the marker (Restore or Confirmed) for this installation, replacing
// one that stands.
bool placeRestoreMarker(MarkerState state);
RestoreMarker readRestoreMarker();
// Removes whatever stands under the marker's name, the entry itself, never
// what a link there points to (removeOwnEntry). True when nothing stands there
// afterwards.
bool removeRestoreMarker();
// Removes what a run that died while placing or removing the marker left
// under its passing names, and a link that stands under the marker's own name.
void removeStrayMarkers();

// ---- what runs decide from it

// The backup may still have to go back: a marker says so, or cannot be read.
inline bool backupStillNeeded(MarkerState state) {
  return state == MarkerState::Restore || state == MarkerState::Unreadable;
}

enum class MarkerOwner { ThisInstallation, AnotherInstallation, GoneInstallation, Unknown };

// Whose the marker is: this installation's (the same folder, however spelt),
// another one's that still holds an updater, or one that is reported gone (its
// folder, or the updater in it, not found). Unknown whenever that cannot be
// told: an error other than "not found", a drive that is not ready or not there.
MarkerOwner ownerOf(const RestoreMarker& marker);

// The installation folder stands, holding the running updater under its own
// name or its parked one. A folder that is gone, or an empty mount point left
// by a detached volume, is no installation to copy into.
bool installationStands();

// After a patch's outcome was recorded (or not): a confirmed success that is
// on record needs its marker no more.
void settleMarkerAfterRecord(MarkerState before, bool recorded);

// Before a full installer may run: this installation's marker goes, so that
// no later run puts the backup it speaks for over what the installer writes.
// True when the installer may run: no marker of this installation stands, nor
// one that cannot be read (it may be this installation's); a restore marker of
// an installation that does not stand now stays, and the installer waits. Another
// installation's, or one whose owner cannot be told, is left alone.
// removedOwn tells whether this installation's marker went, and with it the
// need of its backup and extraction folder.
bool clearMarkerBeforeFullInstall(bool& removedOwn);
