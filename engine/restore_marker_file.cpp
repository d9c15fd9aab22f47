// The marker's bytes: one unit for the state, then the updater's path, in
// UTF-16 little-endian bytes on every system.
#include "engine/ascii_text.h"
#include "engine/paths.h"
#include "engine/restore_marker.h"
#include "engine/tree_operations.h"
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

// Puts a file of the updater's own in place of what stands under the marker's
// name, so that only that file is ever deleted: Wine deletes what a host's
// link there points to. Its one byte is no marker either, should the run die
// before deleting it. Where the replacement is refused (a read-only marker on
// Windows), the entry stays for deleteOwnFile, which clears that.
bool replaceWithOwnFile(const char16_t* path) {
  char16_t passing[kPathBufferLength] = {};
  if (!markerPath(passing, kPassingMarkerName)) return false;
  platform::File file = platform::File::createNew(passing);
  uint32_t written = 0;
  const bool made = file.isOpen() && file.write("?", 1, written) && written == 1;
  file.close();
  if (made && platform::moveIntoPlace(passing, path)) return true;
  platform::deleteFile(passing);
  return platform::entryKind(path) == platform::EntryKind::File;
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
  if (!markerPath(path)) return false;
  switch (platform::entryKind(path)) {
    case platform::EntryKind::None:
      return true;
    case platform::EntryKind::Unknown:
      return false;
    case platform::EntryKind::Folder:
      // Nothing of the user's is ever under the marker's name.
      if (std::char_traits<char16_t>::length(path) > kShellPathMaxLength || !deletePath(path)) return false;
      break;
    case platform::EntryKind::File:
    case platform::EntryKind::Link:
      if (!platform::deleteOwnFile(path)) return false;
      break;
  }
  return platform::entryKind(path) == platform::EntryKind::None;
}

bool removeCorruptMarker() {
  char16_t path[kPathBufferLength] = {};
  if (!markerPath(path)) return false;
  const platform::EntryKind kind = platform::entryKind(path);
  if ((kind == platform::EntryKind::File || kind == platform::EntryKind::Link) && !replaceWithOwnFile(path)) {
    return false;
  }
  return removeRestoreMarker();
}

void removeStrayMarkers() {
  char16_t passing[kPathBufferLength] = {};
  if (markerPath(passing, kPassingMarkerName) && platform::entryKind(passing) != platform::EntryKind::None) {
    platform::deleteOwnFile(passing);
  }
  // The marker is only ever a file renamed into place: a link there is no
  // marker of ours, and is never read through.
  char16_t path[kPathBufferLength] = {};
  if (markerPath(path) && platform::entryKind(path) == platform::EntryKind::Link) platform::deleteOwnFile(path);
}
