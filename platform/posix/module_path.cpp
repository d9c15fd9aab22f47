// The updater's own executable path on POSIX.
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace platform {
namespace {

std::u16string readOwnExecutable() {
  std::string target(4096, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < target.size()) {
      std::u16string path;
      target.resize(static_cast<size_t>(length));
      return posix::fromSystemPath(target, path) ? path : std::u16string();
    }
    target.resize(target.size() * 2);
  }
}

// Windows keeps the path the program was started under, also after the file
// is renamed; Linux follows the rename. So the path is read once, at start-up.
const std::u16string& startPath() {
  static const std::u16string path = readOwnExecutable();
  return path;
}

const bool readAtStartUp = !startPath().empty();

}  // namespace

uint32_t getModuleFilePath(char16_t* buffer, uint32_t capacity) {
  (void)readAtStartUp;
  const std::u16string& path = startPath();
  if (path.empty() || buffer == nullptr || capacity == 0) return 0;
  if (path.size() + 1 > capacity) {
    // As GetModuleFileNameW: cut, terminated, and the result tells it.
    std::memcpy(buffer, path.data(), (capacity - 1) * sizeof(char16_t));
    buffer[capacity - 1] = 0;
    return capacity;
  }
  std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  return static_cast<uint32_t>(path.size());
}

}  // namespace platform
