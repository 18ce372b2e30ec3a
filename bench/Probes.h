// What the benchmark checks and counts outside the timed loops: that the three engines agree,
// the heap allocations per evaluation, and the memory one compiled expression holds.
#pragma once

#include <array>
#include <cstdint>

#include "bench/Cases.h"

struct Probe {
  double allocationsPerEvaluation = 0;  // qvCalc, bound variables, over kProbeEvaluations
  int64_t growthBytes = 0;              // live heap after those evaluations minus before
  double allocationsPerSet = 0;         // qvCalc, Variable by name
  double muAllocationsPerEvaluation = 0;
  int64_t bytesPerExpression = 0;       // heap held by one compiled qvCalc expression, record included
  int64_t muBytesPerExpression = 0;     // the same for a muparser parser after SetExpr and Eval
};

inline constexpr int kProbeEvaluations = 1000000;

// Equal to within a few units of rounding: the engines may evaluate x^3 as a power and x*x*x
// as products, and muparser's pi has more digits than qvCalc's.
bool Close(double got, double expected);

// Evaluates every case in all three engines (qvCalc both ways) at several variable states and
// aborts with a message when any result differs beyond rounding.
void CheckAgreement();
std::array<Probe, kCases.size()> RunProbes();
