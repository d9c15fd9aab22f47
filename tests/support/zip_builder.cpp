#include "tests/support/zip_builder.h"

#include <fstream>
#include <stdexcept>

#include <zlib.h>

namespace testing_support {

uint16_t dosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t dosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

namespace {

uint32_t crc32Of(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void putLE16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void putLE32(std::string& out, uint32_t value) {
  putLE16(out, value & 0xFFFF);
  putLE16(out, value >> 16);
}

template <typename T>
T pick(const std::optional<T>& override, T value) {
  return override ? *override : value;
}

// The fields from the method to the extra length, which both headers hold.
struct SharedFields {
  uint32_t crc, compressedSize, uncompressedSize;
  uint16_t extraLength;
};

void putHeader(std::string& out, uint32_t signature, const ZipBuilderEntry& e, const ZipHeaderOverrides& o,
               const SharedFields& f, bool central) {
  putLE32(out, pick(o.signature, signature));
  if (central) putLE16(out, e.versionMadeBy);
  putLE16(out, 20);  // version needed
  putLE16(out, e.dataDescriptor ? 0x0008 : 0);
  putLE16(out, pick(o.method, e.method));
  putLE16(out, e.dosTime);
  putLE16(out, e.dosDate);
  putLE32(out, pick(o.crc, f.crc));
  putLE32(out, pick(o.compressedSize, f.compressedSize));
  putLE32(out, pick(o.uncompressedSize, f.uncompressedSize));
  putLE16(out, pick(o.nameLength, static_cast<uint16_t>(e.name.size())));
  putLE16(out, pick(o.extraLength, f.extraLength));
}

}  // namespace

std::string deflateRaw(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(stream.total_out);
  return out;
}

void patchLE32(std::string& bytes, size_t offset, uint32_t value) {
  bytes.at(offset + 3);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string extraBlock(uint16_t id, const std::string& data) {
  std::string block;
  putLE16(block, id);
  putLE16(block, static_cast<uint32_t>(data.size()));
  return block + data;
}

std::string utExtraBlock(uint8_t flags, const std::vector<uint32_t>& times) {
  std::string data(1, static_cast<char>(flags));
  for (uint32_t time : times) putLE32(data, time);
  return extraBlock(0x5455, data);
}

ZipBuilder& ZipBuilder::add(ZipBuilderEntry entry) {
  entries_.push_back(std::move(entry));
  return *this;
}

ZipBuilder& ZipBuilder::addFile(const std::string& name, const std::string& content, uint16_t method) {
  ZipBuilderEntry entry;
  entry.name = name;
  entry.content = content;
  entry.method = method;
  entry.externalAttributes = 0x20;  // archive bit, as Windows archivers write files
  return add(std::move(entry));
}

ZipBuilder& ZipBuilder::addFolder(const std::string& name) {
  ZipBuilderEntry entry;
  entry.name = name;
  entry.method = kZipStored;
  entry.externalAttributes = 0x10;
  return add(std::move(entry));
}

std::string ZipBuilder::build(ZipLayout* layout) const {
  ZipLayout where;
  std::string out = prefix_;
  std::vector<uint32_t> localOffsets;  // archive positions, not counting the prefix
  std::vector<std::string> data;
  for (const ZipBuilderEntry& e : entries_) {
    std::string stored = e.storedData ? *e.storedData : e.method == kZipDeflated ? deflateRaw(e.content) : e.content;
    const auto size = static_cast<uint32_t>(stored.size()), contentSize = static_cast<uint32_t>(e.content.size());
    const uint32_t crc = crc32Of(e.content);
    where.localHeaders.push_back(out.size());
    localOffsets.push_back(static_cast<uint32_t>(out.size() - prefix_.size()));
    const uint32_t later = e.dataDescriptor ? 0 : ~0u;  // zero locally, the descriptor after the data holds them
    putHeader(out, 0x04034B50u, e, e.local,
              {crc & later, size & later, contentSize & later, static_cast<uint16_t>(e.localExtra.size())}, false);
    out += e.name + e.localExtra;
    where.entryData.push_back(out.size());
    out += stored;
    if (e.dataDescriptor) {
      for (uint32_t field : {0x08074B50u, crc, size, contentSize}) putLE32(out, field);
    }
    data.push_back(std::move(stored));
  }
  where.centralDirectory = out.size();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ZipBuilderEntry& e = entries_[i];
    where.centralHeaders.push_back(out.size());
    putHeader(out, 0x02014B50u, e, e.central,
              {crc32Of(e.content), static_cast<uint32_t>(data[i].size()), static_cast<uint32_t>(e.content.size()),
               static_cast<uint16_t>(e.centralExtra.size())},
              true);
    putLE16(out, static_cast<uint32_t>(e.comment.size()));
    putLE32(out, 0);  // disk number, internal attributes
    putLE32(out, e.externalAttributes);
    putLE32(out, pick(e.central.localHeaderOffset, localOffsets[i]));
    out += e.name + e.centralExtra + e.comment;
  }
  const auto centralSize = static_cast<uint32_t>(out.size() - where.centralDirectory);
  const auto centralOffset = static_cast<uint32_t>(where.centralDirectory - prefix_.size());
  const auto count = static_cast<uint16_t>(entries_.size());
  where.endRecord = out.size();
  putLE32(out, 0x06054B50u);
  putLE16(out, pick<uint16_t>(end_.thisDisk, 0));
  putLE16(out, pick<uint16_t>(end_.centralDisk, 0));
  putLE16(out, pick(end_.entriesHere, count));
  putLE16(out, pick(end_.entriesTotal, count));
  putLE32(out, pick(end_.centralSize, centralSize));
  putLE32(out, pick(end_.centralOffset, centralOffset));
  putLE16(out, static_cast<uint32_t>(comment_.size()));
  out += comment_;
  if (layout != nullptr) *layout = where;
  return out;
}

void ZipBuilder::writeTo(const std::filesystem::path& path, ZipLayout* layout) const {
  std::string bytes = build(layout);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace testing_support
