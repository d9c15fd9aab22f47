// An updater sandbox for patch runs that may be made to fail: the fault plan
// goes into the run's environment, and neighbours of the installation and of
// the client data folder show whether a run touched anything outside them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/tree_snapshot.h"
#include "tests/support/updater_sandbox.h"

namespace fault_test {

namespace fs = std::filesystem;
using testing_support::ChildOptions;
using testing_support::RunResult;
using testing_support::TreeSnapshot;

// Writes a file, creating the folders above it.
inline void putFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  testing_support::writeFile(path, content);
}

class FaultSandbox : public testing_support::UpdaterSandbox {
 public:
  // updater: the binary copied into the installation as "VelmiUpdate".
  explicit FaultSandbox(const fs::path& updater, size_t diskSize = 0)
      : UpdaterSandbox("VelmiUpdate", updater, diskSize) {
    putFile(root() / "neighbour.txt", "beside the installation");
    putFile(roamingFolder() / "other-program" / "settings.ini", "not ours");
    putFile(roamingFolder() / "quillet" / "OtherClient" / "data.bin", "not ours either");
  }

  fs::path patchFolder() const { return clientDataFolder() / "downsmallversion"; }
  fs::path extractFolder() const { return clientDataFolder() / "decpressupdatefile"; }
  fs::path database() const { return clientDataFolder() / "usr000.db"; }

  TreeSnapshot installation() const { return testing_support::snapshotTree(installFolder()); }

  // Everything under the root but the installation and the client data folder,
  // which are left out of the walk rather than read and dropped.
  TreeSnapshot outside() const {
    TreeSnapshot all;
    for (auto it = fs::recursive_directory_iterator(root()); it != fs::recursive_directory_iterator(); ++it) {
      if (it->path() == installFolder() || it->path() == clientDataFolder()) {
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

  // A patch run ("N") with this fault plan in place of any inherited one, and
  // a file size limit (bytes, 0 for none) that ends it with SIGXFSZ.
  ChildOptions patchRun(const std::vector<std::string>& faultPlan = {}, rlim_t fileSizeLimit = 0) const {
    ChildOptions options = runOf({"N"});
    options.environment.push_back("VELMI_FAULT_*");
    options.environment.insert(options.environment.end(), faultPlan.begin(), faultPlan.end());
    options.fileSizeLimit = fileSizeLimit;
    return options;
  }

  RunResult runPatch(const std::vector<std::string>& faultPlan = {}, rlim_t fileSizeLimit = 0) const {
    return testing_support::runProgram(patchRun(faultPlan, fileSizeLimit));
  }

  // A full install ("Y") with this fault plan.
  RunResult runFullInstall(const std::vector<std::string>& faultPlan) const {
    ChildOptions options = patchRun(faultPlan);
    options.arguments = {"Y"};
    return testing_support::runProgram(options);
  }
};

}  // namespace fault_test
