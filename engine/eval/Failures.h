// Why a sub-step failed, for an engine whose evaluation trap is off: such a failure is recorded
// instead of hidden. Worked out from the instruction and the arguments it was given, after the
// fact, so the sub-steps themselves stay cheap status values on the hot path.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"

namespace qv {

// The run-time failure number: 13 a text that does not read as a number where one was needed,
// 11 a division by zero (MOD or \ by a divisor that rounds to 0, 0 to a negative power), 5 an
// argument outside what the function takes, 9 an array position outside the storage, 7 a text
// beyond the engine's length limit, 6 an overflow (a result beyond the double range, a
// whole-number conversion out of range).
int32_t FailureNumber(int16_t Op, const Variant* Args, int Count);

// The instruction written out with its arguments, in the style of the engine's other texts:
// "(L) OP R" for an operator, "NAME(a, b)" for a function or an array element.
std::u16string WrittenOut(ErrorState& Errors, std::u16string_view Name, int16_t Op, const Variant* Args,
                          int Count);

// Records in Failure code 6 for an instruction that found its arguments outside its domain:
// "Div by zero" for / and \; "(" L ") ^ " R for a power; NAME "(" x ")" for a function.
void RecordDomain(int16_t Opcode, const Variant* Left, const Variant& Right, ErrorState& Failure);

}  // namespace qv
