// A block of doubles handed in by a host, with its own bounds: dimension k runs from
// LowerBounds[k-1] to UpperBounds[k-1], and Values holds the elements with the first subscript
// varying fastest. The block is consistent when both bound lists have one entry a dimension and
// Values holds exactly the product of the extents.
#pragma once

#include <cstdint>
#include <vector>

struct qvArrayValues {
  std::vector<int32_t> LowerBounds;
  std::vector<int32_t> UpperBounds;
  std::vector<double> Values;
};
