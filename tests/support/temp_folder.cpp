#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/platform.h"

namespace testing_support {

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::filesystem::path root = base != nullptr && *base != 0 ? base : "/tmp";
  std::random_device device;
  std::mt19937_64 generator(device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = root / ("velmi-test-" + std::to_string(generator() % 1000000000000ULL));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = std::filesystem::canonical(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Tests may leave read-only files and folders behind; give write access back first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
  }
  std::filesystem::remove_all(path_, error);
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
