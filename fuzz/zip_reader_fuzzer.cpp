// The zip reader's fuzz target: every input goes through the reader's checks.
#include <cstdio>
#include <cstdlib>

#include "fuzz/zip_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const char* failed = checkZipReaderOn(data, size)) {
    std::fprintf(stderr, "fuzz check failed: %s\n", failed);
    std::abort();
  }
  return 0;
}
