// One array of the array store: up to four dimensions, each from 0 to its upper bound, the
// first subscript varying fastest in Values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct ArrayEntry {
  std::u16string Name;
  std::vector<double> Values;
  std::array<int16_t, 5> Dims{};  // entry k (1..4) is the upper bound of dimension k; entry 0 is 0
  int16_t NumDims = 0;
};

}  // namespace qv
