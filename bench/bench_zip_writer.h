// Writes the benchmark archives: deflated files and folder entries, fixed
// time stamps, Unix modes, no extra fields. Deterministic for the same input.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

struct DeflatedData {
  uint32_t crc = 0;
  uint32_t size = 0;  // uncompressed
  std::string bytes;  // raw deflate stream
};

// Raw deflate (no zlib header), as zip stores it.
DeflatedData deflateRaw(const std::string& content);

class ZipArchiveWriter {
 public:
  explicit ZipArchiveWriter(const std::filesystem::path& path);

  // A folder entry; name ends with "/".
  void addFolder(const std::string& name);
  void addFile(const std::string& name, const DeflatedData& data);
  // Writes the central directory and the end record. Throws when the file
  // could not be written whole.
  void finish();

 private:
  struct CentralEntry {
    std::string name;
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint32_t externalAttributes;
    uint32_t localHeaderOffset;
  };

  void addEntry(CentralEntry entry, const std::string& data);
  static void putSharedFields(std::string& out, const CentralEntry& entry);

  std::ofstream out_;
  std::filesystem::path path_;
  uint64_t offset_ = 0;
  std::vector<CentralEntry> entries_;
};

}  // namespace bench
