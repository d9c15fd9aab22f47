// Text-like file contents: words, numbers and line breaks, which deflate
// about as well as source files and documents do.
#pragma once

#include <cstddef>
#include <string>

#include "bench/bench_random.h"

namespace bench {

// Exactly `bytes` bytes of text, ending with a line break when it fits.
std::string makeText(Random& random, size_t bytes);

}  // namespace bench
