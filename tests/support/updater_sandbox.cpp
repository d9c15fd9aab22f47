#include "tests/support/updater_sandbox.h"

#include <sys/mount.h>

#include <stdexcept>

namespace testing_support {

UpdaterSandbox::UpdaterSandbox(const std::string& exeName, const std::filesystem::path& binary, size_t diskSize)
    : exeName_(exeName) {
  if (diskSize != 0) {
    const std::string options = "size=" + std::to_string(diskSize);
    if (mount("velmi-test", root().c_str(), "tmpfs", 0, options.c_str()) != 0) {
      throw std::runtime_error("cannot mount a tmpfs");
    }
    mounted_ = true;
  }
  std::filesystem::create_directories(installFolder());
  std::filesystem::create_directories(clientDataFolder());
  std::filesystem::copy_file(binary, updater());
}

UpdaterSandbox::~UpdaterSandbox() {
  if (mounted_) umount2(root().c_str(), MNT_DETACH);
}

ChildOptions UpdaterSandbox::runOf(const std::vector<std::string>& arguments) const {
  return ChildOptions(updater(), arguments, {"XDG_CONFIG_HOME=" + roamingFolder().string()}, root());
}

}  // namespace testing_support
