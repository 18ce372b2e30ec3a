// One array of the array store: up to four dimensions, each from 0 to its upper bound, the
// first subscript varying fastest in Values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ArrayEntry {
  std::u16string Name;
  std::vector<double> Values;
  std::array<int16_t, 5> Dims{};  // entry k (1..4) is the upper bound of dimension k; entry 0 is 0
  int16_t NumDims = 0;
};

// A block of doubles handed in by a host, with its own bounds: dimension k runs from
// LowerBounds[k-1] to UpperBounds[k-1], and Values holds the elements with the first subscript
// varying fastest. The block is consistent when both bound lists have one entry a dimension and
// Values holds exactly the product of the extents.
struct qvArrayValues {
  std::vector<int32_t> LowerBounds;
  std::vector<int32_t> UpperBounds;
  std::vector<double> Values;
};
