// The operators: arithmetic with the kind rules of whole numbers and doubles, comparisons,
// logic and concatenation. Every result is finite: a result beyond the range of a double (or
// NaN) fails its sub-step instead of being stored.
#include "engine/eval/Operators.h"

#include <cmath>

#include "engine/compile/OpcodeTable.h"
#include "engine/eval/DoubleSemantics.h"

namespace qv {
namespace {

// An arithmetic operand: a whole number (empty counts as the 16-bit 0) or a double (texts are
// converted and count as doubles).
struct Num {
  bool whole;
  bool sixteen;
  int64_t w;
  double d;
};

bool ReadNum(const Variant& v, Num& out) noexcept {
  switch (v.kind()) {
    case Variant::Kind::Empty: out = {true, true, 0, 0.0}; return true;
    case Variant::Kind::Int16: out = {true, true, v.asWhole(), double(v.asWhole())}; return true;
    case Variant::Kind::Int32: out = {true, false, v.asWhole(), double(v.asWhole())}; return true;
    case Variant::Kind::Double: out = {false, false, 0, v.asDouble()}; return true;
    case Variant::Kind::Text: out = {false, false, 0, 0.0}; return v.toNumber(out.d);
  }
  return false;
}

// The fast path's test: both kinds at once, one comparison.
bool BothDouble(const Variant& a, const Variant& b) noexcept {
  constexpr unsigned kDouble = unsigned(Variant::Kind::Double);
  return (unsigned(a.kind()) << 4 | unsigned(b.kind())) == (kDouble << 4 | kDouble);
}

enum class Arith { Add, Subtract, Multiply };

// + - * on two operands read as numbers: two whole numbers give a whole number (widened when it
// outgrows its kind), anything with a double or a converted text gives a double.
Step Arithmetic(Arith op, const Variant& l, Variant& acc) noexcept {
  Num x, y;
  if (!ReadNum(l, x) || !ReadNum(acc, y)) return Step::Failed;
  if (x.whole && y.whole) {
    int64_t r = op == Arith::Add ? x.w + y.w : op == Arith::Subtract ? x.w - y.w : x.w * y.w;
    acc = WholeResult(r, x.sixteen && y.sixteen);
    return Step::Ok;
  }
  double r = op == Arith::Add ? x.d + y.d : op == Arith::Subtract ? x.d - y.d : x.d * y.d;
  return DoubleResult(r, acc);
}

bool Sixteen(const Variant& v) noexcept {
  return v.kind() == Variant::Kind::Int16 || v.isEmpty();
}

}  // namespace

Test IsPositive(const Variant& v) noexcept {
  double x;
  if (!v.toNumber(x)) return Test::Failed;
  return Truth(x) ? Test::True : Test::False;
}

Test IsNonZero(const Variant& v) noexcept {
  double x;
  if (!v.toNumber(x)) return Test::Failed;
  return x != 0 ? Test::True : Test::False;
}

bool ReadWhole(const Variant& v, int32_t& out) noexcept {
  if (v.isWhole()) {
    out = v.asWhole();
    return true;
  }
  double x;
  return v.toNumber(x) && ToWhole(x, out);
}

Variant WholeResult(int64_t value, bool sixteen) noexcept {
  if (sixteen && value >= INT16_MIN && value <= INT16_MAX) return Variant(int16_t(value));
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(int32_t(value));
  return Variant(double(value));
}

int CompareValues(const Variant& a, const Variant& b) noexcept {
  bool at = a.isText(), bt = b.isText();
  if (!at && !bt) {
    return CompareDoubles(a.asDouble(), b.asDouble());  // empty reads 0
  }
  if (at && bt) return CompareNoCase(a.asText(), b.asText());
  // One text: against empty it compares with the empty text; any number is below any text.
  if (at) return b.isEmpty() ? CompareNoCase(a.asText(), u"") : 1;
  return a.isEmpty() ? CompareNoCase(u"", b.asText()) : -1;
}

Step DoubleResult(double r, Variant& acc) noexcept {
  if (!IsFiniteResult(r)) return Step::Failed;
  acc.setDouble(r);
  return Step::Ok;
}

Step TextResult(std::u16string&& text, Variant& acc) {
  if (text.size() > kMaxTextLength) return Step::Failed;
  acc = Variant(std::move(text));
  return Step::Ok;
}

Step Negate(Variant& acc) noexcept {
  switch (acc.kind()) {
    case Variant::Kind::Empty: acc = Variant(int16_t(0)); return Step::Ok;
    case Variant::Kind::Int16: acc = WholeResult(-int64_t(acc.asWhole()), true); return Step::Ok;
    case Variant::Kind::Int32: acc = WholeResult(-int64_t(acc.asWhole()), false); return Step::Ok;
    case Variant::Kind::Double: acc.setDouble(-acc.asDouble()); return Step::Ok;  // as every tier
    case Variant::Kind::Text: {
      double x;
      if (!acc.toNumber(x)) return Step::Failed;
      acc.setDouble(-x);
      return Step::Ok;
    }
  }
  return Step::Failed;
}

// NOT: 1 when R <= 0; a text that does not read as a number fails the test, which counts as held.
Step Not(Variant& acc) noexcept {
  Test positive = IsPositive(acc);
  acc = Variant(int16_t(positive == Test::True ? 0 : 1));
  return positive == Test::Failed ? Step::Failed : Step::Ok;
}

// + adds numbers and joins two texts; an empty operand leaves the other one unchanged.
Step Add(const Variant& l, Variant& acc) {
  if (BothDouble(l, acc)) return DoubleResult(l.asDouble() + acc.asDouble(), acc);
  if (l.isText() && acc.isText()) {
    if (l.asText().size() + acc.asText().size() > kMaxTextLength) return Step::Failed;
    return TextResult(l.asText() + acc.asText(), acc);
  }
  if (acc.isEmpty()) {
    acc = l.isEmpty() ? Variant(int16_t(0)) : l;
    return Step::Ok;
  }
  if (l.isEmpty()) return Step::Ok;
  return Arithmetic(Arith::Add, l, acc);
}

Step Subtract(const Variant& l, Variant& acc) noexcept {
  if (BothDouble(l, acc)) return DoubleResult(l.asDouble() - acc.asDouble(), acc);
  return Arithmetic(Arith::Subtract, l, acc);
}

Step Multiply(const Variant& l, Variant& acc) noexcept {
  if (BothDouble(l, acc)) return DoubleResult(l.asDouble() * acc.asDouble(), acc);
  return Arithmetic(Arith::Multiply, l, acc);
}

// The zero test reads the divisor first: a text that is no number fails it, and the division
// then fails too.
Step Divide(const Variant& l, Variant& acc) noexcept {
  if (IsNonZero(acc) == Test::False) return Step::Domain;
  double x, y, r;
  if (!l.toNumber(x) || !acc.toNumber(y)) return Step::Failed;
  const Step s = DivideValue(x, y, r);
  if (s == Step::Ok) acc.setDouble(r);
  return s == Step::Domain ? Step::Failed : s;
}

// \ divides whole numbers, truncating toward zero. A divisor that is 0 only after rounding fails
// the sub-step without a record. The one quotient that outgrows its kind (the lowest whole number
// divided by -1) widens instead of overflowing.
Step IntDivide(const Variant& l, Variant& acc) noexcept {
  if (IsNonZero(acc) == Test::False) return Step::Domain;
  int32_t x, y;
  if (!ReadWhole(l, x) || !ReadWhole(acc, y) || y == 0) return Step::Failed;
  acc = WholeResult(int64_t(x) / y, Sixteen(l) && Sixteen(acc));
  return Step::Ok;
}

// MOD: the remainder has the sign of L; a whole divisor of 0 fails without a record.
Step Mod(const Variant& l, Variant& acc) noexcept {
  int32_t x, y;
  if (!ReadWhole(l, x) || !ReadWhole(acc, y) || y == 0) return Step::Failed;
  acc = WholeResult(int64_t(x) % y, Sixteen(l) && Sixteen(acc));
  return Step::Ok;
}

// An operand that does not read as a number fails the sign test, which carries on as if it held,
// and then fails the power itself: either way the sub-step fails.
Step Power(const Variant& l, Variant& acc) noexcept {
  double x, y, r;
  if (!l.toNumber(x) || !acc.toNumber(y)) return Step::Failed;
  const Step s = PowerValue(x, y, r);
  if (s == Step::Ok) acc.setDouble(r);
  return s;
}

void Relation(int16_t op, const Variant& l, Variant& acc) noexcept {
  acc = Variant(int16_t(RelationHolds(op, CompareValues(l, acc)) ? 1 : 0));
}

// AND, OR, XOR on the truth of both operands; when either does not read as a number the test
// fails and counts as held.
Step Logic(int16_t op, const Variant& l, Variant& acc) noexcept {
  Test a = IsPositive(l), b = IsPositive(acc);
  const bool tested = a != Test::Failed && b != Test::Failed;
  const bool held = !tested || LogicHolds(op, a == Test::True, b == Test::True);
  acc = Variant(int16_t(held ? 1 : 0));
  return tested ? Step::Ok : Step::Failed;
}

Step Concat(const Variant& l, Variant& acc) {
  std::u16string left = l.toText();
  const std::u16string right = acc.toText();
  if (left.size() + right.size() > kMaxTextLength) return Step::Failed;
  left += right;
  return TextResult(std::move(left), acc);
}

}  // namespace qv
