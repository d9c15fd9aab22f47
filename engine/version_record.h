// The version table's record of a patch's outcome: after success the current
// version becomes the backup version; after failure the backup version is put back.
#pragma once

enum class VersionRecordResult { Written, NoTable, Failed };

// NoTable: the client has no "autoupdate" table, so there is nothing to write.
// Failed: the database could not be opened, read or written.
VersionRecordResult recordVersionOutcome(bool success);
