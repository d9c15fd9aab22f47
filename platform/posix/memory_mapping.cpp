// Page-file-backed mappings as anonymous shared memory: a memfd stands for the
// mapping object, mmap for its views. As on Windows, a view stays valid after
// its mapping handle is closed, and a view cannot reach past the mapping.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

namespace {

// Descriptor 0 is a valid descriptor but kNoMapping; handles are kept one above.
MappingHandle handleOf(int descriptor) { return static_cast<MappingHandle>(descriptor) + 1; }
int descriptorOf(MappingHandle mapping) { return static_cast<int>(mapping - 1); }

}  // namespace

MappingHandle createPageFileMapping(uint32_t size) {
  // CreateFileMappingW refuses a page-file mapping of size 0.
  if (size == 0) return kNoMapping;
  int descriptor = memfd_create("velmi-mapping", MFD_CLOEXEC);
  if (descriptor < 0) return kNoMapping;
  if (ftruncate(descriptor, static_cast<off_t>(size)) != 0) {
    close(descriptor);
    return kNoMapping;
  }
  return handleOf(descriptor);
}

void* mapWholeView(MappingHandle mapping, uint32_t size) {
  if (mapping == kNoMapping) return nullptr;
  struct stat status {};
  if (fstat(descriptorOf(mapping), &status) != 0) return nullptr;
  // Size 0 maps the whole mapping; a larger view than the mapping is refused
  // rather than left to fault on first touch.
  const uint64_t mappingSize = static_cast<uint64_t>(status.st_size);
  const uint64_t viewSize = size == 0 ? mappingSize : size;
  if (viewSize == 0 || viewSize > mappingSize) return nullptr;
  void* view = mmap(nullptr, viewSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptorOf(mapping), 0);
  return view == MAP_FAILED ? nullptr : view;
}

bool unmapView(void* view, uint32_t size) {
  if (view == nullptr || size == 0) return false;
  return munmap(view, size) == 0;
}

bool closeMapping(MappingHandle mapping) {
  if (mapping == kNoMapping) return false;
  return close(descriptorOf(mapping)) == 0;
}

}  // namespace platform
