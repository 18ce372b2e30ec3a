// The built-in numeric functions, and Factorial with the NCR and NPR instructions
// that build on it. Every result is finite: an exponential or a product beyond the range of a
// double fails its sub-step.
#include "engine/eval/NumericFunctions.h"

#include <cmath>

#include "engine/Messages.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/Machine.h"
#include "engine/eval/NumberFormat.h"
#include "engine/eval/Operators.h"

namespace qv {
namespace {

// ABS, INT, FIX keep a whole number whole (empty reads as the 16-bit 0); ABS of the lowest value
// of a kind widens it.
Step WholeKept(int16_t op, Variant& acc) noexcept {
  int64_t w = acc.asWhole();
  bool sixteen = acc.kind() != Variant::Kind::Int32;
  acc = WholeResult(op == OpAbs && w < 0 ? -w : w, sixteen);
  return Step::Ok;
}

// The functions on x read as a double whose result is a double: SGN and ACOS(1) give whole
// numbers and are decided by the caller.
Step RealFunction(int16_t op, double x, Variant& acc) noexcept {
  if (op == OpSgn) {
    acc = Variant(int16_t(Sign(x)));
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
  return DoubleResult(x * double(next), acc);
}

void MinMax(bool max, const Variant* a, Variant& acc) {
  if (!a) return;
  int c = CompareValues(*a, acc);
  if (max ? c > 0 : c < 0) acc = *a;
}

Step Iif(const Variant* c, const Variant* a, Variant& acc) {
  const Test test = c ? IsPositive(*c) : Test::Failed;
  if (Holds(test) && a) acc = *a;
  return test == Test::Failed || (Holds(test) && !a) ? Step::Failed : Step::Ok;
}

bool Factorial(double X, double& Product, ErrorState& Failure) {
  Product = 0;
  if (FactorialValue(X, Product)) return true;
  std::u16string text(kOpcodeRows[OpFact].name);
  Failure.Set(6, text.append(u"(").append(FormatReal(Failure, X)).append(u")"));
  return false;
}

// NCR (Ordered false): n! / (r! (n-r)!); NPR (Ordered true): n! / (n-r)!. A factorial that fails,
// or a failure recorded earlier in this evaluation, replaces the description by the call written
// out; the accumulator then keeps b. A value that does not read as a number leaves its reading at
// 0, as a failed assignment would, and fails the instruction.
Step Combinations(Machine& M, bool Ordered, ErrorState& Failure) {
  const Variant* a = M.Below(0);
  double n = 0, r = 0;
  const bool readA = a && a->toNumber(n);
  const bool readB = M.acc.toNumber(r);
  double nf = 0, rf = 1, df = 1;
  bool failed = !Factorial(n, nf, Failure) || Failure.Code() != 0;
  if (!Ordered && !failed) failed = !Factorial(r, rf, Failure);
  if (!failed) failed = !Factorial(n - r, df, Failure);
  if (failed) {
    if (readA && readB) {
      std::u16string text(Ordered ? msg::kPermutations : msg::kCombinations);
      text.append(FormatReal(Failure, n)).append(u",").append(FormatReal(Failure, r)).append(u")");
      Failure.Set(Failure.Code(), std::move(text));
    }
  } else {
    DoubleResult(nf / (rf * df), M.acc);
  }
  M.Pop(1);
  return readA && readB ? Step::Ok : Step::Failed;
}

}  // namespace qv
