// A small seeded generator whose output is the same on every compiler and
// machine, so that a seed names one set of inputs (std::uniform_*_distribution
// is not portable across standard libraries).
#pragma once

#include <cstdint>

namespace bench {

class Random {
 public:
  // One independent stream per (seed, stream): entries can be made in any
  // order, on any thread, and still come out the same.
  Random(uint64_t seed, uint64_t stream) : state_(seed * 0x9E3779B97F4A7C15ull ^ (stream + 0x632BE59BD9B4E019ull)) {
    next();
  }

  // splitmix64
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [low, high], both included.
  uint64_t between(uint64_t low, uint64_t high) { return low + next() % (high - low + 1); }

 private:
  uint64_t state_;
};

}  // namespace bench
