// How the stores read an index value that names an item by its position (a variable, an array, an
// expression, a user function).
#pragma once

#include <cstdint>

#include "engine/Variant.h"

namespace qv {

// The position 1..Count that Index names (halves to even), 0 when it lies outside; an index that
// is no number raises a type mismatch (engine/stores/Variables.cpp).
int32_t ItemPosition(const Variant& Index, int32_t Count);

}  // namespace qv
