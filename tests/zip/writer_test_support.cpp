#include "tests/zip/writer_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "tests/support/temp_folder.h"

namespace writer_test {

namespace {

using WriterPointer = std::unique_ptr<ZipWriter, void (*)(ZipWriter*)>;

constexpr uint16_t kStampTime = (12 << 11) | (30 << 5) | (10 / 2);
constexpr uint16_t kStampDate = ((2024 - 1980) << 9) | (5 << 5) | 17;

void put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
  put16(at, value);
  put16(at + 2, value >> 16);
}

void writeThroughSink(ZipWriter& writer, const void* bytes, uint32_t length) {
  ASSERT_EQ(ZipWriterSinkWrite(&writer, bytes, length), length) << "the sink refused local data";
  writer.position += length;
}

}  // namespace

WriterPointer fileWriter(const std::filesystem::path& path) {
  WriterPointer writer(new ZipWriter, ZipWriterFree);
  writer->file = platform::File::createForWriting(testing_support::widen(path.string()).c_str());
  EXPECT_TRUE(writer->file.isOpen()) << path;
  return writer;
}

WriterPointer memoryWriter(uint32_t capacity) {
  WriterPointer writer(new ZipWriter, ZipWriterFree);
  writer->mapping = platform::createPageFileMapping(capacity);
  EXPECT_NE(writer->mapping, platform::kNoMapping);
  writer->view = static_cast<uint8_t*>(platform::mapWholeView(writer->mapping, capacity));
  EXPECT_NE(writer->view, nullptr);
  writer->capacity = capacity;
  return writer;
}

WriterPointer writerWithoutOutput() { return WriterPointer(new ZipWriter, ZipWriterFree); }

ZipReaderHandle* writerHandle(WriterPointer writer) {
  auto* handle = new ZipReaderHandle;
  handle->kind = ZipHandleKindWriter;
  handle->object = writer.release();
  return handle;
}

std::unique_ptr<ZipWriterEntry> makeEntry(const std::string& name, Method method, uint32_t crc, uint32_t compressedSize,
                                          uint32_t uncompressedSize, uint32_t localHeaderOffset) {
  auto entry = std::make_unique<ZipWriterEntry>();
  uint8_t* image = entry->headerImage;
  put16(image + 0, 20);  // made by: FAT, 2.0
  put16(image + 2, 20);  // needed to extract: 2.0
  put16(image + 4, 0);   // no flags
  put16(image + 6, static_cast<uint16_t>(method));
  put16(image + 8, kStampTime);
  put16(image + 10, kStampDate);
  put32(image + 12, crc);
  put32(image + 16, compressedSize);
  put32(image + 20, uncompressedSize);
  entry->nameLength = static_cast<uint32_t>(name.size());
  entry->name = name;
  put32(entry->externalAndOffset, 0x20);
  put32(entry->externalAndOffset + 4, localHeaderOffset);
  return entry;
}

void appendEntry(ZipWriter& writer, std::unique_ptr<ZipWriterEntry> entry) {
  std::unique_ptr<ZipWriterEntry>* tail = &writer.entries;
  while (*tail) tail = &(*tail)->next;
  *tail = std::move(entry);
}

void appendNamedEntries(ZipWriter& writer, int count) {
  std::unique_ptr<ZipWriterEntry>* tail = &writer.entries;
  while (*tail) tail = &(*tail)->next;
  for (int i = 0; i < count; ++i) {
    *tail = makeEntry("n" + std::to_string(i), Method::Stored, 0, 0, 0, 0);
    tail = &(*tail)->next;
  }
}

ZipWriterEntry& addEntry(ZipWriter& writer, const std::string& name, const std::string& data, Method method) {
  const std::string stored = method == Method::Deflate ? rawDeflate(data) : data;
  const uint32_t crc = crcOf(data);
  const uint32_t offset = writer.position;

  uint8_t local[30] = {0x50, 0x4B, 0x03, 0x04};
  put16(local + 4, 20);
  put16(local + 6, 0);
  put16(local + 8, static_cast<uint16_t>(method));
  put16(local + 10, kStampTime);
  put16(local + 12, kStampDate);
  put32(local + 14, crc);
  put32(local + 18, static_cast<uint32_t>(stored.size()));
  put32(local + 22, static_cast<uint32_t>(data.size()));
  put16(local + 26, static_cast<uint32_t>(name.size()));
  put16(local + 28, 0);
  writeThroughSink(writer, local, sizeof local);
  writeThroughSink(writer, name.data(), static_cast<uint32_t>(name.size()));
  if (!stored.empty()) writeThroughSink(writer, stored.data(), static_cast<uint32_t>(stored.size()));

  auto entry = makeEntry(name, method, crc, static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(data.size()), offset);
  ZipWriterEntry& added = *entry;
  appendEntry(writer, std::move(entry));
  return added;
}

std::string rawDeflate(const std::string& data) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

uint32_t crcOf(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

uint16_t readLittleEndian16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) | static_cast<uint8_t>(bytes.at(at + 1)) << 8);
}

uint32_t readLittleEndian32(const std::string& bytes, size_t at) {
  return readLittleEndian16(bytes, at) | static_cast<uint32_t>(readLittleEndian16(bytes, at + 2)) << 16;
}

std::string viewBytes(const ZipWriter& writer) {
  return writer.view ? std::string(reinterpret_cast<const char*>(writer.view), writer.used) : std::string();
}

size_t openDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& descriptor : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

}  // namespace writer_test
