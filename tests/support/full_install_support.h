// Shared set-up for the runs of the real updater with "Y": installer scripts,
// and the restore marker an earlier patch run leaves.
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

// The restore marker as a patch run writes it in the client data folder: a
// state unit, then the updater's path, in UTF-16LE (ASCII content here).
inline void writeRestoreMarker(const std::filesystem::path& clientData, const std::string& content) {
  std::string bytes;
  for (char c : content) bytes += {c, '\0'};
  std::filesystem::create_directories(clientData);
  testing_support::writeFile(clientData / "baksrcfile.restore", bytes);
}

}  // namespace full_install
