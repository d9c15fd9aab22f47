// Zip writers built directly, the way a writer's owner would: the local headers
// and entry data go out first, and each entry waits in the writer's list for its
// central header. The bytes a finished writer should hold come from ZipBuilder.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/zip_builder.h"
#include "zip/zip_writer.h"

namespace writer_test {

using testing_support::ZipBuilder;
using WriterPointer = std::unique_ptr<ZipWriter, void (*)(ZipWriter*)>;

// A writer whose output is a new file at path (open when this returns).
WriterPointer fileWriter(const std::filesystem::path& path);
// A writer whose output is a fresh page-file mapping of capacity bytes.
WriterPointer memoryWriter(uint32_t capacity);
WriterPointer writerWithoutOutput();
// A kind-2 handle that takes over the writer.
ZipReaderHandle* writerHandle(WriterPointer writer);

// An entry with this name and every header field 0.
std::unique_ptr<ZipWriterEntry> namedEntry(const std::string& name);
void appendEntry(ZipWriter& writer, std::unique_ptr<ZipWriterEntry> entry);
// Appends count entries named n0, n1, ... (in one pass, however many).
void appendNamedEntries(ZipWriter& writer, int count);

// The builder's archive and where its parts lie.
struct Built {
  std::string bytes;
  testing_support::ZipLayout layout;
  std::string directory() const { return bytes.substr(layout.centralDirectory); }
};

// Builds the archive and appends one entry per builder entry, filled as the
// builder's central header describes it. Extra fields are copied; comments
// point into the builder's entries.
Built appendEntriesOf(ZipWriter& writer, ZipBuilder& zip);

// The fields of a record at `at`, each as wide as the zip format has it.
using Fields = std::vector<uint32_t>;
Fields endRecordFields(const std::string& bytes, size_t at);
constexpr uint32_t kEndSignature = 0x06054B50;

// The memory output's bytes so far.
std::string viewBytes(const ZipWriter& writer);

// Lowers a resource limit of this process while it lives. Writes past a lowered
// file-size limit fail with EFBIG instead of raising SIGXFSZ.
class LoweredLimit {
 public:
  LoweredLimit(decltype(RLIMIT_NOFILE) resource, rlim_t value);
  ~LoweredLimit();
  LoweredLimit(const LoweredLimit&) = delete;
  LoweredLimit& operator=(const LoweredLimit&) = delete;
  bool active() const { return active_; }

 private:
  decltype(RLIMIT_NOFILE) resource_;
  rlimit saved_{};
  sighandler_t previousHandler_;
  bool active_ = false;
};

}  // namespace writer_test
