// Memory backed by the page file: an unnamed mapping and its view.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

namespace platform {

MappingHandle createPageFileMapping(uint32_t size) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, nullptr);
  return mapping ? win32::fromHandle(mapping) : kNoMapping;
}

void* mapWholeView(MappingHandle mapping, uint32_t size) {
  return MapViewOfFile(win32::toHandle(mapping), FILE_MAP_ALL_ACCESS, 0, 0, size);
}

bool unmapView(void* view, uint32_t /*size*/) { return UnmapViewOfFile(view) != FALSE; }

bool closeMapping(MappingHandle mapping) { return CloseHandle(win32::toHandle(mapping)) != FALSE; }

}  // namespace platform
