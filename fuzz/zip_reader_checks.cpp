// The checks of zip_reader_checks.h, over a scratch folder that lives as long
// as the process.
#include "fuzz/zip_reader_checks.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "zip/entry_stepping.h"
#include "zip/name_lookup.h"
#include "zip/zip.h"
#include "zip/zip_directory.h"
#include "zip/zip_reader.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path base;  // holds the archive and the root; must stay as it is apart from the root
  fs::path archive;
  fs::path root;
  std::u16string archiveWide;
  std::u16string rootWide;
};

std::u16string widen(const std::string& text) {
  std::u16string out(text.size() + 1, u'\0');
  int n =
      platform::multiByteToWide(platform::CodePage::Utf8, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return out;
}

Scratch& scratch() {
  static Scratch s = [] {
    Scratch made;
    // Under the caller's TMPDIR when it gives one (run-fuzz does, and removes
    // it however the run ends), else memory-backed when the system has it:
    // every input writes files.
    const char* tmp = std::getenv("TMPDIR");
    for (std::string base : {std::string(tmp != nullptr ? tmp : ""), std::string("/dev/shm"), std::string("/tmp")}) {
      if (base.empty()) continue;
      base += "/velmi-zip-fuzz-XXXXXX";
      if (::mkdtemp(base.data()) != nullptr) {
        made.base = base;
        break;
      }
    }
    if (made.base.empty()) std::abort();
    made.archive = made.base / "input.zip";
    made.root = made.base / "root";
    made.archiveWide = widen(made.archive.string());
    made.rootWide = widen(made.root.string()) + u"\\";
    return made;
  }();
  static const bool cleanupRegistered = [] {
    return std::atexit([] {
             std::error_code ignored;
             fs::remove_all(scratch().base, ignored);
           }) == 0;
  }();
  (void)cleanupRegistered;
  return s;
}

bool sameCurrent(const ZipDirectory* a, const ZipDirectory* b) {
  return a->currentIndex == b->currentIndex && a->currentPosition == b->currentPosition &&
         a->currentValid == b->currentValid && a->currentLocalHeaderOffset == b->currentLocalHeaderOffset &&
         std::memcmp(&a->current, &b->current, sizeof a->current) == 0;
}

// The index against the plain walk, over a second and a third reader of the same archive.
const char* compareIndexWithWalk(const std::vector<std::u16string>& names, int32_t count) {
  const Scratch& s = scratch();
  ZipReaderHandle* indexed = ZipReaderOpen(s.archiveWide.c_str(), s.rootWide.c_str());
  ZipReaderHandle* walked = ZipReaderOpen(s.archiveWide.c_str(), s.rootWide.c_str());
  const char* failed = nullptr;
  if ((indexed == nullptr) != (walked == nullptr)) failed = "the same archive opened once only";
  if (indexed != nullptr && walked != nullptr) {
    ZipDirectory* a = static_cast<ZipReader*>(indexed->object)->directory;
    ZipDirectory* b = static_cast<ZipReader*>(walked->object)->directory;
    std::vector<std::u16string> wanted = names;
    wanted.push_back(u"");
    wanted.push_back(u"missing");
    for (size_t i = 0; i < wanted.size() && failed == nullptr; ++i) {
      int32_t start = count > 0 ? static_cast<int32_t>((i * 7) % static_cast<size_t>(count)) : 0;
      if ((MoveToCentralEntry(a, start) == DirOk) != (MoveToCentralEntryByStepping(b, start) == DirOk)) {
        failed = "a jump and the stepping disagree on success";
      } else if (!sameCurrent(a, b)) {
        failed = "a jump and the stepping stand on different entries";
      } else if (SeekCentralEntryByName(a, wanted[i].c_str(), 2) !=
                 SeekCentralEntryByNameWalk(b, wanted[i].c_str(), 2)) {
        failed = "the index and the walk give different results";
      } else if (!sameCurrent(a, b)) {
        failed = "the index and the walk leave different current entries";
      }
    }
  }
  if (indexed != nullptr) ZipHandleClose(indexed);
  if (walked != nullptr) ZipHandleClose(walked);
  return failed;
}

// Extracts every entry it can look up by name, and one to a target outside the root.
const char* extractEverything(ZipReaderHandle* handle, std::vector<std::u16string>& names, int32_t& count) {
  const Scratch& s = scratch();
  ZipEntryRecord record{};
  if (ZipReaderGetEntry(handle, -1, &record) != ZipOk) return "counting failed";
  count = record.index;
  for (int32_t i = 0; i < count; ++i) {
    if (ZipReaderGetEntry(handle, i, &record) != ZipOk) continue;
    if (record.index != i) return "a record of another index";
    names.emplace_back(record.name);
    int32_t found = -1;
    ZipEntryRecord foundRecord{};
    if (ZipReaderFindEntry(handle, record.name, &found, &foundRecord) != ZipOk) continue;
    if (found < 0) return "a look-up succeeded without an index";
    // Bombs are extracted too, but only small ones, to keep the runs quick.
    if (foundRecord.uncompressedSize > (1u << 20)) continue;
    std::u16string target = s.rootWide + foundRecord.name;
    ZipReaderExtract(handle, found, target.c_str());
  }
  ZipReaderExtract(handle, 0, (s.rootWide + u"..\\escape").c_str());
  return nullptr;
}

}  // namespace

const char* checkZipReaderOn(const uint8_t* data, size_t size) {
  const Scratch& s = scratch();
  {
    std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::error_code ignored;
  fs::remove_all(s.root, ignored);
  fs::create_directory(s.root);

  ZipReaderHandle* handle = ZipReaderOpen(s.archiveWide.c_str(), s.rootWide.c_str());
  if (handle == nullptr) return nullptr;
  std::vector<std::u16string> names;
  int32_t count = 0;
  const char* failed = extractEverything(handle, names, count);
  if (ZipHandleClose(handle) != ZipOk && failed == nullptr) failed = "closing failed";
  if (failed != nullptr) return failed;

  // Only the archive and the root may be in the scratch folder.
  for (const auto& item : fs::directory_iterator(s.base)) {
    if (item.path() != s.archive && item.path() != s.root) return "something was written outside the root";
  }
  return compareIndexWithWalk(names, count);
}
