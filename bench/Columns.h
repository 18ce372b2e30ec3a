// Evaluation over columns: every case over kColumnRows rows of random data, as qvCalc's
// ValueColumns (one and two threads), a hand-written C++ loop over the same arrays, muparser's
// bulk mode (one and two threads) and a loop of qvCalc's Value on bound variables. Registered with
// Google Benchmark under column_native/N, column_qvcalc/N, column_qvcalc_2t/N, column_muparser/N,
// column_muparser_2t/N and column_value/N; every iteration evaluates all rows once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "bench/Cases.h"

inline constexpr size_t kColumnRows = 1000000;
inline constexpr size_t kSmallColumnRows = 10000;  // enough rows for two threads to be used

// Heap allocations per ValueColumns call (Status null) at kSmallColumnRows and at kColumnRows
// rows, on one thread and on two: equal counts mean no allocation per row.
struct ColumnProbe {
  double small1 = 0, large1 = 0, small2 = 0, large2 = 0;
  int64_t growthBytes = 0;  // live heap after the calls minus before, the largest of the four
};

// Evaluates every case over all rows in every form and aborts with a message when ValueColumns
// disagrees with the hand-written loop or muparser beyond rounding, when one of its rows fails,
// or when its two-thread result or the Value loop differs from its one-thread result in any bit.
void CheckColumnAgreement();
std::array<ColumnProbe, kCases.size()> RunColumnProbes();
void RegisterColumnBenchmarks();
// Whether muparser's bulk mode can be held to a thread count here (its OpenMP is reachable).
bool MuparserThreadsSettable();
