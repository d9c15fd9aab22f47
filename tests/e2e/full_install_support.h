// Shared set-up for the runs of the real updater with "Y": an installation
// folder with "sqlite3.dll" beside the updater, and installer scripts.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/updater_sandbox.h"

namespace full_install {

inline std::filesystem::path downloadFolder(const testing_support::UpdaterSandbox& sandbox) {
  return sandbox.clientDataFolder() / "downupdatefile";
}

inline void writeScript(const std::filesystem::path& path, const std::string& body) {
  std::filesystem::create_directories(path.parent_path());
  testing_support::writeFile(path, "#!/bin/sh\n" + body);
  chmod(path.c_str(), 0755);
}

inline std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace full_install
