// A whole folder tree as data, to compare a tree before and after a run.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

// Relative path (with "/") -> content; folders map to "<folder>". Symbolic
// links are not followed.
using TreeSnapshot = std::map<std::string, std::string>;

TreeSnapshot snapshotTree(const std::filesystem::path& root);

// Lines like "+ added", "- removed", "~ changed", sorted; empty when equal.
std::string describeTreeDifference(const TreeSnapshot& before, const TreeSnapshot& after);

}  // namespace testing_support
