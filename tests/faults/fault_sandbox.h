// A sandbox for patch runs that may be made to fail: a root folder holding the
// installation, the roaming folder with the client data folder, and neighbours
// of both that no run may touch. Runs report how the process ended and its
// peak memory.
#pragma once

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

extern char** environ;

namespace fault_test {

namespace fs = std::filesystem;
using testing_support::TreeSnapshot;

struct RunOutcome {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  long peakResidentKb = 0;
};

// Starts program with one argument and environment additions from folder. A
// file size limit (bytes, 0 for none) ends the child with SIGXFSZ when it
// writes any file past that size.
inline pid_t startChild(const fs::path& program, const std::string& argument,
                        const std::vector<std::string>& additions, const fs::path& folder, rlim_t fileSizeLimit = 0) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.rfind("XDG_CONFIG_HOME=", 0) != 0 && text.rfind("VELMI_FAULT_", 0) != 0) environment.push_back(text);
  }
  environment.insert(environment.end(), additions.begin(), additions.end());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string programText = program.string();
  std::string argumentText = argument;
  char* argv[] = {programText.data(), argumentText.data(), nullptr};

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    if (fileSizeLimit != 0) {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
    }
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  return child;
}

// Waits for a child with wait4, which also reports the child's peak resident size.
inline RunOutcome waitMeasured(pid_t child) {
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
  }
  RunOutcome outcome;
  outcome.peakResidentKb = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    outcome.exited = true;
    outcome.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

inline RunOutcome runMeasured(const fs::path& program, const std::string& argument,
                              const std::vector<std::string>& additions, const fs::path& folder,
                              rlim_t fileSizeLimit = 0) {
  return waitMeasured(startChild(program, argument, additions, folder, fileSizeLimit));
}

// Writes a file, creating the folders above it.
inline void putFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  testing_support::writeFile(path, content);
}

class FaultSandbox {
 public:
  // updater: the binary copied into the installation as "VelmiUpdate".
  // diskSize: when not 0, everything lies on a file system of its own of that
  // many bytes (a tmpfs; the caller has made sure that it may mount one).
  explicit FaultSandbox(const fs::path& updater, size_t diskSize = 0) {
    if (diskSize != 0) {
      const std::string options = "size=" + std::to_string(diskSize);
      if (mount("velmi-test", root().c_str(), "tmpfs", 0, options.c_str()) != 0) {
        throw std::runtime_error("cannot mount a tmpfs");
      }
      mounted_ = true;
    }
    fs::create_directories(install());
    fs::create_directories(clientData());
    fs::copy_file(updater, install() / "VelmiUpdate");
    // Neighbours: beside the installation, in the roaming folder, and beside the client data folder.
    putFile(root() / "neighbour.txt", "beside the installation");
    putFile(roaming() / "other-program" / "settings.ini", "not ours");
    putFile(roaming() / "quillet" / "OtherClient" / "data.bin", "not ours either");
  }

  fs::path root() const { return temp_.path(); }
  fs::path install() const { return root() / "install"; }
  fs::path roaming() const { return root() / "roaming"; }
  fs::path clientData() const { return roaming() / "quillet" / "WindowsClient"; }
  fs::path patchFolder() const { return clientData() / "downsmallversion"; }
  fs::path extractFolder() const { return clientData() / "decpressupdatefile"; }
  fs::path database() const { return clientData() / "usr000.db"; }

  TreeSnapshot installation() const { return testing_support::snapshotTree(install()); }

  // Everything under the root but the installation and the client data folder,
  // which are left out of the walk rather than read and dropped.
  TreeSnapshot outside() const {
    TreeSnapshot all;
    for (auto it = fs::recursive_directory_iterator(root()); it != fs::recursive_directory_iterator(); ++it) {
      if (it->path() == install() || it->path() == clientData()) {
        it.disable_recursion_pending();
        continue;
      }
      const std::string name = fs::relative(it->path(), root()).generic_string();
      all[name] = it->is_directory() && !it->is_symlink() ? "<folder>"
                  : it->is_regular_file()                 ? testing_support::readFile(it->path())
                                                          : "<other>";
    }
    return all;
  }

  RunOutcome runPatch(const std::vector<std::string>& faultPlan = {}, rlim_t fileSizeLimit = 0) const {
    return waitMeasured(startPatch(faultPlan, fileSizeLimit));
  }

  pid_t startPatch(const std::vector<std::string>& faultPlan = {}, rlim_t fileSizeLimit = 0) const {
    std::vector<std::string> additions{"XDG_CONFIG_HOME=" + roaming().string()};
    additions.insert(additions.end(), faultPlan.begin(), faultPlan.end());
    return startChild(install() / "VelmiUpdate", "N", additions, root(), fileSizeLimit);
  }

  ~FaultSandbox() {
    if (mounted_) umount2(root().c_str(), MNT_DETACH);
  }

 private:
  testing_support::TempFolder temp_;
  bool mounted_ = false;
};

}  // namespace fault_test
