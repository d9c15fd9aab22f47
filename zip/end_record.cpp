#include "zip/end_record.h"

#include <algorithm>
#include <cstdlib>

#include "zip/zip_source.h"

namespace {
constexpr uint32_t kWindow = 1028;  // windows overlap by 4 bytes so no signature straddles unseen
constexpr uint32_t kStep = 1024;
constexpr uint32_t kMaxBack = 0xFFFF;
}  // namespace

uint32_t FindEndRecord(ZipSource* source) {
  if (!source->seekable) return 0;
  uint64_t fileSize = 0;
  if (!ZipSourceFileSize(source, fileSize)) return 0;
  // Larger archives are refused at open; here the size only has to fit the arithmetic.
  if (fileSize < source->startOffset || fileSize - source->startOffset > 0xFFFFFFFFull) return 0;
  uint32_t size = static_cast<uint32_t>(fileSize - source->startOffset);
  uint32_t maxBack = std::min(size, kMaxBack);
  auto* buffer = static_cast<unsigned char*>(std::malloc(kWindow));
  if (buffer == nullptr) return 0;
  uint32_t back = 4;
  uint32_t found = 0;
  while (back < maxBack) {
    back = std::min(back + kStep, maxBack);
    uint32_t readPos = size - back;
    uint32_t readSize = std::min(kWindow, size - readPos);
    ZipSourceSeek(source, uint64_t{source->startOffset} + readPos);
    if (ZipSourceRead(source, buffer, 1, readSize) < readSize) break;
    bool hit = false;
    for (int64_t i = static_cast<int64_t>(readSize) - 4; i >= 0; --i) {
      if (buffer[i] == 0x50 && buffer[i + 1] == 0x4B && buffer[i + 2] == 0x05 && buffer[i + 3] == 0x06) {
        found = readPos + static_cast<uint32_t>(i);
        hit = true;
        break;
      }
    }
    if (hit) break;  // a hit at position 0 ends the search as not found
  }
  std::free(buffer);
  return found;
}
