// The table of compiled expressions and the resets.
#include <gtest/gtest.h>

#include "engine/qvExpression.h"
#include "engine/CompiledExpression.h"

using namespace qv;  // the engine's internals under test

namespace {
void CompileText(qvExpression& e, std::u16string text) {
  int16_t index = 0;
  e.Compile(text, index);
}
Variant I(int32_t i) { return Variant(i); }
}  // namespace

TEST(ExpressionStore, CountsSlotZeroOnceAnythingIsStored) {
  qvExpression e;
  EXPECT_EQ(e.NumExpressions(), 0);
  EXPECT_EQ(e.ExpressionText(I(0)), u"");
  CompileText(e, u"X + 1 ' offset");
  CompileText(e, u"");
  EXPECT_EQ(e.NumExpressions(), 3);
  EXPECT_EQ(e.ExpressionText(I(1)), u"X + 1");
  EXPECT_EQ(e.ExpressionText(I(2)), u"0");
  EXPECT_EQ(e.ExpressionText(I(0)), u"");
  EXPECT_EQ(e.ExpressionText(I(3)), u"");
  EXPECT_EQ(e.ExpressionText(I(-1)), u"");
  // an index beyond the 32-bit range is out of range like any other, not an overflow
  EXPECT_EQ(e.ExpressionText(Variant(1e300)), u"");
  EXPECT_EQ(e.UserFuncText(Variant(-1e300)), u"");
  EXPECT_EQ(e.ExpressionText(Variant(u"2")), u"0");  // a text index reads as its number
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ExpressionStore, ATextIndexThatIsNoNumberIsReported) {
  qvExpression e;
  EXPECT_EQ(e.ExpressionText(Variant(u"first")), u"");
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_EQ(e.ErrorDescription(), u"Error 13 has occured in qvCalcE, ExpressionText\r\nType mismatch");
}

TEST(ExpressionStore, ResetCompiledExpressionsKeepsTheOtherStores) {
  qvExpression e;
  double v = 2;
  e.Variable(Variant(u"X"), v);
  std::u16string arr = u"A(2)", fn = u"F(X) = X";
  e.DefineArray(arr);
  e.UserFunc(fn);
  CompileText(e, u"X + 1");
  e.ResetCompiledExpressions();
  EXPECT_EQ(e.NumExpressions(), 0);
  EXPECT_EQ(e.NumVariables(), 1);
  EXPECT_EQ(e.ArraysCount(), 1);
  EXPECT_EQ(e.NumUserFuncs(), 1);
  CompileText(e, u"2");
  EXPECT_EQ(e.ErrorSource(), 1);  // the next expression takes slot 1 again
}

TEST(ExpressionStore, ResetReturnsTheEngineToItsStateAtCreation) {
  qvExpression e;
  double v = 2;
  e.Variable(Variant(u"X"), v);
  std::u16string arr = u"A(2)", fn = u"Twice(X) = 2 * X";
  e.DefineArray(arr);
  e.UserFunc(fn);
  CompileText(e, u"Twice(X) + A(1)");
  CompileText(e, u"1 +");
  ASSERT_NE(e.ErrorCode(), 0);
  e.Reset();
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ErrorDescription(), u"");
  EXPECT_EQ(e.ErrorPos(), 0);
  EXPECT_EQ(e.ErrorSource(), 0);
  EXPECT_EQ(e.NumExpressions(), 0);
  EXPECT_EQ(e.NumVariables(), 0);
  EXPECT_EQ(e.NumUserFuncs(), 0);
  EXPECT_EQ(e.ArraysCount(), 0);
  EXPECT_EQ(e.OpcodeName(56), u"USER1");
  // the freed name can be defined again, and compiling starts at slot 1
  e.UserFunc(fn);
  EXPECT_EQ(e.ErrorCode(), 0);
  int16_t index = 0;
  std::u16string text = u"Twice(4)";
  e.Compile(text, index);
  EXPECT_EQ(index, 1);
  int32_t at = 0;
  EXPECT_EQ(e.Value(at).asDouble(), 8);
}
