// Counts how often each way of computing x^n gives the correctly rounded double, against a
// reference of 113 bits (x^n in quadruple precision, rounded once to double): pow, plain
// multiplications, and the engine's power (PowerValue: a square
// multiplied, the other whole exponents by WholePower). The bases are random: a random significand, a
// binade from 2^-64 to 2^64, a random sign.
#pragma once

#include <cstdint>

namespace qv::bench {

struct PowerCounts {
  int64_t bases = 0;
  int64_t pow = 0;        // pow(x, n) correctly rounded
  int64_t plain = 0;      // x*x*x, (x*x)*(x*x), 1/(...)
  int64_t engine = 0;     // PowerValue(x, n)
  int64_t engineWorse = 0;  // bases where pow is correctly rounded and the engine is not
};

PowerCounts CountPowers(int n, int64_t bases, uint64_t seed);

}  // namespace qv::bench
