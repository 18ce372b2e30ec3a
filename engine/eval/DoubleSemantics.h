// What each operation of the language means on doubles, written once. The general loop's double
// branches, the all-double program and the native tier's helper calls all compute through these
// functions, so every tier gives the same bits and the same decisions.
//
// A sub-step's outcome is a Step: Ok with a finite result; Failed, where the general loop keeps
// the value it started from and records nothing (continue on failure); Domain, where the caller
// records a failure (code 6) with the text that instruction writes.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "engine/Variant.h"
#include "engine/compile/OpcodeTable.h"

namespace qv {

enum class Step : uint8_t { Ok, Failed, Domain };

// The pi constant: the 15-digit decimal, not the double nearest to pi.
inline constexpr double kPi = 3.14159265358979;
// The degree constant, pi/180 to full precision.
inline double DegreeConstant() noexcept { return std::atan(1.0) / 45; }

// Only finite results are ever stored; NaN and the infinities fail the sub-step.
inline bool IsFiniteResult(double r) noexcept { return std::fabs(r) <= DBL_MAX; }
inline Step Finite(double r, double& out) noexcept {
  if (!IsFiniteResult(r)) return Step::Failed;
  out = r;
  return Step::Ok;
}

// Comparison: below when a < b, above when a > b, equal otherwise (so NaN equals everything).
inline int CompareDoubles(double a, double b) noexcept { return a < b ? -1 : (a > b ? 1 : 0); }
// Whether comparison opcode op holds for a comparison result c (-1, 0, 1).
inline bool RelationHolds(int16_t op, int c) noexcept {
  switch (op) {
    case OpEqual: return c == 0;
    case OpNotEqual: return c != 0;
    case OpLessEqual: return c <= 0;
    case OpLess: return c < 0;
    case OpGreaterEqual: return c >= 0;
    default: return c > 0;  // OpGreater
  }
}

// Truth: a value counts as true when it is greater than 0. Truth values are 1 and 0.
inline bool Truth(double x) noexcept { return x > 0; }
inline bool LogicHolds(int16_t op, bool a, bool b) noexcept {
  return op == OpAnd ? (a && b) : op == OpOr ? (a || b) : (a != b);  // OpXor
}
inline double Sign(double x) noexcept { return x > 0 ? 1 : (x < 0 ? -1 : 0); }
// MIN and MAX: on a tie (and whenever the comparison does not hold) the right-hand argument.
inline double MinOf(double a, double b) noexcept { return a < b ? a : b; }
inline double MaxOf(double a, double b) noexcept { return a > b ? a : b; }

// /: a zero divisor is the domain failure "Div by zero".
inline Step DivideValue(double x, double y, double& out) noexcept {
  if (y == 0) return Step::Domain;
  return Finite(x / y, out);
}

namespace detail {
// a = hi + lo exactly, hi holding the upper 26 bits of a's significand (Veltkamp's split; exact
// for |a| below 2^996).
struct Halves {
  double hi, lo;
};
inline Halves Split(double a) noexcept {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double hi = c - (c - a);
  return {hi, a - hi};
}
// a * b - p exactly, for p the rounded product of a and b (Dekker's product, without a fused
// multiply-add), where no partial product leaves the range of normal doubles.
inline double ProductError(Halves a, Halves b, double p) noexcept {
  return ((a.hi * b.hi - p) + a.hi * b.lo + a.lo * b.hi) + a.lo * b.lo;
}
}  // namespace detail

// The whole exponents that WholePower computes, and the bases it takes: within 2^-200 to 2^200
// every partial product and error term of x^4 and of its reciprocal stays a normal double, so the
// error terms are exact.
inline bool IsWholePowerExponent(double y) noexcept { return y == 3 || y == 4 || (y <= -1 && y >= -4 && y == int(y)); }
inline constexpr double kWholePowerLow = 0x1p-200, kWholePowerHigh = 0x1p200;
inline bool InWholePowerRange(double x) noexcept { return std::fabs(x) >= kWholePowerLow && std::fabs(x) <= kWholePowerHigh; }

// x^n for n = 3, 4, -1, -2, -3 or -4 by multiplications: x^|n| as an unevaluated sum h + l that
// is exact up to terms below 2^-100 of it, rounded once (so its sign follows n's parity as it
// should), and for negative n the reciprocal of h + l with one correction step. Counted against
// a 113-bit reference, this gives the correctly rounded power more often than pow does
// (tools/PowerAccuracy.cpp); the native tier emits the same operations in the same order.
inline double WholePower(double x, int n) noexcept {
  using detail::ProductError;
  using detail::Split;
  if (n == -1) return 1 / x;  // one division: correctly rounded
  const detail::Halves hx = Split(x);
  const double p = x * x, e = ProductError(hx, hx, p);  // x^2 = p + e
  double h, l;
  if (n == 3 || n == -3) {
    h = p * x;
    l = ProductError(Split(p), hx, h) + e * x;
  } else if (n == 4 || n == -4) {
    const detail::Halves hp = Split(p);
    h = p * p;
    l = ProductError(hp, hp, h) + (p + p) * e;
  } else {
    h = p;
    l = e;
  }
  if (n > 0) return h + l;
  const double r = 1 / h, rh = r * h;
  const double residual = ((1 - rh) - ProductError(Split(r), Split(h), rh)) - r * l;  // 1 - r (h + l)
  return r + r * residual;
}

// ^: a base that is not negative takes any exponent; a negative base takes only whole exponents
// of magnitude up to 100, the sign following the exponent's parity. A square is one
// multiplication: the correctly rounded square, which pow does not always give, and no call;
// the whole exponents of WholePower go through it wherever the base is in its range.
inline Step PowerValue(double x, double y, double& out) noexcept {
  if (y == 2) return Finite(x * x, out);
  if (IsWholePowerExponent(y) && InWholePowerRange(x)) return Finite(WholePower(x, int(y)), out);
  if (x >= 0) return Finite(std::pow(x, y), out);
  if (y != RoundHalfEven(y) || std::fabs(y) > 100) return Step::Domain;
  const double r = std::pow(std::fabs(x), y);
  if (!IsFiniteResult(r)) return Step::Failed;
  out = std::fmod(y, 2.0) != 0 ? -r : r;
  return Step::Ok;
}

// n! for x from 0 to 169, rounded halves to even, the product taken as 2, 3, ..., n; false
// outside that range (NaN included).
inline bool FactorialValue(double x, double& out) noexcept {
  if (!(x >= 0 && x <= 169)) return false;
  const int n = int(RoundHalfEven(x));
  double product = 1;
  for (int k = 2; k <= n; ++k) product *= k;
  out = product;
  return true;
}

namespace detail {
// SINH, COSH, TANH from e^x and e^-x, each computed on its own; either leaving the double range
// fails the function.
inline Step Hyperbolic(int16_t op, double x, double& out) noexcept {
  const double ep = std::exp(x), em = std::exp(-x);
  if (!IsFiniteResult(ep) || !IsFiniteResult(em)) return Step::Failed;
  if (op == OpSinh) return Finite((ep - em) / 2, out);
  if (op == OpCosh) return Finite((ep + em) / 2, out);
  return Finite((ep - em) / (ep + em), out);
}
inline Step Asin(double x, double& out) noexcept {
  if (std::fabs(x) == 1) return Finite((x < 0 ? -1 : 1) * kPi / 2, out);
  if (x > -1 && x < 1) return Finite(std::atan(x / std::sqrt(1 - x * x)), out);
  return Step::Domain;
}
// ACOS of exactly 1 is the whole number 0, which the caller gives (here it fails).
inline Step Acos(double x, double& out) noexcept {
  if (x == 1) return Step::Failed;
  if (x == -1) return Finite(kPi, out);
  if (x > -1 && x < 1) return Finite(std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0), out);
  return Step::Domain;
}
}  // namespace detail

// The functions of one number whose result is a double (the rows of kind RealFunction). An
// opcode without a computation here fails every argument, which the opcode table's test catches.
inline Step RealValue(int16_t op, double x, double& out) noexcept {
  switch (op) {
    case OpAbs: return Finite(std::fabs(x), out);
    case OpInt: return Finite(std::floor(x), out);
    case OpFix: return Finite(std::trunc(x), out);
    case OpSqr: return x < 0 ? Step::Failed : Finite(std::sqrt(x), out);
    case OpLog: return x > 0 ? Finite(std::log(x) / std::log(10.0), out) : Step::Domain;
    case OpLn: return x > 0 ? Finite(std::log(x), out) : Step::Domain;
    case OpExp: return Finite(std::exp(x), out);
    case OpSin: return Finite(std::sin(x), out);
    case OpAsin: return detail::Asin(x, out);
    case OpCos: return Finite(std::cos(x), out);
    case OpAcos: return detail::Acos(x, out);
    case OpTan: return Finite(std::tan(x), out);
    case OpAtn: return Finite(std::atan(x), out);
    case OpSinh: case OpCosh: case OpTanh: return detail::Hyperbolic(op, x, out);
    case OpAsinh: return Finite(std::log(x + std::sqrt(x * x + 1)), out);
    case OpAcosh: return x >= 1 ? Finite(std::log(x + std::sqrt(x * x - 1)), out) : Step::Domain;
    case OpAtanh: return x > -1 && x < 1 ? Finite(0.5 * std::log((1 + x) / (1 - x)), out) : Step::Domain;
    default: return Step::Failed;
  }
}

}  // namespace qv
