#include "tests/zip/writer_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/temp_folder.h"

namespace writer_test {

namespace {

uint32_t readLittleEndian(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return value;
}

Fields fieldsAt(const std::string& bytes, size_t at, std::initializer_list<int> widths) {
  Fields fields;
  for (int width : widths) {
    fields.push_back(readLittleEndian(bytes, at, width));
    at += width;
  }
  return fields;
}

std::unique_ptr<ZipWriterEntry>* tailOf(ZipWriter& writer) {
  std::unique_ptr<ZipWriterEntry>* tail = &writer.entries;
  while (*tail) tail = &(*tail)->next;
  return tail;
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

std::unique_ptr<ZipWriterEntry> namedEntry(const std::string& name) {
  auto entry = std::make_unique<ZipWriterEntry>();
  entry->name = name;
  entry->nameLength = static_cast<uint32_t>(name.size());
  return entry;
}

void appendEntry(ZipWriter& writer, std::unique_ptr<ZipWriterEntry> entry) { *tailOf(writer) = std::move(entry); }

void appendNamedEntries(ZipWriter& writer, int count) {
  std::unique_ptr<ZipWriterEntry>* tail = tailOf(writer);
  for (int i = 0; i < count; ++i, tail = &(*tail)->next) *tail = namedEntry("n" + std::to_string(i));
}

Built appendEntriesOf(ZipWriter& writer, ZipBuilder& zip) {
  Built built;
  built.bytes = zip.build(&built.layout);
  for (size_t i = 0; i < zip.entryCount(); ++i) {
    const testing_support::ZipBuilderEntry& from = zip.entry(i);
    const char* header = built.bytes.data() + built.layout.centralHeaders[i];
    auto entry = namedEntry(from.name);
    std::memcpy(entry->headerImage, header + 4, sizeof entry->headerImage);
    std::memcpy(entry->diskAndInternal, header + 34, sizeof entry->diskAndInternal);
    std::memcpy(entry->externalAndOffset, header + 38, sizeof entry->externalAndOffset);
    entry->extraLength = static_cast<uint32_t>(from.centralExtra.size());
    if (!from.centralExtra.empty()) {
      entry->extra.reset(new uint8_t[from.centralExtra.size()]);
      std::memcpy(entry->extra.get(), from.centralExtra.data(), from.centralExtra.size());
    }
    entry->commentLength = static_cast<uint32_t>(from.comment.size());
    if (!from.comment.empty()) entry->comment = reinterpret_cast<const uint8_t*>(from.comment.data());
    appendEntry(writer, std::move(entry));
  }
  return built;
}

Fields endRecordFields(const std::string& bytes, size_t at) { return fieldsAt(bytes, at, {4, 2, 2, 2, 2, 4, 4, 2}); }

std::string viewBytes(const ZipWriter& writer) {
  return writer.view ? std::string(reinterpret_cast<const char*>(writer.view), writer.used) : std::string();
}

LoweredLimit::LoweredLimit(decltype(RLIMIT_NOFILE) resource, rlim_t value)
    : resource_(resource), previousHandler_(signal(SIGXFSZ, SIG_IGN)) {
  getrlimit(resource_, &saved_);
  rlimit lowered = saved_;
  lowered.rlim_cur = value;
  active_ = setrlimit(resource_, &lowered) == 0;
}

LoweredLimit::~LoweredLimit() {
  setrlimit(resource_, &saved_);
  signal(SIGXFSZ, previousHandler_);
}

}  // namespace writer_test
