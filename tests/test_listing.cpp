// The postfix listing of the current expression.
#include <gtest/gtest.h>

#include "engine/qvExpression.h"

namespace {
std::u16string Listing(qvExpression& e, std::u16string text) {
  int16_t index = 0;
  e.Compile(text, index);
  return e.RPNExpression();
}
}  // namespace

TEST(Listing, OneItemPerInstructionEachAfterOneBlank) {
  qvExpression e;
  EXPECT_EQ(Listing(e, u"1+2*3"), u" 1 2 3 * +");
  EXPECT_EQ(Listing(e, u"-X"), u" X -");
  EXPECT_EQ(Listing(e, u"PI"), u" PI");
  EXPECT_EQ(Listing(e, u"0.5*2"), u" 0.5 2 *");
  EXPECT_EQ(Listing(e, u"1.0E20"), u" 1E+20");
  EXPECT_EQ(Listing(e, u"1.5E-7 + 123456789012345678.0"), u" 1.5E-07 1.23456789012346E+17 +");
  EXPECT_EQ(Listing(e, u"LEFT(\"ab\", 1) & MID(\"x\", 1, 1)"), u" \"ab\" 1 LEFT \"x\" 1 1 MID &");
}

TEST(Listing, StringsAreQuotedByWhatTheyHold) {
  qvExpression e;
  EXPECT_EQ(Listing(e, u"\"plain\""), u" \"plain\"");
  EXPECT_EQ(Listing(e, u"\"say \"\"hi\"\"\""), u" 'say \"hi\"'");
  EXPECT_EQ(Listing(e, u"\"\""), u" \"\"");
}

TEST(Listing, VariablesAppearUnderTheirFirstSpelling) {
  qvExpression e;
  Listing(e, u"speed * 2");
  EXPECT_EQ(Listing(e, u"SPEED + 1"), u" speed 1 +");
}

TEST(Listing, UserFunctionsAppearUnderTheirCurrentNames) {
  qvExpression e;
  std::u16string def = u"Area(W, H) = W * H";
  e.UserFunc(def);
  EXPECT_EQ(Listing(e, u"area(2, 3)"), u" 2 3 Area");
  e.ResetUserFuncs();
  EXPECT_EQ(e.RPNExpression(), u" 2 3 USER1");
}

TEST(Listing, EmptyOnAFreshEngineAndWhileAnErrorIsRecorded) {
  qvExpression e;
  EXPECT_EQ(e.RPNExpression(), u"");
  EXPECT_EQ(e.ErrorSource(), 0);
  EXPECT_EQ(Listing(e, u"1 + 2 3"), u"");
  e.ClearError();
  // after ClearError the instructions left by the failed compilation show
  EXPECT_EQ(e.RPNExpression(), u" 1 2");
  EXPECT_EQ(e.ErrorSource(), 1);
}

TEST(Listing, AnArrayAccessFailsToTheCaller) {
  qvExpression e;
  std::u16string def = u"A(3)";
  e.DefineArray(def);
  std::u16string text = u"A(1) + 1";
  int16_t index = 0;
  e.Compile(text, index);
  ASSERT_EQ(e.ErrorCode(), 0);
  EXPECT_THROW(e.RPNExpression(), qvRuntimeError);
}
