// Zip archives written byte by byte (deflate by zlib), so that damaged and
// hostile archives are easy to make: build a sound one, then change one field
// through the hooks or by patching the bytes at the offsets the layout reports.
//
//   ZipBuilder zip;
//   zip.addFile("a.txt", "hello").addFolder("docs/").addFile("docs/b.bin", data, 0);
//   zip.entry(0).local.crc = 0x1234;        // one defect
//   zip.writeTo(folder / "bad.zip");
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

constexpr uint16_t kZipStored = 0;
constexpr uint16_t kZipDeflated = 8;

// DOS date and time fields as zip headers hold them.
uint16_t dosDate(int year, int month, int day);
uint16_t dosTime(int hour, int minute, int second);

std::string deflateRaw(const std::string& data);
// Writes a little-endian field into built bytes.
void patchLE32(std::string& bytes, size_t offset, uint32_t value);

// An extended-timestamp ("UT") extra block with the given flags and times, in flag order.
std::string utExtraBlock(uint8_t flags, const std::vector<uint32_t>& times);
// Any other extra block.
std::string extraBlock(uint16_t id, const std::string& data);

// Header fields that, when set, replace what the builder would write. The
// disk number and local header offset are in the central header only.
struct ZipHeaderOverrides {
  std::optional<uint32_t> signature, crc, compressedSize, uncompressedSize, localHeaderOffset;
  std::optional<uint16_t> method, nameLength, extraLength;
};

struct ZipBuilderEntry {
  std::string name;                // bytes as stored (UTF-8 here)
  std::string content;             // the uncompressed bytes
  uint16_t method = kZipDeflated;  // 0 and 8 are compressed as named; any other stores the content raw
  uint16_t dosDate = 0x5A21;       // 2025-01-01
  uint16_t dosTime = 0x6000;       // 12:00:00
  uint32_t externalAttributes = 0;
  uint16_t versionMadeBy = 20;  // DOS; 0x031E is Unix
  bool dataDescriptor = false;  // flag bit 3, zero CRC and sizes locally, a descriptor after the data
  std::string localExtra;
  std::string centralExtra;
  std::string comment;
  std::optional<std::string> storedData;  // the bytes written as entry data, instead of the compressed content
  ZipHeaderOverrides local;
  ZipHeaderOverrides central;
};

struct ZipEndRecordOverrides {
  std::optional<uint16_t> thisDisk, centralDisk, entriesHere, entriesTotal;
  std::optional<uint32_t> centralSize, centralOffset;
};

// Where the parts of the last built archive lie, counted from the file's first byte.
struct ZipLayout {
  std::vector<size_t> localHeaders;
  std::vector<size_t> entryData;
  std::vector<size_t> centralHeaders;
  size_t centralDirectory = 0;
  size_t endRecord = 0;
};

class ZipBuilder {
 public:
  ZipBuilder& add(ZipBuilderEntry entry);
  ZipBuilder& addFile(const std::string& name, const std::string& content, uint16_t method = kZipDeflated);
  // A folder entry: the name should end with "/"; the DOS folder bit is set.
  ZipBuilder& addFolder(const std::string& name);
  // Bytes before the archive (a self-extractor's stub, say).
  ZipBuilder& prefix(const std::string& bytes) { return prefix_ = bytes, *this; }
  ZipBuilder& comment(const std::string& text) { return comment_ = text, *this; }

  ZipBuilderEntry& entry(size_t index) { return entries_[index]; }
  size_t entryCount() const { return entries_.size(); }
  ZipEndRecordOverrides& endRecord() { return end_; }

  std::string build(ZipLayout* layout = nullptr) const;
  void writeTo(const std::filesystem::path& path, ZipLayout* layout = nullptr) const;

 private:
  std::vector<ZipBuilderEntry> entries_;
  ZipEndRecordOverrides end_;
  std::string prefix_;
  std::string comment_;
};

}  // namespace testing_support
