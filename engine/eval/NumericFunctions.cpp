// The built-in numeric functions, and the engine's Factorial with the NCR and NPR instructions
// that build on it. Every result is finite: an exponential or a product beyond the range of a
// double fails its sub-step.
#include "engine/eval/NumericFunctions.h"

#include <cmath>

#include "engine/Messages.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/Operators.h"
#include "engine/qvExpression.h"

namespace {

Step Real(double r, Variant& acc) noexcept {
  if (!std::isfinite(r)) return Step::Failed;
  acc.setDouble(r);
  return Step::Ok;
}

// ABS, INT, FIX keep a whole number whole (empty reads as the 16-bit 0); ABS of the lowest value
// of a kind widens it.
Step WholeKept(int16_t op, Variant& acc) noexcept {
  int64_t w = acc.asWhole();
  bool sixteen = acc.kind() != Variant::Kind::Int32;
  acc = WholeResult(op == OpAbs && w < 0 ? -w : w, sixteen);
  return Step::Ok;
}

// SINH, COSH, TANH from e^x and e^-x, each computed on its own; either leaving the double range
// fails the function.
Step Hyperbolic(int16_t op, double x, Variant& acc) noexcept {
  double ep = std::exp(x), em = std::exp(-x);
  if (!std::isfinite(ep) || !std::isfinite(em)) return Step::Failed;
  if (op == OpSinh) return Real((ep - em) / 2, acc);
  if (op == OpCosh) return Real((ep + em) / 2, acc);
  return Real((ep - em) / (ep + em), acc);
}

Step Asin(double x, Variant& acc) noexcept {
  if (std::fabs(x) == 1) return Real((x < 0 ? -1 : 1) * kPi / 2, acc);
  if (x > -1 && x < 1) return Real(std::atan(x / std::sqrt(1 - x * x)), acc);
  return Step::Domain;
}

Step Acos(double x, Variant& acc) noexcept {
  if (x == 1) {
    acc = Variant(int16_t(0));
    return Step::Ok;
  }
  if (x == -1) return Real(kPi, acc);
  if (x > -1 && x < 1) return Real(std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0), acc);
  return Step::Domain;
}

// The functions on x read as a double.
Step RealFunction(int16_t op, double x, Variant& acc) noexcept {
  switch (op) {
    case OpAbs: return Real(std::fabs(x), acc);
    case OpInt: return Real(std::floor(x), acc);
    case OpFix: return Real(std::trunc(x), acc);
    case OpSgn: acc = Variant(int16_t(x > 0 ? 1 : (x < 0 ? -1 : 0))); return Step::Ok;
    case OpSqr: return x < 0 ? Step::Failed : Real(std::sqrt(x), acc);
    case OpLog: return x > 0 ? Real(std::log(x) / std::log(10.0), acc) : Step::Domain;
    case OpLn: return x > 0 ? Real(std::log(x), acc) : Step::Domain;
    case OpExp: return Real(std::exp(x), acc);
    case OpSin: return Real(std::sin(x), acc);
    case OpAsin: return Asin(x, acc);
    case OpCos: return Real(std::cos(x), acc);
    case OpAcos: return Acos(x, acc);
    case OpTan: return Real(std::tan(x), acc);
    case OpAtn: return Real(std::atan(x), acc);
    case OpSinh: case OpCosh: case OpTanh: return Hyperbolic(op, x, acc);
    case OpAsinh: return Real(std::log(x + std::sqrt(x * x + 1)), acc);
    case OpAcosh: return x >= 1 ? Real(std::log(x + std::sqrt(x * x - 1)), acc) : Step::Domain;
    case OpAtanh:
      return x > -1 && x < 1 ? Real(0.5 * std::log((1 + x) / (1 - x)), acc) : Step::Domain;
    default: return Step::Failed;
  }
}

}  // namespace

double DegreeConstant() noexcept { return std::atan(1.0) / 45; }

Step UnaryFunction(int16_t op, Variant& acc) noexcept {
  bool keepsWhole = op == OpAbs || op == OpInt || op == OpFix;
  if (keepsWhole && (acc.isWhole() || acc.isEmpty())) return WholeKept(op, acc);
  double x;
  if (!acc.toNumber(x)) {
    // ACOS first tests x = 1; a test that fails counts as held, so ACOS of a text that does not
    // read as a number gives the whole number 0. Every other function fails here.
    if (op == OpAcos) acc = Variant(int16_t(0));
    return op == OpAcos ? Step::Ok : Step::Failed;
  }
  return RealFunction(op, x, acc);
}

Step Random(Variant& acc, float next) noexcept {
  double x;
  if (!acc.toNumber(x)) return Step::Failed;
  return Real(x * double(next), acc);
}

void MinMax(bool max, const Variant* a, Variant& acc) {
  if (!a) return;
  int c = CompareValues(*a, acc);
  if (max ? c > 0 : c < 0) acc = *a;
}

void Iif(const Variant* c, const Variant* a, Variant& acc) {
  bool held = !c || Holds(IsPositive(*c));
  if (held && a) acc = *a;
}

// n! for x from 0 to 169 (rounded, halves to even), the product taken as 2, 3, ..., n. Outside
// that range (NaN included) the failure is recorded and the result is 0.
double qvExpression::Factorial(double X) {
  if (!(X >= 0 && X <= 169)) {
    std::u16string text(kOpcodeRows[OpFact].name);
    SetError(6, text.append(u"(").append(FormatReal(X)).append(u")"));
    return 0;
  }
  int16_t n = int16_t(RoundHalfEven(X));
  double product = 1;
  for (int k = 2; k <= n; ++k) product *= k;
  return product;
}

// NCR (Ordered false): n! / (r! (n-r)!); NPR (Ordered true): n! / (n-r)!. A factorial that fails,
// or a failure recorded earlier in this evaluation, replaces the description by the call written
// out; the accumulator then keeps b. A value that does not read as a number leaves its reading at
// 0, as a failed assignment would.
void qvExpression::Combinations(Machine& M, bool Ordered) {
  const Variant* a = M.Below(0);
  double n = 0, r = 0;
  bool readA = a && a->toNumber(n);
  bool readB = M.acc.toNumber(r);
  double nf = Factorial(n), rf = 1, df = 1;
  if (!Ordered && errorCode_ == 0) rf = Factorial(r);
  if (errorCode_ == 0) df = Factorial(n - r);
  if (errorCode_ != 0) {
    if (readA && readB) {
      std::u16string text(Ordered ? msg::kPermutations : msg::kCombinations);
      text.append(FormatReal(n)).append(u",").append(FormatReal(r)).append(u")");
      errorDescription_ = std::move(text);
    }
  } else {
    Real(nf / (rf * df), M.acc);
  }
  M.Pop(1);
}
