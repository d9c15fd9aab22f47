// A sandbox for running the real updater binary: a temporary installation
// folder holding a copy of the binary, and a roaming folder (XDG_CONFIG_HOME)
// holding the client data folder "quillet/WindowsClient".
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

class UpdaterSandbox {
 public:
  // exeName: the name under which the binary is copied into the installation
  // folder. diskSize: when not 0, everything lies on a file system of its own
  // of that many bytes (a tmpfs; the caller has made sure that it may mount one).
  explicit UpdaterSandbox(const std::string& exeName = "VelmiUpdate",
                          const std::filesystem::path& binary = VELMI_UPDATER_PATH, size_t diskSize = 0);
  ~UpdaterSandbox();

  const std::filesystem::path& root() const { return temp_.path(); }
  std::filesystem::path installFolder() const { return temp_.path() / "install"; }
  std::filesystem::path roamingFolder() const { return temp_.path() / "roaming"; }
  std::filesystem::path clientDataFolder() const { return roamingFolder() / "quillet" / "WindowsClient"; }
  std::filesystem::path updater() const { return installFolder() / exeName_; }

  // A run of the updater with these arguments (not counting the program
  // name), from the root, XDG_CONFIG_HOME set to the roaming folder.
  ChildOptions runOf(const std::vector<std::string>& arguments) const;
  // Such a run, waited for without a limit.
  RunResult run(const std::vector<std::string>& arguments) const { return runProgram(runOf(arguments)); }

 private:
  TempFolder temp_;
  std::string exeName_;
  bool mounted_ = false;
};

}  // namespace testing_support
