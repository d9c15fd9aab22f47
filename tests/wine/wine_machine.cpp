#include "tests/wine/wine_machine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

#include "tests/support/temp_folder.h"

namespace wine_testing {

namespace {

const std::vector<std::string>& wineEnvironment() {
  static const std::vector<std::string> environment = {std::string("WINEPREFIX=") + VELMI_WINE_PREFIX, "WINEDEBUG=-all",
                                                       "WINEARCH=win64",
                                                       // Neither Mono nor Gecko: no installer dialogs.
                                                       "WINEDLLOVERRIDES=mscoree,mshtml="};
  return environment;
}

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

testing_support::ChildOptions windowsRun(const fs::path& hostPath, const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& environment) {
  testing_support::ChildOptions options(VELMI_WINE64, {windowsPath(hostPath)}, wineEnvironment(), driveC());
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  options.streams = "/dev/null";
  return options;
}

}  // namespace

void preparePrefix() {
  for (const auto& entry : wineEnvironment()) {
    const auto equals = entry.find('=');
    setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
  }
  if (fs::exists(fs::path(VELMI_WINE_PREFIX) / "system.reg")) return;
  const std::string command = quoted(VELMI_WINE_PREFIX_SCRIPT) + " create " + quoted(VELMI_WINE_PREFIX) + " " +
                              quoted(VELMI_WINE64) + " " + quoted(VELMI_WINESERVER);
  if (std::system(command.c_str()) != 0) throw std::runtime_error("could not make the Wine prefix");
}

fs::path driveC() { return fs::path(VELMI_WINE_PREFIX) / "drive_c"; }

fs::path roamingFolder() {
  // The Wine user is whoever runs the tests; its profile is the one that is not "Public".
  for (const auto& user : fs::directory_iterator(driveC() / "users")) {
    if (user.path().filename() == "Public") continue;
    const fs::path roaming = user.path() / "AppData" / "Roaming";
    if (fs::is_directory(roaming)) return roaming;
  }
  throw std::runtime_error("the Wine prefix has no roaming folder");
}

fs::path clientDataFolder() { return roamingFolder() / "quillet" / "WindowsClient"; }

fs::path installFolder() { return driveC() / "VelmiTest"; }

std::string windowsPath(const fs::path& hostPath) {
  const std::string text = hostPath.lexically_normal().string();
  const std::string drive = driveC().lexically_normal().string();
  if (text.compare(0, drive.size(), drive) != 0) throw std::runtime_error("not on drive C: " + text);
  std::string result = "C:" + text.substr(drive.size());
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  if (result == "C:") result = "C:\\";
  return result;
}

WineProcess::WineProcess(const fs::path& hostPath, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment)
    : ChildProcess(windowsRun(hostPath, arguments, environment)) {}

testing_support::RunResult runWindowsProgram(const fs::path& hostPath, const std::vector<std::string>& arguments,
                                             const std::vector<std::string>& environment) {
  WineProcess process(hostPath, arguments, environment);
  if (!process.waitForEnd(std::chrono::minutes(2))) throw std::runtime_error("still running after two minutes");
  return process.result();
}

testing_support::RunResult runUpdater(const std::string& argument, const std::vector<std::string>& environment) {
  return runWindowsProgram(installFolder() / "VelmiUpdate.exe", {argument}, environment);
}

fs::path windowsBuildFile(const std::string& name) { return fs::path(VELMI_WINDOWS_BUILD_DIR) / name; }

fs::path testProgram(const std::string& name) { return fs::path(VELMI_WINE_PROGRAMS_DIR) / name; }

void resetInstallation(const std::map<std::string, std::string>& clientFiles) {
  fs::remove_all(installFolder());
  fs::remove_all(roamingFolder() / "quillet");
  fs::create_directories(installFolder());
  fs::create_directories(clientDataFolder());
  fs::copy_file(windowsBuildFile("VelmiUpdate.exe"), installFolder() / "VelmiUpdate.exe");
  fs::copy_file(windowsBuildFile("sqlite3.dll"), installFolder() / "sqlite3.dll");
  for (const auto& [name, content] : clientFiles) {
    fs::create_directories((installFolder() / name).parent_path());
    testing_support::writeFile(installFolder() / name, content);
  }
}

void makeZip(const fs::path& archive, const std::map<std::string, std::string>& files) {
  testing_support::TempFolder staging;
  for (const auto& [name, content] : files) {
    fs::create_directories((staging.path() / name).parent_path());
    testing_support::writeFile(staging.path() / name, content);
    const struct timespec times[2] = {{kArchivedFileTime, 0}, {kArchivedFileTime, 0}};
    if (utimensat(AT_FDCWD, (staging.path() / name).c_str(), times, 0) != 0) throw std::runtime_error("utimensat");
  }
  fs::create_directories(archive.parent_path());
  fs::remove(archive);
  const auto result =
      testing_support::runProgram({VELMI_ZIP_TOOL, {"-q", "-r", archive.string(), "."}, {}, staging.path()});
  if (!result.exited || result.exitCode != 0) throw std::runtime_error("zip failed for " + archive.string());
}

void makeVersionTable(const fs::path& database, const std::string& version, const std::string& backupVersion) {
  const std::string sql =
      "CREATE TABLE autoupdate(v_sversion TEXT, v_sbakversion TEXT); INSERT INTO autoupdate "
      "VALUES('" +
      version + "', '" + backupVersion + "');";
  const auto result =
      testing_support::runProgram({VELMI_SQLITE3_CLI, {database.string(), sql}, {}, database.parent_path()});
  if (!result.exited || result.exitCode != 0) throw std::runtime_error("sqlite3 could not make " + database.string());
}

std::string readVersions(const fs::path& database) {
  std::string output = commandOutput(quoted(VELMI_SQLITE3_CLI) + " " + quoted(database.string()) +
                                     " 'SELECT v_sversion, v_sbakversion FROM autoupdate LIMIT 1;'");
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

int64_t lastWriteSeconds(const fs::path& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) throw std::runtime_error("stat " + path.string());
  return status.st_mtim.tv_sec;
}

std::string commandOutput(const std::string& commandLine) {
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + commandLine);
  std::string output;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, count);
  pclose(pipe);
  return output;
}

}  // namespace wine_testing
