#include "bench/PowerAccuracy.h"

#include <cmath>
#include <random>

#include "engine/eval/DoubleSemantics.h"

namespace qv::bench {

namespace {

#if defined(__x86_64__)
using Reference = __float128;
#else
using Reference = long double;  // 113 bits on AArch64
#endif

double Exact(double x, int n) {
  Reference r = 1;
  for (int k = 0; k < std::abs(n); ++k) r *= Reference(x);
  return double(n < 0 ? 1 / r : r);  // x^|n| exact to 2^-112 of itself, then one rounding
}

double Plain(double x, int n) {
  const double s = x * x;
  const double m = std::abs(n) == 1 ? x : std::abs(n) == 2 ? s : std::abs(n) == 3 ? s * x : s * s;
  return n < 0 ? 1 / m : m;
}

}  // namespace

PowerCounts CountPowers(int n, int64_t bases, uint64_t seed) {
  std::mt19937_64 random(seed);
  PowerCounts counts;
  counts.bases = bases;
  for (int64_t k = 0; k < bases; ++k) {
    const uint64_t bits = random();
    const double significand = 1 + double(bits & ((uint64_t(1) << 52) - 1)) * 0x1p-52;
    const double x = std::ldexp(significand, int((bits >> 52) % 129) - 64) * ((bits >> 63) ? -1 : 1);
    const double exact = Exact(x, n);
    double power = 0;
    const bool engine = PowerValue(x, double(n), power) == Step::Ok && power == exact;
    const bool pow = std::pow(x, double(n)) == exact;
    counts.pow += pow;
    counts.plain += Plain(x, n) == exact;
    counts.engine += engine;
    counts.engineWorse += pow && !engine;
  }
  return counts;
}

}  // namespace qv::bench
