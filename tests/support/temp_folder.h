// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Its name is "velmi-tests-<random>" under TMPDIR (else /tmp). While it lives,
// the folder is held open with a shared lock, which ends with the process
// however it ends: the first TempFolder of a process removes the folders that
// no process holds any more, left by tests that were killed (an interrupted or
// timed-out run), and leaves those in use alone, in whatever PID namespace.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
  int held_ = -1;  // the folder, open and locked
};

// Whole-file helpers for tests.
void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);

// UTF-16 <-> UTF-8 for test data (tests speak UTF-8, the code UTF-16).
std::u16string widen(const std::string& utf8);
std::string narrow(const std::u16string& utf16);

}  // namespace testing_support
