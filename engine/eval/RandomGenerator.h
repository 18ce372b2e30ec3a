// The generator behind RND: single-precision values spread uniformly over [0, 1). Each engine
// tree (an engine and its user-function sub-engines) owns one, so engines on different threads
// never share it; seeding makes a sequence repeatable.
#pragma once

#include <cstdint>

namespace qv {

class RandomGenerator {
 public:
  RandomGenerator() { SeedFromClock(); }
  void Seed(uint64_t seed) noexcept { state_ = seed; }
  void SeedFromClock() noexcept;
  // The next value: 24 random bits over 2^24, so exactly a float in [0, 1).
  float Next() noexcept {
    // splitmix64: full period over 2^64 states, good bits from any seed including 0.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return float(uint32_t(z >> 40)) * (1.0f / 16777216.0f);
  }

 private:
  uint64_t state_ = 0;
};

}  // namespace qv
