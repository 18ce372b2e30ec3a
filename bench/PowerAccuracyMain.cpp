// qvcalc_power_accuracy [BASES]: for each whole exponent the engine multiplies out, how many of
// BASES random bases (10 million by default) each method gives correctly rounded.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "bench/PowerAccuracy.h"

int main(int argc, char** argv) {
  const long long bases = argc > 1 ? std::atoll(argv[1]) : 10000000;
  std::printf("| n | bases | pow | plain multiplications | engine | engine wrong where pow is right |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (int n : {2, 3, 4, -1, -2, -3, -4}) {
    const qv::bench::PowerCounts c = qv::bench::CountPowers(n, bases, 20261208 + n);
    std::printf("| %d | %lld | %lld | %lld | %lld | %lld |\n", n, (long long)c.bases, (long long)c.pow,
                (long long)c.plain, (long long)c.engine, (long long)c.engineWorse);
  }
  return 0;
}
