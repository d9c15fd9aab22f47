// A full install ("Y") under Wine: the one program in the download folder runs
// there, without a command line of its own, and the updater waits for it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;
using testing_support::readFile;
using testing_support::writeFile;

std::map<std::string, std::string> readRecord(const fs::path& path) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(testing_support::readFile(path));
  std::string line;
  while (std::getline(lines, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

TEST(WineFullInstall, InstallerRunsInTheDownloadFolderWithoutArgumentsAndIsWaitedFor) {
  preparePrefix();
  resetInstallation({{"client.dat", "client 2.0.0"}});
  const fs::path downloadFolder = clientDataFolder() / "downupdatefile";
  fs::create_directories(downloadFolder / "unpacked");  // a folder beside it is no second installer
  fs::copy_file(testProgram("installer_probe.exe"), downloadFolder / "QuilletSetup.exe");
  const fs::path record = clientDataFolder() / "installer_record.txt";
  const std::string ownExecutable = testing_support::readFile(installFolder() / "VelmiUpdate.exe");

  // The updater hands its environment on; the probe reads where to write from it.
  const auto run = runUpdater(
      "Y", {"VELMI_PROBE_RECORD=" + windowsPath(record), "VELMI_PROBE_INSTALL=" + windowsPath(installFolder()) + "\\"});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);

  // The probe writes its record only after a pause: that it is there now shows the wait.
  ASSERT_TRUE(fs::exists(record)) << "the updater ended before its installer";
  const auto fields = readRecord(record);
  {
    SCOPED_TRACE("started in the download folder, with no arguments");
    EXPECT_EQ(fields.at("folder"), windowsPath(downloadFolder));
    EXPECT_EQ(fields.at("argc"), "1");
    // With no command line given, Windows makes one of the program's own path.
    std::string commandLine = fields.at("commandline");
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"') {
      commandLine = commandLine.substr(1, commandLine.size() - 2);
    }
    EXPECT_EQ(commandLine, windowsPath(downloadFolder / "QuilletSetup.exe"));
  }
  {
    SCOPED_TRACE("while it ran, the executable was parked with a copy in its place; afterwards it has its name back");
    EXPECT_EQ(fields.at("parked"), "yes");
    EXPECT_EQ(testing_support::readFile(installFolder() / "VelmiUpdate.exe"), ownExecutable);
    EXPECT_FALSE(fs::exists(installFolder() / "VelmiUpdate_Rename.exe"));
    EXPECT_TRUE(fs::exists(installFolder() / "sqlite3.dll"));
    EXPECT_FALSE(fs::exists(installFolder() / "sqlite3_Rename.dll"));
  }
  {
    SCOPED_TRACE("the installer and its folder stay");
    EXPECT_TRUE(fs::exists(downloadFolder / "QuilletSetup.exe"));
  }
}

}  // namespace

// The mutex of the client data folder: a patch run started while the full
// install is busy does nothing at all.
TEST(WineFullInstall, APatchRunStartedWhileTheInstallerRunsDoesNothing) {
  preparePrefix();
  resetInstallation({{"client.dat", "client 2.0.0"}});
  const fs::path downloadFolder = clientDataFolder() / "downupdatefile";
  fs::create_directories(downloadFolder);
  fs::copy_file(testProgram("installer_probe.exe"), downloadFolder / "QuilletSetup.exe");
  const fs::path record = clientDataFolder() / "installer_record.txt";
  const fs::path patchFolder = clientDataFolder() / "downsmallversion";
  makeZip(patchFolder / "client_sp1.zip", {{"client.dat", "client from sp1"}});

  WineProcess install(installFolder() / "VelmiUpdate.exe", {"Y"},
                      {"VELMI_PROBE_RECORD=" + windowsPath(record),
                       "VELMI_PROBE_INSTALL=" + windowsPath(installFolder()) + "\\", "VELMI_PROBE_PAUSE_MS=4000"});
  // Parked means busy: the lock came first.
  for (int wait = 0; wait < 300 && !fs::exists(installFolder() / "VelmiUpdate_Rename.exe"); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(fs::exists(installFolder() / "VelmiUpdate_Rename.exe")) << "the full install never got going";
  ASSERT_FALSE(fs::exists(record)) << "the installer ended too soon for this test";

  const auto patch = runUpdater("N");
  EXPECT_TRUE(patch.exited && patch.exitCode == 0);
  EXPECT_EQ(testing_support::readFile(installFolder() / "client.dat"), "client 2.0.0");
  EXPECT_TRUE(fs::exists(patchFolder / "client_sp1.zip"));
  EXPECT_FALSE(fs::exists(clientDataFolder() / "usr000.db"));

  ASSERT_TRUE(install.waitForEnd(std::chrono::seconds(120)));
  EXPECT_TRUE(fs::exists(record));
}

// Whatever an earlier patch run, or no build, left under the restore marker's
// name, a full install starts its installer. Afterwards this installation's
// marker is gone, and so is one that no build writes; one whose owner cannot
// be told stays, and a patch run then does nothing beside it, as before.
TEST(WineFullInstall, StartsItsInstallerWhateverMarkerAnEarlierRunLeft) {
  preparePrefix();
  const fs::path marker = clientDataFolder() / "baksrcfile.restore";
  const auto utf16 = [](const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += {c, '\0'};
    return bytes;
  };
  const std::string thisUpdater = windowsPath(installFolder() / "VelmiUpdate.exe");
  const auto writeMarker = [&](const std::string& bytes) { return [&marker, bytes] { writeFile(marker, bytes); }; };
  struct Row {
    const char* what;
    std::function<void()> leave;
    bool markerStays;
  };
  const Row rows[] = {
      {"this installation's success, which a damaged database cannot record",
       [&] {
         writeFile(marker, utf16("C" + thisUpdater));
         writeFile(clientDataFolder() / "usr000.db", "not a database, and never made one");
       },
       false},
      {"a marker with a state no build writes", writeMarker(utf16("Z" + thisUpdater)), false},
      {"a marker of an odd byte count", writeMarker(utf16("R" + thisUpdater) + "R"), false},
      {"a folder under the marker's name",
       [&] {
         fs::create_directory(marker);
         writeFile(marker / "inside.txt", "in a folder");
       },
       false},
      {"a read-only marker with a state no build writes",
       [&] {
         writeFile(marker, utf16("Z" + thisUpdater));
         // Wine keeps the read-only attribute as a file that nobody may write.
         fs::permissions(marker, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       false},
      {"a restore marker of an installation on a drive that is not there",
       writeMarker(utf16("RQ:\\other\\VelmiUpdate.exe")), true},
  };
  ASSERT_FALSE(fs::exists(fs::symlink_status(driveC().parent_path() / "dosdevices" / "q:"))) << "Q: names a drive";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    resetInstallation({{"client.dat", "client 2.0.0"}});
    const fs::path downloadFolder = clientDataFolder() / "downupdatefile";
    fs::create_directories(downloadFolder);
    fs::copy_file(testProgram("installer_probe.exe"), downloadFolder / "QuilletSetup.exe");
    const fs::path record = clientDataFolder() / "installer_record.txt";
    row.leave();
    const std::string markerLeft = fs::is_regular_file(marker) ? readFile(marker) : "";

    const auto install = runUpdater("Y", {"VELMI_PROBE_RECORD=" + windowsPath(record), "VELMI_PROBE_PAUSE_MS=0"});
    EXPECT_TRUE(install.exited && install.exitCode == 0);
    EXPECT_TRUE(fs::exists(record)) << "the installer was not started";
    if (row.markerStays) {
      EXPECT_EQ(fs::is_regular_file(marker) ? readFile(marker) : "<no marker>", markerLeft);
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(marker))) << "the restore marker stays";
    }

    makeZip(clientDataFolder() / "downsmallversion" / "client_sp1.zip", {{"client.dat", "client from sp1"}});
    const auto patch = runUpdater("N");
    EXPECT_TRUE(patch.exited && patch.exitCode == 0);
    EXPECT_EQ(readFile(installFolder() / "client.dat"), row.markerStays ? "client 2.0.0" : "client from sp1");
  }
}
