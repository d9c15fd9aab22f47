#include "tests/support/tree_snapshot.h"

#include <system_error>

#include "tests/support/temp_folder.h"

namespace testing_support {

TreeSnapshot snapshotTree(const std::filesystem::path& root) {
  TreeSnapshot snapshot;
  std::error_code error;
  if (!std::filesystem::is_directory(root, error)) return snapshot;
  for (auto it = std::filesystem::recursive_directory_iterator(root);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    std::string relative = std::filesystem::relative(it->path(), root).generic_string();
    if (it->is_directory() && !it->is_symlink()) {
      snapshot[relative] = "<folder>";
    } else if (it->is_regular_file()) {
      snapshot[relative] = readFile(it->path());
    } else {
      snapshot[relative] = "<other>";
    }
  }
  return snapshot;
}

std::string describeTreeDifference(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::string out;
  for (const auto& [name, content] : before) {
    auto found = after.find(name);
    if (found == after.end()) {
      out += "- " + name + "\n";
    } else if (found->second != content) {
      out += "~ " + name + "\n";
    }
  }
  for (const auto& [name, content] : after) {
    if (before.find(name) == before.end()) out += "+ " + name + "\n";
  }
  return out;
}

}  // namespace testing_support
