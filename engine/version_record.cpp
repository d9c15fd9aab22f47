// The patch procedure's version record: after success the current version
// becomes the backup version; after failure the backup version is put back.
#include <cstdio>
#include <string>

#include "engine/auto_install_patch.h"
#include "engine/paths.h"
#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
#include "engine/version_record.h"
#include "engine/work_folders.h"
#include "platform/platform.h"
#include "versiondb/versiondb.h"

namespace {

constexpr size_t kNarrowPathLength = 512;
constexpr size_t kTableTestLength = 256;

}  // namespace

VersionRecordResult recordVersionOutcome(bool success) {
  char16_t widePath[kPathBufferLength] = {};
  if (!appendClientDataPath(widePath, u"usr000.db")) return VersionRecordResult::Failed;
  // SQLite opens the name as this system writes paths, in UTF-8.
  std::u16string systemPath = platform::toSystemPathForm(widePath);
  char narrowPath[kNarrowPathLength] = {};
  if (!wideToNarrow(systemPath.c_str(), narrowPath, sizeof narrowPath)) return VersionRecordResult::Failed;

  CSqlDatabase database;
  CSqlText sql;
  try {
    database.openFile(narrowPath);

    char tableTest[kTableTestLength];
    std::snprintf(tableTest, sizeof tableTest, "select count(*) from sqlite_master where type='table' and name='%s'",
                  "autoupdate");
    // The table is the client's: without it nothing is written and nothing created.
    if (database.runScalarQuery(tableTest) <= 0) return VersionRecordResult::NoTable;

    const char* select = success ? "select v_sversion from autoupdate" : "select v_sbakversion from autoupdate";
    // %q doubles quotes, so the value is stored exactly as it was read.
    const char* update = success ? "update autoupdate set v_sbakversion='%q'" : "update autoupdate set v_sversion='%q'";
    {
      sql.format(select);
      CSqlQuery query = database.runQuery(sql.text);
      const char* value = query.firstColumnText();
      // %q would write "(NULL)"; a NULL value or no row is written as the empty text.
      sql.format(update, value != nullptr ? value : "");
    }  // The statement is finalized here: the library refuses to close a connection that still has one.
    database.runStatement(sql.text);
    database.closeFile();
    return VersionRecordResult::Written;
  } catch (...) {
    // The outcome is recorded or not; nothing reads the reason.
    return VersionRecordResult::Failed;
  }
}

bool CAutoInstallPatch::recordOutcome(bool success) {
  // On a full disk the record needs the room that the work folders take:
  // whatever a backup still to be put back does not need goes first.
  const MarkerState marker = readRestoreMarker().state;
  if (!backupStillNeeded(marker)) removeBackupAndExtraction();
  const VersionRecordResult result = recordVersionOutcome(success);
  settleMarkerAfterRecord(marker, result != VersionRecordResult::Failed);
  return result == VersionRecordResult::Written;
}
