#include "tests/support/temp_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/platform.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "velmi-tests-";
// Made, but not yet locked and given its name: a leftover only once it is this old.
const std::string kUnnamedSuffix = ".new";
constexpr time_t kUnnamedSeconds = 60;

fs::path temporaryRoot() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != 0 ? base : "/tmp";
}

int openFolder(const fs::path& path) { return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

// A lock of the open folder itself, not of the process: it ends when the last
// descriptor of it closes. Not flock, which the updater's run lock takes on
// folders, a test folder among them.
bool holdFolder(int folder) {
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  return fcntl(folder, F_OFD_SETLK, &lock) == 0;
}

bool heldByAnyone(int folder) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return fcntl(folder, F_OFD_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
}

void removeTree(const fs::path& path) {
  std::error_code error;
  // Tests may leave read-only files and folders behind; give write access back first.
  for (auto it = fs::recursive_directory_iterator(path, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path, error);
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The folders of killed tests under root: this user's (any user's, for root)
// that no process holds.
void removeLeftovers(const fs::path& root) {
  std::vector<fs::path> candidates;
  std::error_code error;
  for (auto it = fs::directory_iterator(root, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    if (it->path().filename().string().rfind(kPrefix, 0) == 0) candidates.push_back(it->path());
  }
  for (const fs::path& candidate : candidates) {
    const int folder = openFolder(candidate);
    if (folder < 0) continue;
    struct stat status {};
    const bool ours = fstat(folder, &status) == 0 && (status.st_uid == geteuid() || geteuid() == 0);
    const bool settled =
        !endsWith(candidate.filename().string(), kUnnamedSuffix) || status.st_ctime + kUnnamedSeconds < time(nullptr);
    if (ours && settled && !heldByAnyone(folder)) removeTree(candidate);
    close(folder);
  }
}

// Once per process and temporary root.
void removeLeftoversOnce(const fs::path& root) {
  static std::mutex mutex;
  static std::set<fs::path> swept;
  const std::lock_guard<std::mutex> lock(mutex);
  if (swept.insert(root).second) removeLeftovers(root);
}

// Renames a folder, unless something stands under the new name already.
bool renameToNewName(const fs::path& from, const fs::path& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // A file system without the flag: the random names make a clash unlikely enough.
  if (errno != EINVAL) return false;
  std::error_code error;
  return !fs::exists(to, error) && !error && rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

TempFolder::TempFolder() {
  const fs::path root = temporaryRoot();
  removeLeftoversOnce(root);
  std::random_device device;
  std::mt19937_64 generator(device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path named = root / (kPrefix + std::to_string(generator() % 1000000000000ULL));
    const fs::path unnamed = named.string() + kUnnamedSuffix;
    std::error_code error;
    if (!fs::create_directory(unnamed, error)) continue;
    held_ = openFolder(unnamed);
    const bool locked = held_ >= 0 && holdFolder(held_);
    if (locked && renameToNewName(unnamed, named)) {
      path_ = fs::canonical(named);
      return;
    }
    if (held_ >= 0) close(held_);
    held_ = -1;
    fs::remove(unnamed, error);
    if (!locked) break;
  }
  throw std::runtime_error("cannot create a temporary folder in " + root.string());
}

TempFolder::~TempFolder() {
  // Removed while still held, so that no sweep takes it for a leftover meanwhile.
  removeTree(path_);
  close(held_);
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

namespace {

// Both directions go through the platform's own UTF-8 conversion: measure, then convert.
template <typename To, typename From, typename Convert>
To convert(const From& text, Convert call) {
  if (text.empty()) return {};
  int needed = call(platform::CodePage::Utf8, text.data(), static_cast<int>(text.size()), nullptr, 0);
  To out(static_cast<size_t>(needed), 0);
  call(platform::CodePage::Utf8, text.data(), static_cast<int>(text.size()), out.data(), needed);
  return out;
}

}  // namespace

std::u16string widen(const std::string& utf8) { return convert<std::u16string>(utf8, platform::multiByteToWide); }
std::string narrow(const std::u16string& utf16) { return convert<std::string>(utf16, platform::wideToMultiByte); }

}  // namespace testing_support
