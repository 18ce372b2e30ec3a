// Counts the heap allocations of the benchmark binary: the global operator new and delete are
// replaced in this program only (AllocationCounter.cpp), so every allocation of qvCalc, muparser
// and the standard library passes through them.
#pragma once

#include <cstdint>

namespace heap {
uint64_t Allocations() noexcept;  // calls of operator new since the start
int64_t LiveBytes() noexcept;     // bytes requested and not yet released
}  // namespace heap
