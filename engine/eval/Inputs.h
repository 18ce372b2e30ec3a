// The strict profile's rule for inputs: a variable, a column's cell or an array element that holds
// NaN or an infinity is no number to compute with, and the evaluation (or the row) that reads it
// fails, naming it, before any operation can turn it into a plausible result. The fast tiers
// decline such inputs, so that the general loop records the failure.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/eval/DoubleSemantics.h"
#include "engine/eval/Program.h"
#include "engine/stores/ArrayEntry.h"

namespace qv {

inline bool IsFiniteInput(const Variant& Value) noexcept {
  return !Value.isDouble() || std::isfinite(Value.asDouble());
}

// Whether every variable the program loads holds an input the strict profile accepts.
inline bool InputsFinite(const Program& Code) noexcept {
  for (const auto& record : Code.Variables)
    if (!IsFiniteInput(record->Value)) return false;
  return true;
}

// The first row in [First, Last) where one of Columns (null entries skipped) is not finite;
// Last when none.
size_t FirstNonFiniteRow(const std::vector<const double*>& Columns, size_t First, size_t Last);

// "X is not a number" or "X is infinite".
std::u16string NonFiniteText(std::u16string_view Name, double Value);

// An element as an expression writes it: T(2, 3).
std::u16string ElementName(const ArrayEntry& Entry, const std::array<int32_t, 4>& Subscripts);

// The check of one input read under the strict profile: a double that is NaN or infinite is
// recorded in Failure as Name's failure and fails the sub-step that read it.
Step CheckInput(std::u16string_view Name, const Variant& Value, ErrorState& Failure);

}  // namespace qv
