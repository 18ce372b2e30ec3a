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

// A finite result into out; anything else fails the sub-step.
Step Finite(double r, double& out) noexcept {
  if (!std::isfinite(r)) return Step::Failed;
  out = r;
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
Step Hyperbolic(int16_t op, double x, double& out) noexcept {
  double ep = std::exp(x), em = std::exp(-x);
  if (!std::isfinite(ep) || !std::isfinite(em)) return Step::Failed;
  if (op == OpSinh) return Finite((ep - em) / 2, out);
  if (op == OpCosh) return Finite((ep + em) / 2, out);
  return Finite((ep - em) / (ep + em), out);
}

Step Asin(double x, double& out) noexcept {
  if (std::fabs(x) == 1) return Finite((x < 0 ? -1 : 1) * kPi / 2, out);
  if (x > -1 && x < 1) return Finite(std::atan(x / std::sqrt(1 - x * x)), out);
  return Step::Domain;
}

// ACOS of exactly 1 is the whole number 0, which the caller gives.
Step Acos(double x, double& out) noexcept {
  if (x == -1) return Finite(kPi, out);
  if (x > -1 && x < 1) return Finite(std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0), out);
  return Step::Domain;
}

// The functions on x read as a double whose result is a double: SGN and ACOS(1) give whole
// numbers and are decided by the caller.
Step RealFunction(int16_t op, double x, Variant& acc) noexcept {
  if (op == OpSgn) {
    acc = Variant(int16_t(x > 0 ? 1 : (x < 0 ? -1 : 0)));
    return Step::Ok;
  }
  if (op == OpAcos && x == 1) {
    acc = Variant(int16_t(0));
    return Step::Ok;
  }
  double r;
  Step s = RealValue(op, x, r);
  if (s == Step::Ok) acc.setDouble(r);
  return s;
}

}  // namespace

Step RealValue(int16_t op, double x, double& out) noexcept {
  switch (op) {
    case OpAbs: return Finite(std::fabs(x), out);
    case OpInt: return Finite(std::floor(x), out);
    case OpFix: return Finite(std::trunc(x), out);
    case OpSqr: return x < 0 ? Step::Failed : Finite(std::sqrt(x), out);
    case OpLog: return x > 0 ? Finite(std::log(x) / std::log(10.0), out) : Step::Domain;
    case OpLn: return x > 0 ? Finite(std::log(x), out) : Step::Domain;
    case OpExp: return Finite(std::exp(x), out);
    case OpSin: return Finite(std::sin(x), out);
    case OpAsin: return Asin(x, out);
    case OpCos: return Finite(std::cos(x), out);
    case OpAcos: return x == 1 ? Step::Failed : Acos(x, out);
    case OpTan: return Finite(std::tan(x), out);
    case OpAtn: return Finite(std::atan(x), out);
    case OpSinh: case OpCosh: case OpTanh: return Hyperbolic(op, x, out);
    case OpAsinh: return Finite(std::log(x + std::sqrt(x * x + 1)), out);
    case OpAcosh: return x >= 1 ? Finite(std::log(x + std::sqrt(x * x - 1)), out) : Step::Domain;
    case OpAtanh:
      return x > -1 && x < 1 ? Finite(0.5 * std::log((1 + x) / (1 - x)), out) : Step::Domain;
    default: return Step::Failed;
  }
}

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

// n! for x from 0 to 169; outside that range (NaN included) the failure is recorded and the
// result is 0.
double qvExpression::Factorial(double X) {
  double product = 0;
  if (!FactorialValue(X, product)) {
    std::u16string text(kOpcodeRows[OpFact].name);
    SetError(6, text.append(u"(").append(FormatReal(X)).append(u")"));
  }
  return product;
}

bool FactorialValue(double x, double& out) noexcept {
  if (!(x >= 0 && x <= 169)) return false;
  int16_t n = int16_t(RoundHalfEven(x));
  double product = 1;
  for (int k = 2; k <= n; ++k) product *= k;
  out = product;
  return true;
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
