// The short number form of failure descriptions and the decimal logarithm that picks its decimals.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "engine/qvExpression.h"
#include "engine/eval/NumberFormat.h"
#include "tests/TestAccess.h"

namespace {
std::u16string Format(double x) {
  qv::ErrorState errors;
  return qv::FormatReal(errors, x);
}
std::u16string F(double x) { return Format(x); }
}  // namespace

TEST(NumberFormat, Log10UsesTheFifteenDigitDivisor) {
  // Just below 1, so the switch points lie slightly above the powers of ten. (The correctly
  // rounded quotient is 0.9999999999999982, one unit in the last place from ...81.)
  EXPECT_LT(qv::Log10(10), 1.0);
  EXPECT_NEAR(qv::Log10(10), 0.9999999999999981, 2.3e-16);
  EXPECT_EQ(qv::Log10(31.622776601683793), 1.4999999999999971);
  EXPECT_EQ(qv::Log10(0), 0);
  EXPECT_EQ(qv::Log10(-5), 0);
  EXPECT_EQ(std::bit_cast<uint64_t>(2.30258509299405), 0x40026BB1BBB5551Full);
}

TEST(NumberFormat, FixedFormDecimalsFollowTheMagnitude) {
  EXPECT_EQ(F(0), u"0");
  EXPECT_EQ(F(1), u"1");
  EXPECT_EQ(F(-1), u"-1");
  EXPECT_EQ(F(0.5), u"0.5");
  EXPECT_EQ(F(3.14159265), u"3.142");
  EXPECT_EQ(F(-3.14159265), u"-3.142");
  EXPECT_EQ(F(9.9996), u"10");
  EXPECT_EQ(F(12.3456), u"12.346");
  EXPECT_EQ(F(31.61234), u"31.612");
  EXPECT_EQ(F(31.65432), u"31.65");
  EXPECT_EQ(F(123.456), u"123.46");
  EXPECT_EQ(F(316.1234), u"316.12");
  EXPECT_EQ(F(316.5432), u"316.5");
  EXPECT_EQ(F(500.123456), u"500.1");
  EXPECT_EQ(F(-500.123456), u"-500.123");
  EXPECT_EQ(F(1234.5678), u"1234.6");
  EXPECT_EQ(F(-1234.5678), u"-1234.568");
  EXPECT_EQ(F(123456.78), u"123456.8");
  EXPECT_EQ(F(999999.96), u"1000000");
  EXPECT_EQ(F(1000000), u"1000000");
  EXPECT_EQ(F(0.0015), u"0.002");
  EXPECT_EQ(F(0.00100000001), u"0.001");
  EXPECT_EQ(F(2.0005), u"2.001");
}

TEST(NumberFormat, ScientificFormKeepsFourSignificantDigitsAndThePoint) {
  EXPECT_EQ(F(1000000.4), u"1.E+6");
  EXPECT_EQ(F(1234500), u"1.235E+6");
  EXPECT_EQ(F(1234567), u"1.235E+6");
  EXPECT_EQ(F(9999999), u"1.E+7");
  EXPECT_EQ(F(-5000000000), u"-5.E+9");
  EXPECT_EQ(F(2.5E+300), u"2.5E+300");
  EXPECT_EQ(F(0.001), u"1.E-3");
  EXPECT_EQ(F(0.000123456), u"1.235E-4");
  EXPECT_EQ(F(-0.0005), u"-5.E-4");
  EXPECT_EQ(F(1E-300), u"1.E-300");
  EXPECT_EQ(F(1.7976931348623157e308), u"1.798E+308");
  EXPECT_EQ(F(5e-324), u"4.941E-324");
}

TEST(NumberFormat, NonFiniteInputIsReportedAndGivesNoText) {
  qvExpression e;
  EXPECT_EQ(qv::FormatReal(qvExpressionTestAccess::Errors(e), INFINITY), u"");
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_NE(e.ErrorDescription().find(u"FormatReal$"), std::u16string::npos);
  EXPECT_EQ(qv::FormatReal(qvExpressionTestAccess::Errors(e), NAN), u"");
}
