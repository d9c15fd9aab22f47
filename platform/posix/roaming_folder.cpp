// The roaming application-data folder on POSIX: the XDG configuration folder.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace platform {

bool getRoamingAppDataFolder(char16_t* buffer, uint32_t capacity) {
  std::string folder;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    folder = configHome;
  } else if (home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.config";
  } else {
    return false;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::u16string wide;
  if (!posix::fromSystemPath(folder, wide)) return false;
  if (buffer == nullptr || wide.size() + 1 > capacity) return false;
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  return true;
}

}  // namespace platform
