// The client data folder and the installation folder, and the engine's two text conversions.
#include "engine/paths.h"

#include <cstring>
#include <string>

#include "engine/ascii_text.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kClientDataSubfolder[] = u"quillet\\WindowsClient";

// Appends the parts behind what destination holds, or empties it when the
// whole would not fit: a cut path would name another file.
bool appendOrEmpty(char16_t* destination, const std::u16string& addition) {
  size_t length = 0;
  while (length < kPathBufferLength && destination[length] != 0) ++length;
  if (length == kPathBufferLength || length + addition.size() + 1 > kPathBufferLength) {
    destination[0] = 0;
    return false;
  }
  std::memcpy(destination + length, addition.c_str(), (addition.size() + 1) * sizeof(char16_t));
  return true;
}

}  // namespace

std::unique_ptr<char16_t[]> getClientDataFolder() {
  char16_t roaming[kPathBufferLength] = {};
  if (!platform::getRoamingAppDataFolder(roaming, kPathBufferLength)) return nullptr;
  std::u16string joined = std::u16string(roaming) + u"\\" + kClientDataSubfolder;
  auto folder = std::make_unique<char16_t[]>(joined.size() + 1);
  std::memcpy(folder.get(), joined.c_str(), (joined.size() + 1) * sizeof(char16_t));
  return folder;
}

bool appendClientDataPath(char16_t* destination, const char16_t* name) {
  std::unique_ptr<char16_t[]> folder = getClientDataFolder();
  if (folder == nullptr) {
    destination[0] = 0;
    return false;
  }
  return appendOrEmpty(destination, std::u16string(folder.get()) + u"\\" + name);
}

bool readOwnExecutablePath(char16_t (&path)[kPathBufferLength]) {
  const uint32_t length = platform::getModuleFilePath(path, kPathBufferLength);
  if (length == 0 || length >= kPathBufferLength) {
    path[0] = 0;
    return false;
  }
  return true;
}

bool appendModuleFolderPath(char16_t* destination, const char16_t* name) {
  char16_t modulePath[kPathBufferLength] = {};
  // Without the executable's own path only the bare name would remain, which
  // names a file in whatever folder is current.
  if (!readOwnExecutablePath(modulePath)) {
    destination[0] = 0;
    return false;
  }
  std::u16string drive;
  std::u16string folder;
  splitDriveAndFolder(modulePath, drive, folder);
  return appendOrEmpty(destination, drive + folder + name);
}

bool narrowToWide(const char* source, char16_t* destination, size_t capacity) {
  size_t n = std::strlen(source);
  if (n == 0) return false;
  // n bytes never take more than n + 1 units, terminator included.
  auto converted = std::make_unique<char16_t[]>(n + 1);
  int units = platform::multiByteToWide(platform::CodePage::Ansi, source, -1, converted.get(), static_cast<int>(n + 1));
  if (units == 0) {
    units = platform::multiByteToWide(platform::CodePage::Ansi, source, -1, converted.get(), static_cast<int>(n + 1));
  }
  if (units == 0 || static_cast<size_t>(units) > capacity) return false;
  std::memcpy(destination, converted.get(), static_cast<size_t>(units) * sizeof(char16_t));
  return true;
}

bool wideToNarrow(const char16_t* source, char* destination, size_t capacity) {
  int needed = platform::wideToMultiByte(platform::CodePage::Utf8, source, -1, nullptr, 0);
  if (needed <= 0 || static_cast<size_t>(needed) > capacity) {
    if (capacity > 0) destination[0] = 0;
    return false;
  }
  auto converted = std::make_unique<char[]>(static_cast<size_t>(needed));
  int written = platform::wideToMultiByte(platform::CodePage::Utf8, source, -1, converted.get(), needed);
  if (written != needed) {
    destination[0] = 0;
    return false;
  }
  std::memcpy(destination, converted.get(), static_cast<size_t>(needed));
  return true;
}
