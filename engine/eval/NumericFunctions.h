// The built-in numeric functions on the evaluator's values: the argument is the accumulator,
// which takes the result, with earlier arguments from the stack. Their double computations are
// the ones of DoubleSemantics.h. FACT, NCR and NPR record their own failures in the error state
// they are handed (the evaluation's outcome).
#pragma once

#include <cstdint>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/eval/DoubleSemantics.h"

namespace qv {

class Machine;

// The one-argument functions of kind RealFunction and SGN: the argument is the accumulator,
// which takes the result. Domain: LN, LOG, ASIN, ACOS, ACOSH, ATANH found the argument outside
// their domain; the caller records it.
Step UnaryFunction(int16_t op, Variant& acc) noexcept;
// RND: x times the generator's next number.
Step Random(Variant& acc, float next) noexcept;

// MIN and MAX of a (the top slot) and b (the accumulator); on a tie the result is b. A null a is a
// slot outside the stack: the test fails, counts as held, and taking a then fails.
void MinMax(bool max, const Variant* a, Variant& acc);
// IIF(c, a, b): a when c is positive, otherwise b (the accumulator). Failed when the truth test
// of c failed (it then counts as held).
Step Iif(const Variant* c, const Variant* a, Variant& acc);

// n! for X from 0 to 169; outside that range (NaN included) the failure is recorded in Failure,
// Product is 0 and the answer is false.
bool Factorial(double X, double& Product, ErrorState& Failure);

// NCR, and NPR when Ordered: the top slot is n, the accumulator r; pops one.
Step Combinations(Machine& M, bool Ordered, ErrorState& Failure);

}  // namespace qv
