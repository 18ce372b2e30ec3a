// The count of columns that evaluate had to convert (copy) to contiguous float64; the tests read
// it to check that float64 input is read where it lies.
#pragma once

#include <cstdint>

namespace qvpy {

uint64_t ConvertedColumns();

}  // namespace qvpy
