// The operators of the expression language as functions on values. Each binary operator takes
// the left operand L and the accumulator, which holds the right operand R and receives the
// result; a sub-step that fails leaves the accumulator as it was.
#pragma once

#include <cstdint>

#include "engine/Variant.h"
#include "engine/eval/Machine.h"

namespace qv {

// ---- reading values ----
// A test against a fixed number reads its value as a number; text that does not read as one
// makes the test fail, and the instruction then carries on as if the test had held.
enum class Test : uint8_t { False, True, Failed };
inline bool Holds(Test t) noexcept { return t != Test::False; }
Test IsPositive(const Variant& v) noexcept;  // the truth of a value: greater than 0
Test IsNonZero(const Variant& v) noexcept;   // the zero test of / and \: v <> 0
// Whole-number reading: the number rounded, halves to even, within the 32-bit range.
bool ReadWhole(const Variant& v, int32_t& out) noexcept;
// A whole result of 16-bit operands stays 16-bit while it fits; otherwise it widens to 32 bits,
// and beyond that to a double.
Variant WholeResult(int64_t value, bool sixteen) noexcept;
// Comparison of two operand values: -1, 0 or 1. Numbers compare numerically, texts without
// regard to case, a number is below any text, empty is 0 or the empty text as its partner needs.
int CompareValues(const Variant& a, const Variant& b) noexcept;
// A double result, refused (Failed) when it is not finite.
Step DoubleResult(double r, Variant& acc) noexcept;
// A text result, refused (Failed) when longer than kMaxTextLength.
Step TextResult(std::u16string&& text, Variant& acc);

// ---- unary operators ----
Step Negate(Variant& acc) noexcept;
// NOT, AND, OR, XOR: Failed when a truth test failed (the test then counts as held, and the
// result is stored all the same).
Step Not(Variant& acc) noexcept;

// ---- arithmetic ----
Step Add(const Variant& l, Variant& acc);
Step Subtract(const Variant& l, Variant& acc) noexcept;
Step Multiply(const Variant& l, Variant& acc) noexcept;
Step Divide(const Variant& l, Variant& acc) noexcept;     // Domain: "Div by zero"
Step IntDivide(const Variant& l, Variant& acc) noexcept;  // Domain: "Div by zero"
Step Mod(const Variant& l, Variant& acc) noexcept;
Step Power(const Variant& l, Variant& acc) noexcept;      // Domain: negative base, bad exponent

// ---- comparisons, logic, concatenation ----
// op is one of the comparison opcodes 15 to 20 or the logical opcodes 22 to 24.
void Relation(int16_t op, const Variant& l, Variant& acc) noexcept;
Step Logic(int16_t op, const Variant& l, Variant& acc) noexcept;
Step Concat(const Variant& l, Variant& acc);

}  // namespace qv
