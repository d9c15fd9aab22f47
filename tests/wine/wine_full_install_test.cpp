// A full install ("Y") under Wine: the one program in the download folder runs
// there, without a command line of its own, and the updater waits for it.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;

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
