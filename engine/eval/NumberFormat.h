// The short text form of numbers in failure descriptions (FormatReal$), and the base-10
// logarithm it rounds with.
#pragma once

#include <string>

#include "engine/compile/ErrorState.h"

namespace qv {

// Fixed notation with at most three decimals for ordinary magnitudes, scientific notation with
// four significant digits otherwise. An infinity or NaN has no form: the overflow is reported
// under "FormatReal$" and the text is empty.
std::u16string FormatReal(ErrorState& Errors, double X);
// log10 through the 15-digit decimal of ln 10 (0 for X <= 0).
double Log10(double X);

}  // namespace qv
