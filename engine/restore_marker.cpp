#include "engine/restore_marker.h"

#include "engine/ascii_text.h"
#include "engine/paths.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kRestoreMarkerName[] = u"baksrcfile.restore";
constexpr char16_t kPassingMarkerName[] = u"baksrcfile.restore.new";

// The content: one unit for the state, then the updater's path, in UTF-16
// little-endian bytes on every system.
constexpr char16_t kRestoreUnit = u'R';
constexpr char16_t kConfirmedUnit = u'C';
constexpr size_t kLongestContent = 2 * kPathBufferLength;

bool markerPath(char16_t (&path)[kPathBufferLength], const char16_t* name = kRestoreMarkerName) {
  return appendClientDataPath(path, name);
}

std::string encode(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string decode(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return text;
}

bool readWhole(const char16_t* path, std::string& bytes) {
  platform::File file = platform::File::openForReading(path);
  if (!file.isOpen()) return false;
  char buffer[kLongestContent + 1];
  for (;;) {
    uint32_t got = 0;
    if (!file.read(buffer, sizeof buffer, got)) return false;
    if (got == 0) return true;
    bytes.append(buffer, got);
    if (bytes.size() > kLongestContent) return false;
  }
}

std::u16string folderOf(const std::u16string& path) {
  std::u16string drive;
  std::u16string folder;
  splitDriveAndFolder(path.c_str(), drive, folder);
  return drive + folder;
}

// One folder under two spellings (case on Windows, a link on POSIX) is still one.
bool sameFolder(const std::u16string& a, const std::u16string& b) {
  if (a == b) return true;
  platform::FileStamp first;
  platform::FileStamp second;
  return platform::readFileStamp(a.c_str(), first) && platform::readFileStamp(b.c_str(), second) &&
         first.volume == second.volume && first.index == second.index;
}

}  // namespace

bool placeRestoreMarker(MarkerState state) {
  char16_t updater[kPathBufferLength] = {};
  const uint32_t length = platform::getModuleFilePath(updater, kPathBufferLength);
  char16_t passing[kPathBufferLength] = {};
  char16_t path[kPathBufferLength] = {};
  if (length == 0 || length >= kPathBufferLength || !markerPath(passing, kPassingMarkerName) || !markerPath(path)) {
    return false;
  }
  const std::string content =
      encode(std::u16string(1, state == MarkerState::Confirmed ? kConfirmedUnit : kRestoreUnit) + updater);
  platform::File file = platform::File::createNew(passing);
  uint32_t written = 0;
  const bool whole = file.isOpen() && file.write(content.data(), static_cast<uint32_t>(content.size()), written);
  file.close();
  if (whole && platform::moveIntoPlace(passing, path)) return true;
  platform::deleteFile(passing);
  return false;
}

RestoreMarker readRestoreMarker() {
  RestoreMarker marker;
  char16_t path[kPathBufferLength] = {};
  if (!markerPath(path)) {
    marker.state = MarkerState::Unreadable;
    return marker;
  }
  const platform::EntryKind kind = platform::entryKind(path);
  if (kind == platform::EntryKind::None) return marker;
  std::string bytes;
  marker.state = MarkerState::Unreadable;
  if (kind != platform::EntryKind::File || !readWhole(path, bytes) || bytes.size() % 2 != 0) return marker;
  const std::u16string content = decode(bytes);
  if (content.empty() || content[0] == kRestoreUnit) {
    marker.state = MarkerState::Restore;
  } else if (content[0] == kConfirmedUnit) {
    marker.state = MarkerState::Confirmed;
  } else {
    return marker;
  }
  if (!content.empty()) marker.updaterPath = content.substr(1);
  return marker;
}

bool removeRestoreMarker() {
  char16_t path[kPathBufferLength] = {};
  return markerPath(path) && platform::deleteFile(path);
}

void removeStrayMarkers() {
  char16_t passing[kPathBufferLength] = {};
  if (markerPath(passing, kPassingMarkerName) && platform::entryKind(passing) != platform::EntryKind::None) {
    platform::deleteFile(passing);
  }
  // The marker is only ever a file renamed into place: a link there is no
  // marker of ours, and is never read through.
  char16_t path[kPathBufferLength] = {};
  if (markerPath(path) && platform::entryKind(path) == platform::EntryKind::Link) platform::deleteFile(path);
}

MarkerOwner ownerOf(const RestoreMarker& marker) {
  if (marker.updaterPath.empty()) return MarkerOwner::ThisInstallation;
  char16_t installFolder[kPathBufferLength] = {};
  const std::u16string markedFolder = folderOf(marker.updaterPath);
  if (markedFolder.empty() || !appendModuleFolderPath(installFolder, u"")) return MarkerOwner::Unknown;
  if (sameFolder(markedFolder, installFolder)) return MarkerOwner::ThisInstallation;
  // While it runs, the updater there stands under its own name or its parked one.
  const bool holdsAnUpdater = platform::pathExists(marker.updaterPath.c_str()) ||
                              platform::pathExists((markedFolder + kParkedExecutableName).c_str());
  return holdsAnUpdater ? MarkerOwner::AnotherInstallation : MarkerOwner::GoneInstallation;
}
