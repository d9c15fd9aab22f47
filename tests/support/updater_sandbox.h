// A sandbox for running the real updater binary: a temporary installation
// folder holding a copy of the binary, and a roaming folder (XDG_CONFIG_HOME)
// holding the client data folder "quillet/WindowsClient".
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace testing_support {

struct RunResult {
  bool exited = false;   // ended by exit rather than by a signal
  int exitCode = -1;
  int signal = 0;
};

class UpdaterSandbox {
 public:
  // exeName: the name under which the binary is copied into the installation folder.
  explicit UpdaterSandbox(const std::string& exeName = "VelmiUpdate");

  const std::filesystem::path& root() const { return temp_.path(); }
  std::filesystem::path installFolder() const { return temp_.path() / "install"; }
  std::filesystem::path roamingFolder() const { return temp_.path() / "roaming"; }
  std::filesystem::path clientDataFolder() const { return roamingFolder() / "quillet" / "WindowsClient"; }
  std::filesystem::path updater() const { return installFolder() / exeName_; }

  // Runs the updater with these arguments (not counting the program name),
  // XDG_CONFIG_HOME set to the roaming folder, from workingFolder (the sandbox
  // root when empty). Waits for it without a limit.
  RunResult run(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder = {}) const;

 private:
  TempFolder temp_;
  std::string exeName_;
};

// This process's environment with the additions ("NAME=value") put in place
// of any inherited variable of the same name.
std::vector<std::string> environmentWith(const std::vector<std::string>& additions);

// Starts a program with arguments and environment additions ("NAME=value"),
// waits for it, and tells how it ended.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, const std::filesystem::path& workingFolder);

}  // namespace testing_support
