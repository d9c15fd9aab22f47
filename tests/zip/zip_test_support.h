// Shared helpers of the reader tests: opening archives, reading records, times.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "zip/zip.h"
#include "zip/zip_reader.h"

namespace zip_tests {

using testing_support::TempFolder;
using testing_support::ZipBuilder;

inline std::u16string wide(const std::filesystem::path& path) { return testing_support::widen(path.string()); }

// The root as the engine passes it: the folder and a closing "\".
inline std::u16string rootOf(const std::filesystem::path& folder) { return wide(folder) + u"\\"; }

// Closes the handle when the test ends.
class Reader {
 public:
  Reader(const std::filesystem::path& archive, const std::filesystem::path& root)
      : handle_(ZipReaderOpen(wide(archive).c_str(), rootOf(root).c_str())), root_(rootOf(root)) {}
  ~Reader() {
    if (handle_ != nullptr) ZipHandleClose(handle_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  ZipReaderHandle* handle() const { return handle_; }
  ZipReader* reader() const { return static_cast<ZipReader*>(handle_->object); }
  explicit operator bool() const { return handle_ != nullptr; }

  int32_t count() const {
    ZipEntryRecord record{};
    EXPECT_EQ(ZipReaderGetEntry(handle_, -1, &record), ZipOk);
    return record.index;
  }
  ZipResult get(int32_t index, ZipEntryRecord& record) const { return ZipReaderGetEntry(handle_, index, &record); }
  std::string name(int32_t index) const {
    ZipEntryRecord record{};
    EXPECT_EQ(get(index, record), ZipOk);
    return testing_support::narrow(record.name);
  }
  ZipResult find(const std::string& name, int32_t* index = nullptr) const {
    ZipEntryRecord record{};
    return ZipReaderFindEntry(handle_, testing_support::widen(name).c_str(), index, &record);
  }
  // Extracts to the root joined with the name, as the engine's driver does.
  ZipResult extractAs(int32_t index, const std::string& name) const {
    return ZipReaderExtract(handle_, index, (root_ + testing_support::widen(name)).c_str());
  }

 private:
  ZipReaderHandle* handle_;
  std::u16string root_;
};

// The code ZipReaderOpen leaves for an archive that does not open, or ZipOk.
inline int32_t openResult(const std::filesystem::path& archive, const std::filesystem::path& root) {
  Reader reader(archive, root);
  return reader ? ZipOk : LastReaderResult;
}

inline int64_t unixSeconds(const platform::FileTime& time) {
  uint64_t ticks = (uint64_t{time.high} << 32) | time.low;
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

inline platform::FileTime fromDos(uint16_t date, uint16_t time) {
  platform::FileTime value;
  EXPECT_TRUE(platform::dosDateTimeToFileTime(date, time, value));
  return value;
}

inline int64_t modifiedSeconds(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mtim.tv_sec;
}

inline int64_t accessedSeconds(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_atim.tv_sec;
}

// Every path below the folder, relative, sorted; folders end with "/".
inline std::vector<std::string> treeOf(const std::filesystem::path& folder) {
  std::vector<std::string> paths;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
    std::string relative = std::filesystem::relative(item.path(), folder).string();
    paths.push_back(item.is_directory() ? relative + "/" : relative);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace zip_tests
