// The operators: results and result kinds, mixed kinds, the recorded failures and the sub-steps
// that fail without a record.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/eval/Operators.h"
#include "engine/qvExpression.h"
#include "tests/Evaluated.h"
#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {
using K = Variant::Kind;

Variant I16(int v) { return Variant(int16_t(v)); }
Variant I32(int32_t v) { return Variant(v); }

// Runs one binary operator as the machine does: acc holds R and receives the result.
template <class Op>
Variant Apply(Op op, const Variant& l, Variant r, Step expected = Step::Ok) {
  EXPECT_EQ(op(l, r), expected);
  return r;
}

}  // namespace

TEST(Operators, WholeArithmeticKeepsTheNarrowerKindAndWidensOnOverflow) {
  Variant r = Apply(Add, I16(2), I16(3));
  EXPECT_EQ(r.kind(), K::Int16);
  EXPECT_EQ(r.asWhole(), 5);
  r = Apply(Add, I16(32767), I16(1));
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), 32768);
  r = Apply(Multiply, I16(-300), I32(2));
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), -600);
  r = Apply(Subtract, I32(INT32_MIN), I16(1));
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), -2147483649.0);
  r = Apply(Multiply, I32(65536), I32(65536));
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), 4294967296.0);
  r = Apply(Subtract, Variant(), I16(4));  // empty counts as the 16-bit 0
  EXPECT_EQ(r.kind(), K::Int16);
  EXPECT_EQ(r.asWhole(), -4);
  r = Apply(Add, I16(1), Variant(0.5));
  EXPECT_EQ(r.kind(), K::Double);
  r = Apply(Multiply, Variant(u"2"), Variant(u"3"));  // converted texts give a double
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), 6);
}

TEST(Operators, PlusJoinsTextsAndPassesOverEmpty) {
  Variant r = Apply(Add, Variant(u"1"), Variant(u"2"));
  EXPECT_EQ(r.asText(), u"12");
  r = Apply(Add, I32(1), Variant(u" 2 "));
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), 3);
  r = Apply(Add, Variant(), Variant(u"abc"));
  EXPECT_EQ(r.asText(), u"abc");
  r = Apply(Add, Variant(u"abc"), Variant());
  EXPECT_EQ(r.asText(), u"abc");
  r = Apply(Add, Variant(), Variant());
  EXPECT_EQ(r.kind(), K::Int16);
  EXPECT_EQ(r.asWhole(), 0);
  r = Apply(Add, Variant(u"x"), I32(3), Step::Failed);  // the accumulator keeps R
  EXPECT_EQ(r.asWhole(), 3);
}

TEST(Operators, ResultsBeyondTheDoubleRangeFailTheSubStep) {
  Variant r = Apply(Multiply, Variant(1.5e308), I32(10), Step::Failed);
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), 10);
  Apply(Add, Variant(1.7e308), Variant(1.7e308), Step::Failed);
  Apply(Power, Variant(10.0), Variant(400.0), Step::Failed);
  Apply(Power, I32(0), I32(-1), Step::Failed);  // 0 to a negative power
  Apply(Divide, Variant(1e300), Variant(1e-300), Step::Failed);
  Apply(Add, Variant(INFINITY), Variant(1.0), Step::Failed);  // a host's infinity goes no further
}

TEST(Operators, DivisionChecksTheDivisorBeforeDividing) {
  Variant r = Apply(Divide, I32(7), I32(2));
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), 3.5);
  Apply(Divide, I32(7), I32(0), Step::Domain);
  Apply(Divide, I32(7), Variant(), Step::Domain);
  Apply(Divide, I32(7), Variant(u"0"), Step::Domain);
  Apply(Divide, I32(7), Variant(u"x"), Step::Failed);  // the test fails, the division then fails
  Apply(IntDivide, I32(7), I32(0), Step::Domain);
  r = Apply(IntDivide, I32(7), Variant(0.4), Step::Failed);  // 0 only after rounding
  EXPECT_EQ(r.asDouble(), 0.4);
}

TEST(Operators, IntegerDivisionAndModTruncateAndRoundHalvesToEven) {
  Variant r = Apply(IntDivide, I16(7), I16(2));
  EXPECT_EQ(r.kind(), K::Int16);
  EXPECT_EQ(r.asWhole(), 3);
  r = Apply(IntDivide, I32(-7), I16(2));
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), -3);
  EXPECT_EQ(Apply(IntDivide, I32(7), Variant(2.5)).asWhole(), 3);
  r = Apply(Mod, Variant(8.5), I32(3));
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), 2);
  EXPECT_EQ(Apply(Mod, I16(7), I16(-3)).asWhole(), 1);
  EXPECT_EQ(Apply(Mod, I16(-7), I16(3)).asWhole(), -1);
  EXPECT_TRUE(Apply(Mod, I16(7), Variant(), Step::Failed).isEmpty());  // R stays as it was
  EXPECT_EQ(Apply(Mod, I32(5), I32(0), Step::Failed).asWhole(), 0);
  EXPECT_EQ(Apply(Mod, I32(INT32_MIN), I32(-1)).asWhole(), 0);
  r = Apply(IntDivide, I16(-32768), I16(-1));  // widens rather than overflowing
  EXPECT_EQ(r.kind(), K::Int32);
  EXPECT_EQ(r.asWhole(), 32768);
  r = Apply(IntDivide, I32(INT32_MIN), I32(-1));
  EXPECT_EQ(r.asDouble(), 2147483648.0);
  Apply(Mod, Variant(3e9), I32(2), Step::Failed);  // beyond the 32-bit range
}

TEST(Operators, PowerOfNegativeBasesTakesWholeExponentsUpTo100) {
  EXPECT_EQ(Apply(Power, I32(-2), I32(3)).asDouble(), -8);
  EXPECT_EQ(Apply(Power, I32(-2), I32(-3)).asDouble(), -0.125);
  EXPECT_EQ(Apply(Power, I32(-2), I32(2)).asDouble(), 4);
  EXPECT_EQ(Apply(Power, I32(-2), I32(-2)).asDouble(), 0.25);
  EXPECT_EQ(Apply(Power, I32(-2), I32(100)).asDouble(), std::ldexp(1.0, 100));
  EXPECT_EQ(Apply(Power, I32(-2), I32(-100)).asDouble(), std::ldexp(1.0, -100));
  Apply(Power, I32(-2), I32(101), Step::Domain);
  Apply(Power, I32(-8), Variant(1.0 / 3), Step::Domain);
  Apply(Power, Variant(u"-8"), Variant(0.5), Step::Domain);
  Variant r = Apply(Power, I32(0), I32(0));
  EXPECT_EQ(r.kind(), K::Double);
  EXPECT_EQ(r.asDouble(), 1);
  EXPECT_EQ(Apply(Power, Variant(u"x"), I32(2), Step::Failed).asWhole(), 2);
}

TEST(Operators, UnaryMinusKeepsTheKindAndWidens) {
  Variant v = I16(-32768);
  EXPECT_EQ(Negate(v), Step::Ok);
  EXPECT_EQ(v.kind(), K::Int32);
  EXPECT_EQ(v.asWhole(), 32768);
  v = I16(5);
  Negate(v);
  EXPECT_EQ(v.kind(), K::Int16);
  EXPECT_EQ(v.asWhole(), -5);
  v = I32(INT32_MIN);
  Negate(v);
  EXPECT_EQ(v.asDouble(), 2147483648.0);
  v = Variant();
  Negate(v);
  EXPECT_EQ(v.kind(), K::Int16);
  v = Variant(u"x");
  EXPECT_EQ(Negate(v), Step::Failed);
  EXPECT_EQ(v.asText(), u"x");
}

TEST(Operators, ComparisonsGiveSixteenBitTruthAndOrderNumbersBeforeTexts) {
  auto rel = [](int16_t op, Variant l, Variant r) {
    Relation(op, l, r);
    EXPECT_EQ(r.kind(), K::Int16);
    return r.asWhole();
  };
  EXPECT_EQ(rel(OpEqual, I32(3), I32(3)), 1);
  EXPECT_EQ(rel(OpLess, I32(3), I32(2)), 0);
  EXPECT_EQ(rel(OpEqual, Variant(u"abc"), Variant(u"ABC")), 1);
  EXPECT_EQ(rel(OpLess, I32(5), Variant(u"1")), 1);
  EXPECT_EQ(rel(OpEqual, I32(5), Variant(u"5")), 0);
  EXPECT_EQ(rel(OpNotEqual, I32(5), Variant(u"5")), 1);
  EXPECT_EQ(rel(OpEqual, Variant(), I16(0)), 1);
  EXPECT_EQ(rel(OpEqual, Variant(), Variant(u"")), 1);
  EXPECT_EQ(rel(OpGreater, Variant(u"b"), Variant()), 1);
  EXPECT_EQ(rel(OpGreaterEqual, Variant(2.5), I32(2)), 1);
  EXPECT_EQ(rel(OpLessEqual, Variant(u"abd"), Variant(u"ABC")), 0);
}

TEST(Operators, TruthIsGreaterThanZeroAndAFailedTestCountsAsHeld) {
  auto logic = [](int16_t op, Variant l, Variant r) {
    Logic(op, l, r);
    EXPECT_EQ(r.kind(), K::Int16);
    return r.asWhole();
  };
  EXPECT_EQ(logic(OpAnd, I32(-1), I32(5)), 0);
  EXPECT_EQ(logic(OpAnd, I32(2), I32(3)), 1);
  EXPECT_EQ(logic(OpOr, I32(0), I32(-4)), 0);
  EXPECT_EQ(logic(OpXor, I32(1), I32(1)), 0);
  EXPECT_EQ(logic(OpXor, I32(1), Variant()), 1);
  EXPECT_EQ(logic(OpAnd, Variant(u"x"), I32(0)), 1);
  auto notOf = [](Variant v) {
    Not(v);
    return v.asWhole();
  };
  EXPECT_EQ(notOf(I32(0)), 1);
  EXPECT_EQ(notOf(I32(2)), 0);
  EXPECT_EQ(notOf(I32(-1)), 1);
  EXPECT_EQ(notOf(Variant(u"7")), 0);
  EXPECT_EQ(notOf(Variant(u"x")), 1);
}

TEST(Operators, ConcatenationWritesNumbersInTheirGeneralForm) {
  EXPECT_EQ(Apply(Concat, I32(1), I32(2)).asText(), u"12");
  EXPECT_EQ(Apply(Concat, Variant(0.25), Variant()).asText(), u"0.25");
  EXPECT_EQ(Apply(Concat, Variant(1e20), Variant(u"x")).asText(), u"1E+20x");
  Variant big(std::u16string(kMaxTextLength, u'a'));
  Variant r = Apply(Concat, big, Variant(u"b"), Step::Failed);
  EXPECT_EQ(r.asText(), u"b");
  Apply(Add, big, Variant(u"b"), Step::Failed);
}

TEST(Operators, EndToEndFailuresAndTheirRecords) {
  Outcome o = Evaluated(u"7 / 0");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"Div by zero");
  o = Evaluated(u"(-8) ^ 0.5");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"(-8) ^ 0.5");
  o = Evaluated(u"(-2) ^ 101");
  EXPECT_EQ(o.description, u"(-2) ^ 101");
  o = Evaluated(u"7 \\ 0.4");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asDouble(), 0.4);
  o = Evaluated(u"\"x\" * 3");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asWhole(), 3);
  o = Evaluated(u"10 / \"0\"");
  EXPECT_EQ(o.description, u"Div by zero");
  o = Evaluated(u"1 + 2 * 3 - 4 / 2");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asDouble(), 5);
  o = Evaluated(u"1 & 2 = \"12\"");  // & binds loosest: 1 & (2 = "12") is "10"
  EXPECT_EQ(o.value.asText(), u"10");
}
