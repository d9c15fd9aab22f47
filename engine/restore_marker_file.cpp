// The marker's bytes: one unit for the state, then the updater's path, in
// UTF-16 little-endian bytes on every system.
#include "engine/ascii_text.h"
#include "engine/paths.h"
#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
#include "engine/work_folders.h"
#include "engine/work_names.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kRestoreUnit = u'R';
constexpr char16_t kConfirmedUnit = u'C';
// The state unit and a path of a full buffer, terminator excluded.
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

enum class ReadResult { Whole, TooLong, Failed };

ReadResult readWhole(const char16_t* path, std::string& bytes) {
  platform::File file = platform::File::openForReading(path);
  if (!file.isOpen()) return ReadResult::Failed;
  char buffer[kLongestContent + 1];
  for (;;) {
    uint32_t got = 0;
    if (!file.read(buffer, sizeof buffer, got)) return ReadResult::Failed;
    if (got == 0) return ReadResult::Whole;
    bytes.append(buffer, got);
    if (bytes.size() > kLongestContent) return ReadResult::TooLong;
  }
}

bool hasFolder(const std::u16string& path) {
  std::u16string drive;
  std::u16string folder;
  splitDriveAndFolder(path.c_str(), drive, folder);
  return !folder.empty();
}

MarkerState stateOf(const std::string& bytes, std::u16string& updaterPath) {
  if (bytes.size() % 2 != 0) return MarkerState::Corrupt;
  const std::u16string content = decode(bytes);
  // An older build's marker held nothing.
  if (content.empty()) return MarkerState::Restore;
  updaterPath = content.substr(1);
  if (!updaterPath.empty() && !hasFolder(updaterPath)) return MarkerState::Corrupt;
  if (content[0] == kRestoreUnit) return MarkerState::Restore;
  if (content[0] == kConfirmedUnit) return MarkerState::Confirmed;
  return MarkerState::Corrupt;
}

}  // namespace

bool placeRestoreMarker(MarkerState state) {
  char16_t updater[kPathBufferLength] = {};
  char16_t passing[kPathBufferLength] = {};
  char16_t path[kPathBufferLength] = {};
  if (!readOwnExecutablePath(updater) || !markerPath(passing, kPassingMarkerName) || !markerPath(path)) {
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
  switch (platform::entryKind(path)) {
    case platform::EntryKind::None:
      return marker;
    case platform::EntryKind::Unknown:
      marker.state = MarkerState::Unreadable;
      return marker;
    case platform::EntryKind::Folder:
    case platform::EntryKind::Link:
      marker.state = MarkerState::Corrupt;
      return marker;
    case platform::EntryKind::File:
      break;
  }
  std::string bytes;
  switch (readWhole(path, bytes)) {
    case ReadResult::Failed:
      marker.state = MarkerState::Unreadable;
      break;
    case ReadResult::TooLong:
      marker.state = MarkerState::Corrupt;
      break;
    case ReadResult::Whole:
      marker.state = stateOf(bytes, marker.updaterPath);
      break;
  }
  return marker;
}

bool removeRestoreMarker() {
  char16_t path[kPathBufferLength] = {};
  return markerPath(path) && removeOwnEntry(path);
}

void removeStrayMarkers() {
  char16_t folder[kPathBufferLength] = {};
  char16_t passing[kPathBufferLength] = {};
  char16_t path[kPathBufferLength] = {};
  if (!markerPath(folder, u"") || !markerPath(passing, kPassingMarkerName) || !markerPath(path)) return;
  removeGivingWayFiles(folder);
  removeOwnEntry(passing);
  // The marker is only ever a file renamed into place: a link there is no
  // marker of ours, and is never read through.
  if (platform::entryKind(path) == platform::EntryKind::Link) removeOwnEntry(path);
}
