// Finishing an archive: one central header per collected entry, then the end record.
#include <cstring>
#include <limits>

#include "zip/zip_writer.h"

namespace {

constexpr uint32_t kCentralHeaderFixedSize = 46;
constexpr uint32_t kEndRecordSize = 22;
constexpr uint64_t kMaxSixteenBit = std::numeric_limits<uint16_t>::max();
constexpr uint64_t kArchiveLimit = uint64_t{1} << 32;  // offsets are 32-bit, and there is no zip64

void putLittleEndian16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void putLittleEndian32(uint8_t* at, uint32_t value) {
  putLittleEndian16(at, value);
  putLittleEndian16(at + 2, value >> 16);
}

uint64_t centralHeaderSize(const ZipWriterEntry& entry) {
  return uint64_t{kCentralHeaderFixedSize} + entry.nameLength + entry.extraLength + entry.commentLength;
}

// The fixed fields go out one byte at a time, as the sink's callers always did.
bool writeBytewise(ZipWriter* writer, const uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (ZipWriterSinkWrite(writer, bytes + i, 1) != 1) return false;
  }
  return true;
}

bool writeWhole(ZipWriter* writer, const void* bytes, uint32_t count) {
  return count == 0 || ZipWriterSinkWrite(writer, bytes, count) == count;
}

bool entryFitsFormat(const ZipWriterEntry& entry) {
  if (entry.nameLength > kMaxSixteenBit || entry.extraLength > kMaxSixteenBit || entry.commentLength > kMaxSixteenBit) {
    return false;
  }
  // The lengths must be backed by bytes, or the header would read past them.
  return entry.nameLength <= entry.name.size() && (entry.extraLength == 0 || entry.extra) &&
         (entry.commentLength == 0 || entry.comment != nullptr);
}

// Everything the end record and the headers carry must fit their fields as it
// is: cutting a length or a count would make a wrong archive that looks right.
bool directoryFitsFormat(const ZipWriter& writer) {
  uint64_t count = 0;
  uint64_t size = 0;
  for (const ZipWriterEntry* entry = writer.entries.get(); entry != nullptr; entry = entry->next.get()) {
    if (++count > kMaxSixteenBit || !entryFitsFormat(*entry)) return false;
    size += centralHeaderSize(*entry);
  }
  return uint64_t{writer.offsetBase} + writer.position + size + kEndRecordSize <= kArchiveLimit;
}

}  // namespace

void ZipWriterFreeEntries(ZipWriter* writer) {
  while (writer->entries) {
    std::unique_ptr<ZipWriterEntry> entry = std::move(writer->entries);
    writer->entries = std::move(entry->next);
  }
}

int32_t ZipWriterPutCentralHeader(ZipWriter* writer, const ZipWriterEntry* entry) {
  uint8_t fixed[kCentralHeaderFixedSize];
  const uint8_t signature[4] = {0x50, 0x4B, 0x01, 0x02};
  std::memcpy(fixed, signature, 4);
  std::memcpy(fixed + 4, entry->headerImage, 24);
  putLittleEndian16(fixed + 28, entry->nameLength);
  putLittleEndian16(fixed + 30, entry->extraLength);
  putLittleEndian16(fixed + 32, entry->commentLength);
  std::memcpy(fixed + 34, entry->diskAndInternal, 4);
  std::memcpy(fixed + 38, entry->externalAndOffset, 8);

  // A failed write ends the header: its remaining bytes would only make the damage longer.
  const bool written = writeBytewise(writer, fixed, kCentralHeaderFixedSize) &&
                       writeWhole(writer, entry->name.data(), entry->nameLength) &&
                       writeWhole(writer, entry->extra.get(), entry->extraLength) &&
                       writeWhole(writer, entry->comment, entry->commentLength);
  return written ? 0 : ZipWriterHeaderNotWritten;
}

int32_t ZipWriterPutEndRecord(ZipWriter* writer, uint32_t directoryOffset, uint32_t entryCount,
                              uint32_t directorySize) {
  uint8_t record[kEndRecordSize] = {0x50, 0x4B, 0x05, 0x06};  // disk numbers 0, no archive comment
  putLittleEndian16(record + 8, entryCount);
  putLittleEndian16(record + 10, entryCount);
  putLittleEndian32(record + 12, directorySize);
  putLittleEndian32(record + 16, directoryOffset);
  return writeBytewise(writer, record, kEndRecordSize) ? 0 : 1;
}

ZipResult ZipWriterPutCentralDirectory(ZipWriter* writer) {
  if (!directoryFitsFormat(*writer)) {
    // Refused before the first byte: the output holds no partial directory.
    ZipWriterFreeEntries(writer);
    return ZipExtractFailed;
  }

  const uint32_t start = writer->position;
  uint32_t count = 0;
  bool success = true;
  while (writer->entries) {
    std::unique_ptr<ZipWriterEntry> entry = std::move(writer->entries);
    writer->entries = std::move(entry->next);
    // After a failed header the rest are skipped, but every entry is still freed.
    if (success && ZipWriterPutCentralHeader(writer, entry.get()) != 0) success = false;
    ++count;
    writer->position += static_cast<uint32_t>(centralHeaderSize(*entry));
  }

  const uint32_t size = writer->position - start;
  if (success && ZipWriterPutEndRecord(writer, writer->offsetBase + start, count, size) != 0) success = false;
  writer->position += kEndRecordSize;
  return success ? ZipOk : ZipExtractFailed;
}
