// The numeric functions through compiled expressions: values, result kinds, recorded domain
// failures and the arithmetic failures that are not recorded.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/eval/NumericFunctions.h"
#include "engine/qvExpression.h"
#include "tests/Evaluated.h"
#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {
using K = Variant::Kind;


double Num(std::u16string text) { return Evaluated(std::move(text)).value.asDouble(); }
}  // namespace

TEST(NumericFunctions, ConstantsAreTheFifteenDigitPiAndAFullPrecisionDegree) {
  EXPECT_EQ(Num(u"PI"), 3.14159265358979);
  EXPECT_NE(Num(u"PI"), M_PI);
  EXPECT_DOUBLE_EQ(Num(u"DEG"), M_PI / 180);
  EXPECT_EQ(Num(u"DEG"), std::atan(1.0) / 45);
  EXPECT_NEAR(Num(u"SIN(30 * DEG)"), 0.5, 1e-15);
  EXPECT_EQ(Num(u"SIN(30)"), std::sin(30.0));
}

TEST(NumericFunctions, AbsIntFixKeepWholeNumbersWhole) {
  Outcome o = Evaluated(u"ABS(-5)");
  EXPECT_EQ(o.value.kind(), K::Int32);
  EXPECT_EQ(o.value.asWhole(), 5);
  o = Evaluated(u"ABS(X - 32768)");  // X is the 16-bit 0, 32768 a 32-bit literal
  EXPECT_EQ(o.value.asWhole(), 32768);
  o = Evaluated(u"INT(-2.5)");
  EXPECT_EQ(o.value.kind(), K::Double);
  EXPECT_EQ(o.value.asDouble(), -3);
  EXPECT_EQ(Num(u"FIX(-2.5)"), -2);
  EXPECT_EQ(Evaluated(u"INT(7)").value.kind(), K::Int32);
  EXPECT_EQ(Evaluated(u"FIX(X)").value.kind(), K::Int16);
  o = Evaluated(u"SGN(-0.001)");
  EXPECT_EQ(o.value.kind(), K::Int16);
  EXPECT_EQ(o.value.asWhole(), -1);
  EXPECT_EQ(Evaluated(u"SGN(0)").value.asWhole(), 0);
  EXPECT_EQ(Num(u"ABS(\"-2.5\")"), 2.5);
  Variant lowest(int16_t(-32768));  // the one 16-bit value whose magnitude needs 32 bits
  EXPECT_EQ(UnaryFunction(OpAbs, lowest), Step::Ok);
  EXPECT_EQ(lowest.kind(), K::Int32);
  EXPECT_EQ(lowest.asWhole(), 32768);
  Variant small(int16_t(-3));
  UnaryFunction(OpAbs, small);
  EXPECT_EQ(small.kind(), K::Int16);
  Variant widest(int32_t(INT32_MIN));
  UnaryFunction(OpAbs, widest);
  EXPECT_EQ(widest.asDouble(), 2147483648.0);
}

TEST(NumericFunctions, InverseTrigonometryUsesThePiConstant) {
  EXPECT_EQ(Num(u"ASIN(1)"), 3.14159265358979 / 2);
  EXPECT_EQ(Num(u"ASIN(-1)"), -3.14159265358979 / 2);
  Outcome o = Evaluated(u"ACOS(1)");
  EXPECT_EQ(o.value.kind(), K::Int16);
  EXPECT_EQ(o.value.asWhole(), 0);
  EXPECT_EQ(Num(u"ACOS(-1)"), 3.14159265358979);
  EXPECT_NEAR(Num(u"ACOS(0.5)"), M_PI / 3, 1e-15);
  EXPECT_NEAR(Num(u"ASIN(0.5)"), M_PI / 6, 1e-15);
  o = Evaluated(u"ASIN(1.0000001)");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"ASIN(1)");
  o = Evaluated(u"ACOS(-2)");
  EXPECT_EQ(o.description, u"ACOS(-2)");
  EXPECT_EQ(o.value.asWhole(), -2);
}

TEST(NumericFunctions, LogarithmsRecordArgumentsOutsideTheirDomain) {
  EXPECT_NEAR(Num(u"LOG(100)"), 2, 1e-15);
  EXPECT_NEAR(Num(u"LN(EXP(2))"), 2, 1e-15);
  Outcome o = Evaluated(u"LN(0)");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"LN(0)");
  o = Evaluated(u"LOG(-5)");
  EXPECT_EQ(o.description, u"LOG(-5)");
  EXPECT_EQ(o.value.asWhole(), -5);
  EXPECT_EQ(Num(u"ACOSH(1)"), 0);
  o = Evaluated(u"ACOSH(0.5)");
  EXPECT_EQ(o.description, u"ACOSH(0.5)");
  EXPECT_EQ(Num(u"ATANH(0)"), 0);
  EXPECT_EQ(Evaluated(u"ATANH(1)").description, u"ATANH(1)");
  EXPECT_EQ(Evaluated(u"ATANH(-1)").description, u"ATANH(-1)");
  EXPECT_NEAR(Num(u"ASINH(1)"), std::asinh(1.0), 1e-15);
}

TEST(NumericFunctions, ArithmeticFailuresLeaveTheArgumentWithoutARecord) {
  Outcome o = Evaluated(u"SQR(-4)");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asWhole(), -4);
  o = Evaluated(u"TANH(1000)");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asWhole(), 1000);
  EXPECT_EQ(Evaluated(u"EXP(710)").value.asWhole(), 710);
  EXPECT_EQ(Evaluated(u"COSH(-710)").value.asWhole(), -710);
  EXPECT_EQ(Evaluated(u"ASINH(-1.0E100 * 1.0E100)").value.asDouble(), -1e200);
  o = Evaluated(u"LN(\"abc\")");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asText(), u"abc");
  EXPECT_NEAR(Num(u"TANH(1)"), std::tanh(1.0), 1e-15);
  EXPECT_EQ(Num(u"EXP(-1000)"), 0);  // an exponential that underflows is 0, not a failure
}

TEST(NumericFunctions, FactorialRoundsHalvesToEvenAndRecordsItsRange) {
  EXPECT_EQ(Num(u"FACT(0)"), 1);
  EXPECT_EQ(Num(u"FACT(5)"), 120);
  EXPECT_EQ(Num(u"FACT(2.5)"), 2);
  EXPECT_EQ(Num(u"FACT(3.5)"), 24);
  double product = 1;
  for (int k = 2; k <= 169; ++k) product *= k;
  EXPECT_EQ(Num(u"FACT(169)"), product);
  EXPECT_NEAR(product, 4.269e304, 1e301);
  Outcome o = Evaluated(u"FACT(170)");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"FACT(170)");
  EXPECT_EQ(o.value.asDouble(), 0);
  EXPECT_EQ(Evaluated(u"FACT(-0.1)").description, u"FACT(-0.1)");
}

TEST(NumericFunctions, CombinationsAndPermutationsDescribeTheWholeCall) {
  EXPECT_EQ(Num(u"NCR(5, 2)"), 10);
  EXPECT_EQ(Num(u"NPR(5, 2)"), 20);
  EXPECT_EQ(Num(u"NCR(5.5, 2)"), 15);
  Outcome o = Evaluated(u"NCR(5, 7)");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"nCr(5,7)");
  EXPECT_EQ(o.value.asWhole(), 7);
  o = Evaluated(u"NPR(2, 3.25)");
  EXPECT_EQ(o.description, u"nPr(2,3.25)");
  // A failure recorded earlier in the evaluation makes NCR describe itself too.
  o = Evaluated(u"LN(-1) + NCR(4, 2)");
  EXPECT_EQ(o.description, u"nCr(4,2)");
  EXPECT_EQ(o.value.asWhole(), 1);  // -1 (LN kept its argument) + 2 (NCR kept b)
}

TEST(NumericFunctions, MinMaxTieToTheRightAndIifTestsPositive) {
  EXPECT_EQ(Evaluated(u"MIN(\"abc\", \"ABC\")").value.asText(), u"ABC");
  EXPECT_EQ(Evaluated(u"MAX(\"abc\", \"ABC\")").value.asText(), u"ABC");
  EXPECT_EQ(Evaluated(u"MIN(3, \"a\")").value.asWhole(), 3);
  EXPECT_EQ(Evaluated(u"MAX(3, \"a\")").value.asText(), u"a");
  EXPECT_EQ(Evaluated(u"MAX(2, 7) + MIN(2, 7)").value.asWhole(), 9);
  EXPECT_EQ(Evaluated(u"IIF(0, 1, 2)").value.asWhole(), 2);
  EXPECT_EQ(Evaluated(u"IIF(-1, 1, 2)").value.asWhole(), 2);
  EXPECT_EQ(Evaluated(u"IIF(0.5, 1, 2)").value.asWhole(), 1);
  EXPECT_EQ(Evaluated(u"IIF(\"x\", 1, 2)").value.asWhole(), 1);  // a failed test counts as held
  EXPECT_EQ(Evaluated(u"10 + IIF(1, 2, 3) * 2").value.asWhole(), 14);
}

TEST(NumericFunctions, RandomScalesTheSharedGenerator) {
  qvExpression e;
  e.SeedRandom(42);
  for (int i = 0; i < 200; ++i) {
    double r = Evaluated(e, u"RND(10)").value.asDouble();
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 10);
  }
  EXPECT_EQ(Evaluated(u"RND(0)").value.asDouble(), 0);
  qvExpression a, b;
  a.SeedRandom(7);
  b.SeedRandom(7);
  EXPECT_EQ(Evaluated(a, u"RND(1)").value.asDouble(), Evaluated(b, u"RND(1)").value.asDouble());
}
