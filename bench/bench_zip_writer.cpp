#include "bench/bench_zip_writer.h"

#include <stdexcept>

#include <zlib.h>

namespace bench {
namespace {

// 2024-01-02 03:04:06 in DOS form.
constexpr uint16_t kDosTime = (3 << 11) | (4 << 5) | (6 / 2);
constexpr uint16_t kDosDate = ((2024 - 1980) << 9) | (1 << 5) | 2;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kMadeByUnix = (3 << 8) | kVersion;
constexpr uint32_t kFileAttributes = 0100644u << 16;
constexpr uint32_t kFolderAttributes = (040755u << 16) | 0x10;

void put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

}  // namespace

// The fields the local and the central header share, from the version needed
// to the extra field length.
void ZipArchiveWriter::putSharedFields(std::string& out, const CentralEntry& entry) {
  put16(out, kVersion);
  put16(out, 0);  // flags
  put16(out, entry.method);
  put16(out, kDosTime);
  put16(out, kDosDate);
  put32(out, entry.crc);
  put32(out, entry.compressedSize);
  put32(out, entry.size);
  put16(out, static_cast<uint32_t>(entry.name.size()));
  put16(out, 0);  // extra field length
}

DeflatedData deflateRaw(const std::string& content) {
  DeflatedData result;
  result.size = static_cast<uint32_t>(content.size());
  result.crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));

  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  result.bytes.resize(deflateBound(&stream, static_cast<uLong>(content.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = reinterpret_cast<Bytef*>(&result.bytes[0]);
  stream.avail_out = static_cast<uInt>(result.bytes.size());
  const int status = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  result.bytes.resize(stream.total_out);
  return result;
}

ZipArchiveWriter::ZipArchiveWriter(const std::filesystem::path& path)
    : out_(path, std::ios::binary | std::ios::trunc), path_(path) {
  if (!out_) throw std::runtime_error("cannot create " + path.string());
}

void ZipArchiveWriter::addFolder(const std::string& name) {
  addEntry({name, 0, 0, 0, 0, kFolderAttributes, 0}, std::string());
}

void ZipArchiveWriter::addFile(const std::string& name, const DeflatedData& data) {
  addEntry({name, 8, data.crc, static_cast<uint32_t>(data.bytes.size()), data.size, kFileAttributes, 0}, data.bytes);
}

void ZipArchiveWriter::addEntry(CentralEntry entry, const std::string& data) {
  if (offset_ + data.size() + 30 + entry.name.size() > 0xFFFFFFFFull) {
    throw std::runtime_error("archive too large without zip64");
  }
  entry.localHeaderOffset = static_cast<uint32_t>(offset_);
  std::string header;
  put32(header, 0x04034B50);
  putSharedFields(header, entry);
  header += entry.name;
  out_.write(header.data(), static_cast<std::streamsize>(header.size()));
  out_.write(data.data(), static_cast<std::streamsize>(data.size()));
  offset_ += header.size() + data.size();
  entries_.push_back(std::move(entry));
}

void ZipArchiveWriter::finish() {
  const uint64_t directoryOffset = offset_;
  std::string directory;
  for (const CentralEntry& entry : entries_) {
    put32(directory, 0x02014B50);
    put16(directory, kMadeByUnix);
    putSharedFields(directory, entry);
    put16(directory, 0);  // comment length
    put16(directory, 0);  // disk number start
    put16(directory, 0);  // internal attributes
    put32(directory, entry.externalAttributes);
    put32(directory, entry.localHeaderOffset);
    directory += entry.name;
  }
  if (entries_.size() > 0xFFFF || directoryOffset + directory.size() > 0xFFFFFFFFull) {
    throw std::runtime_error("archive too large without zip64");
  }
  std::string end;
  put32(end, 0x06054B50);
  put16(end, 0);
  put16(end, 0);
  put16(end, static_cast<uint32_t>(entries_.size()));
  put16(end, static_cast<uint32_t>(entries_.size()));
  put32(end, static_cast<uint32_t>(directory.size()));
  put32(end, static_cast<uint32_t>(directoryOffset));
  put16(end, 0);  // comment length
  out_.write(directory.data(), static_cast<std::streamsize>(directory.size()));
  out_.write(end.data(), static_cast<std::streamsize>(end.size()));
  out_.close();
  if (!out_) throw std::runtime_error("cannot write " + path_.string());
}

}  // namespace bench
