// The built-in numeric functions that need nothing of the engine but their arguments. FACT, NCR
// and NPR record their own failures and RND draws from the engine's generator, so those live
// with the engine (NumericFunctions.cpp as well).
#pragma once

#include <cstdint>

#include "engine/Variant.h"
#include "engine/eval/Machine.h"

// The pi constant: the 15-digit decimal, not the double nearest to pi.
inline constexpr double kPi = 3.14159265358979;
// The degree constant, pi/180 to full precision.
double DegreeConstant() noexcept;

// The one-argument functions ABS to ASINH (opcodes 28 to 48 except RND): the argument is the
// accumulator, which takes the result. Domain: LN, LOG, ASIN, ACOS, ACOSH, ATANH found the argument
// outside their domain; the caller records it.
Step UnaryFunction(int16_t op, Variant& acc) noexcept;
// The one-argument functions whose result is a double, on x read as a double: Ok with a finite
// out, Failed, or Domain. Both evaluation paths compute through it, so they agree to the bit. SGN
// and ACOS of exactly 1, whose results are whole numbers, are Failed here.
Step RealValue(int16_t op, double x, double& out) noexcept;
// n! for x from 0 to 169, rounded halves to even, the product taken as 2, 3, ..., n; false
// outside that range (NaN included).
bool FactorialValue(double x, double& out) noexcept;
// RND: x times the generator's next number.
Step Random(Variant& acc, float next) noexcept;

// MIN and MAX of a (the top slot) and b (the accumulator); on a tie the result is b. A null a is a
// slot outside the stack: the test fails, counts as held, and taking a then fails.
void MinMax(bool max, const Variant* a, Variant& acc);
// IIF(c, a, b): a when c is positive, otherwise b (the accumulator).
void Iif(const Variant* c, const Variant* a, Variant& acc);
