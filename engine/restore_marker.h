// The file in the client data folder whose presence says that the backup must
// go back before anything else happens. It is placed just before the copy over
// the installation, once the backup is whole, and removed once that copy is
// confirmed whole or the backup is wholly put back: while it stands, the
// installation may be half patched, whatever became of the run.
#pragma once

bool placeRestoreMarker();
bool restoreMarkerStands();
bool removeRestoreMarker();
