// The Win32 platform layer, checked call by call inside Wine by a program built
// with the layer itself.
#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/wine/wine_machine.h"

namespace {

using namespace wine_testing;

TEST(WinePlatform, Win32LayerBehavesAsItsInterfaceSays) {
  preparePrefix();
  const fs::path root = driveC() / "PlatformCheck";
  fs::remove_all(root);
  fs::create_directories(root);
  fs::copy_file(testProgram("platform_check.exe"), root / "platform_check.exe");
  fs::copy_file(testProgram("installer_probe.exe"), root / "installer_probe.exe");
  // Links of the host, to a folder with a file and to an empty one.
  fs::create_directories(root / "links" / "folder");
  fs::create_directories(root / "links" / "empty");
  testing_support::writeFile(root / "links" / "folder" / "kept.txt", "kept");
  fs::create_directory_symlink(root / "links" / "folder", root / "links" / "to folder");
  fs::create_directory_symlink(root / "links" / "empty", root / "links" / "to empty");
  const fs::path report = root / "report.txt";

  const auto run = runWindowsProgram(root / "platform_check.exe", {windowsPath(root), windowsPath(report)});
  ASSERT_TRUE(run.exited);
  ASSERT_TRUE(fs::exists(report)) << "no report; exit code " << run.exitCode;
  EXPECT_EQ(run.exitCode, 0) << testing_support::readFile(report);
}

}  // namespace
