// Extracts one archive into an (empty) folder through extractArchive, the way
// the patch procedure does, and reports the time spent in it and the peak
// resident memory of the whole process.
// Usage: velmi_bench_extract <archive> <destination folder>
// Prints: elapsed_us=<n> peak_rss_kib=<n> result=<true|false>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/extract_archive.h"
#include "platform/platform.h"

namespace {

std::u16string wide(const char* text) {
  const int needed = platform::multiByteToWide(platform::CodePage::Utf8, text, -1, nullptr, 0);
  if (needed <= 0) return std::u16string();
  std::u16string result(static_cast<size_t>(needed), u'\0');
  platform::multiByteToWide(platform::CodePage::Utf8, text, -1, &result[0], needed);
  result.resize(static_cast<size_t>(needed) - 1);
  return result;
}

// The high-water mark of the resident set, as the kernel keeps it; 0 where
// there is no /proc.
long peakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0) return std::stol(line.substr(6));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <archive> <destination folder>\n", argv[0]);
    return 2;
  }
  const std::u16string archive = wide(argv[1]);
  // The patch procedure hands over its extraction folder followed by "\".
  const std::u16string destination = wide(argv[2]) + u'\\';

  const auto start = std::chrono::steady_clock::now();
  const bool result = extractArchive(archive.c_str(), destination.c_str());
  const auto elapsed = std::chrono::steady_clock::now() - start;

  std::printf("elapsed_us=%lld peak_rss_kib=%ld result=%s\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()),
              peakResidentKib(), result ? "true" : "false");
  return result ? 0 : 1;
}
