// The Wine prefix that the Wine tests share, seen from the host: its C: drive,
// the Wine user's roaming folder, an installation folder on C:, and runs of
// Windows programs inside it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace wine_testing {

namespace fs = std::filesystem;

// Makes the prefix if this test run has none yet (a run outside CTest), and
// sets the Wine environment for this process and its children.
void preparePrefix();

fs::path driveC();
// The Wine user's AppData\Roaming, where SHGetSpecialFolderPathW(CSIDL_APPDATA) points.
fs::path roamingFolder();
fs::path clientDataFolder();  // roaming\quillet\WindowsClient
fs::path installFolder();     // C:\VelmiTest

// "C:\..." for a host path inside the C: drive.
std::string windowsPath(const fs::path& hostPath);

// A Windows program started inside the prefix. Its output goes nowhere: Wine's
// own service processes inherit it and outlive the program, and must not hold
// the test's output open.
class WineProcess : public testing_support::ChildProcess {
 public:
  WineProcess(const fs::path& hostPath, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment = {});
};

// Runs a Windows program inside the prefix and waits for it, two minutes at most.
testing_support::RunResult runWindowsProgram(const fs::path& hostPath, const std::vector<std::string>& arguments,
                                             const std::vector<std::string>& environment = {});

// Runs the installed VelmiUpdate.exe with one argument.
testing_support::RunResult runUpdater(const std::string& argument, const std::vector<std::string>& environment = {});

// A fresh installation folder holding the Windows build's VelmiUpdate.exe and
// sqlite3.dll, beside the given client files (relative path -> content); and
// an empty client data folder.
void resetInstallation(const std::map<std::string, std::string>& clientFiles);

fs::path windowsBuildFile(const std::string& name);
fs::path testProgram(const std::string& name);

// A zip archive of the given files, made with the zip tool (which writes each
// folder's entry before the entries of its files). Every file is stamped with
// kArchivedFileTime, which the tool keeps in the entries' "UT" extra field.
void makeZip(const fs::path& archive, const std::map<std::string, std::string>& files);
constexpr int64_t kArchivedFileTime = 1706933106;  // 2024-02-03 04:05:06 UTC

// The last-write time of a file in seconds since 1970 (UTC).
int64_t lastWriteSeconds(const fs::path& path);

// The "autoupdate" table of a client database: create it, and read its first row.
void makeVersionTable(const fs::path& database, const std::string& version, const std::string& backupVersion);
std::string readVersions(const fs::path& database);  // "v_sversion|v_sbakversion"

// Output of a host command line (for objdump and the like).
std::string commandOutput(const std::string& commandLine);

}  // namespace wine_testing
