// The export table of VelmiUpdate.exe, read with the cross binutils: the module
// name and exactly the three accessors under the names MSVC gives them on x64,
// so that a client built with MSVC links against them.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;

const std::set<std::string> kAccessors = {
    "?setAttach@WindowsDeviceConfig@@QEAAX_N@Z",
    "?getAttach@WindowsDeviceConfig@@QEBA?B_NXZ",
    "?getRelativeLowerDate@DateFilter@@QEAA?AW4RelativeLowerDate@1@XZ",
};

struct ExportTable {
  std::string moduleName;
  std::set<std::string> names;
  size_t count = 0;
};

ExportTable readExportTable(const fs::path& executable) {
  const std::string dump = commandOutput(std::string("'") + VELMI_MINGW_OBJDUMP + "' -p '" + executable.string() + "'");
  ExportTable table;
  std::istringstream lines(dump);
  std::string line;
  bool inNames = false;
  const std::regex nameLine(R"(^Name\s+[0-9a-fA-F]+\s+(\S+)\s*$)");
  const std::regex entryLine(R"(^\s*\[\s*\d+\]\s+(\S+)\s*$)");
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, nameLine) && table.moduleName.empty()) table.moduleName = match[1];
    if (line.find("[Ordinal/Name Pointer] Table") != std::string::npos) {
      inNames = true;
      continue;
    }
    if (inNames) {
      if (!std::regex_match(line, match, entryLine)) break;
      table.names.insert(match[1]);
      ++table.count;
    }
  }
  return table;
}

TEST(WineExports, ExactlyTheThreeAccessorsUnderTheModuleName) {
  const ExportTable table = readExportTable(windowsBuildFile("VelmiUpdate.exe"));
  EXPECT_EQ(table.moduleName, "VelmiUpdate.exe");
  EXPECT_EQ(table.count, 3u);
  EXPECT_EQ(table.names, kAccessors);
}

// The names above, checked against the declarations the client shares: clang
// decorates them the way MSVC does when it targets the MSVC ABI.
TEST(WineExports, NamesAreWhatMsvcGivesTheSharedDeclarations) {
  if (std::string(VELMI_CLANG_CXX).empty()) GTEST_SKIP() << "no clang++ for the MSVC ABI";
  testing_support::TempFolder folder;
  testing_support::writeFile(folder / "cstdint", "#pragma once\ntypedef unsigned int uint32_t;\n");
  testing_support::writeFile(folder / "uses.cpp",
                             "#include \"clienttypes/windows_device_config.h\"\n"
                             "#include \"clienttypes/date_filter.h\"\n"
                             "void WindowsDeviceConfig::setAttach(bool) {}\n"
                             "const bool WindowsDeviceConfig::getAttach() const { return false; }\n"
                             "DateFilter::RelativeLowerDate DateFilter::getRelativeLowerDate() { return {}; }\n");
  const std::string assembly = commandOutput(
      std::string("'") + VELMI_CLANG_CXX + "' --target=x86_64-pc-windows-msvc -nostdinc++ -nostdlibinc -I'" +
      folder.path().string() + "' -I'" + VELMI_SOURCE_DIR + "' -S -o - '" + (folder / "uses.cpp").string() + "'");
  for (const auto& name : kAccessors) {
    EXPECT_NE(assembly.find("\"" + name + "\":"), std::string::npos) << name;
  }
}

}  // namespace
