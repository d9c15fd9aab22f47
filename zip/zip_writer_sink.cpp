// Where the writer's bytes go: a page-file-backed mapping that grows, a file,
// or nowhere.
#include <algorithm>
#include <cstring>
#include <limits>

#include "zip/zip_writer.h"

namespace {

constexpr uint64_t kMaxCapacity = std::numeric_limits<uint32_t>::max();

// Moves the memory output into a new mapping of at least twice the size, big
// enough for needed bytes. False when no such mapping can be made; the old
// one is then kept as it was.
bool growMapping(ZipWriter* writer, uint64_t needed) {
  // The capacity is a 32-bit count: a need beyond it cannot be met, and
  // doubling stops at the largest size it can hold.
  if (needed > kMaxCapacity) return false;
  const uint64_t doubled = 2 * static_cast<uint64_t>(writer->capacity);
  const auto newCapacity = static_cast<uint32_t>(std::min(std::max(doubled, needed), kMaxCapacity));

  platform::MappingHandle newMapping = platform::createPageFileMapping(newCapacity);
  if (newMapping == platform::kNoMapping) return false;
  auto* newView = static_cast<uint8_t*>(platform::mapWholeView(newMapping, newCapacity));
  if (newView == nullptr) {
    platform::closeMapping(newMapping);
    return false;
  }

  std::memcpy(newView, writer->view, writer->capacity);
  platform::unmapView(writer->view, writer->capacity);
  platform::closeMapping(writer->mapping);
  writer->view = newView;
  writer->capacity = newCapacity;
  writer->mapping = newMapping;
  return true;
}

uint32_t writeToMemory(ZipWriter* writer, const void* bytes, uint32_t length) {
  const uint64_t needed = static_cast<uint64_t>(writer->used) + length;
  // A write that would fill the mapping exactly grows it as well.
  if (needed >= writer->capacity && !growMapping(writer, needed)) {
    writer->lastError = ZipMapFailed;
    return 0;
  }
  std::memcpy(writer->view + writer->used, bytes, length);
  writer->used += length;
  return length;
}

}  // namespace

uint32_t ZipWriterSinkWrite(ZipWriter* writer, const void* bytes, uint32_t length) {
  if (writer->view != nullptr) return writeToMemory(writer, bytes, length);
  if (writer->file.isOpen()) {
    uint32_t written = 0;
    if (!writer->file.write(bytes, length, written)) return 0;
    return written;
  }
  writer->lastError = ZipAlreadyOpen;
  return 0;
}
