// The zip reader's checks on any byte string taken as an archive. The fuzz
// target makes them on every input it tries, the zip tests on the findings
// kept in fuzz/regressions/.
#pragma once

#include <cstddef>
#include <cstdint>

// Opens the bytes as an archive, walks it, looks every entry up, extracts every
// entry under a scratch root, and checks that the name index answers as the
// plain walk does and that nothing is written outside the root. Null when every
// check holds, else the check that failed, in words. A crash is a failure too.
const char* checkZipReaderOn(const uint8_t* data, size_t size);
