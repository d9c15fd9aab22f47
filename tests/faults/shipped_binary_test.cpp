// The fault hook exists only in the test build of the updater.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string commandOutput(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    pclose(pipe);
  }
  return output;
}

TEST(ShippedUpdater, HasNoFaultHook) {
  const std::string shipped = VELMI_UPDATER_PATH;
  const std::string symbols = commandOutput("nm -C '" + shipped + "' 2>&1");
  ASSERT_NE(symbols.find("wmain"), std::string::npos) << "nm gave no symbols: " << symbols.substr(0, 200);
  EXPECT_EQ(symbols.find("injectedFault"), std::string::npos);
  EXPECT_EQ(symbols.find("FaultPlan"), std::string::npos);
  EXPECT_EQ(commandOutput("strings -a '" + shipped + "' | grep -c VELMI_FAULT"), "0\n");
}

TEST(ShippedUpdater, FaultBuildHasTheHook) {
  // The same check against the test build shows that the check can see the hook.
  EXPECT_NE(commandOutput("strings -a '" VELMI_FAULTS_UPDATER_PATH "' | grep -c VELMI_FAULT_AT"), "0\n");
}

}  // namespace
