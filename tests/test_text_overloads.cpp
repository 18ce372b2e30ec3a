// The members that take texts by value, as views and as UTF-8, beside the by-reference members
// of the engine and the control: literals compile, Compile returns the index, UTF-8 names meet
// their 16-bit spelling, and an lvalue still reaches the by-reference member (which writes back).
#include <gtest/gtest.h>

#include <string>

#include "control/qvCalc.h"
#include "engine/qvExpression.h"

// The by-reference members are a contract: their exact signatures still exist.
static_assert(std::is_same_v<decltype(static_cast<void (qvExpression::*)(std::u16string&, int16_t&)>(
                                 &qvExpression::Compile)),
                             void (qvExpression::*)(std::u16string&, int16_t&)>);
static_assert(std::is_same_v<decltype(static_cast<double (qvCalc::*)(int32_t&)>(&qvCalc::Value)),
                             double (qvCalc::*)(int32_t&)>);
static_assert(std::is_same_v<decltype(static_cast<void (qvCalc::*)(std::u16string&, double&)>(
                                 &qvCalc::Variable)),
                             void (qvCalc::*)(std::u16string&, double&)>);

TEST(TextOverloads, EngineTakesLiteralsViewsAndUtf8) {
  qvExpression e;
  e.Variable(u"X", 4.0);
  e.Variable("Größe", 2);
  EXPECT_EQ(e.Compile(u"X * 2"), 1);
  EXPECT_EQ(e.Compile("GRÖßE + 1 ' UTF-8, any case"), 2);
  EXPECT_EQ(e.Compile(std::u16string_view(u"X - 1"), 7), 7);
  EXPECT_EQ(e.Value(1).asDouble(), 8);
  EXPECT_EQ(e.Value(2).asDouble(), 3);
  EXPECT_EQ(e.Value(0).asDouble(), 3);  // the last one compiled
  EXPECT_EQ(e.VariableName(Variant(int32_t(2))), u"Größe");
  EXPECT_EQ(e.VariableValue("größe"), 2);
  EXPECT_EQ(e.ExpressionText(Variant(int32_t(2))), u"GRÖßE + 1");

  e.UserFunc(u"Sq(V) = V * V");
  e.UserFunc("Half(V) = V / 2");
  e.DefineArray(u"A(3)");
  e.DefineArray("Grid(2, 2)");
  ASSERT_EQ(e.ErrorCode(), 0) << std::string(e.ErrorDescription().begin(), e.ErrorDescription().end());
  auto z = e.BindVariable("Z");
  ASSERT_TRUE(z);
  z->Value = 6.0;
  EXPECT_EQ(e.Compile("Sq(Z) + Half(Z) + A(3) + Grid(2, 2)"), 8);
  EXPECT_EQ(e.Value(8).asDouble(), 39);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(TextOverloads, LvaluesStillReachTheByReferenceMembers) {
  qvExpression e;
  std::u16string text = u"1 + 1 ' written back";
  int16_t index = 0;
  e.Compile(text, index);
  EXPECT_EQ(text, u"1 + 1");
  EXPECT_EQ(index, 1);
  const std::u16string kept = u"2 ' not written back";
  EXPECT_EQ(e.Compile(kept), 2);
  EXPECT_EQ(kept, u"2 ' not written back");
  int32_t which = -1;
  EXPECT_EQ(e.Value(which).asWhole(), 2);
  EXPECT_EQ(which, 2);  // a negative index is overwritten through the reference
}

TEST(TextOverloads, ControlTakesLiteralsViewsAndUtf8) {
  qvCalc calc;
  calc.Variable(u"R", 21);
  calc.Variable("RÜ", 0.5);
  EXPECT_EQ(calc.Compile(u"R * 2"), 1);
  EXPECT_EQ(calc.Compile("rü * 4"), 2);
  EXPECT_EQ(calc.Value(1), 42);
  EXPECT_EQ(calc.Value(2), 2);
  EXPECT_EQ(calc.Variable("r"), 21);
  EXPECT_EQ(calc.Variable(u"rü"), 0.5);
  calc.DefineUserFunc("Inc(X) = X + 1");
  calc.DefineUserFunc(u"Dec(X) = X - 1");
  EXPECT_EQ(calc.UserFunc(2), u"Dec(X) = X - 1");
  EXPECT_EQ(calc.Compile("Inc(Dec(R))"), 3);
  EXPECT_EQ(calc.Value(), 21);
  EXPECT_EQ(calc.Expression(1).toText(), u"R * 2");
  EXPECT_EQ(calc.VariableName(2).toText(), u"RÜ");
  EXPECT_EQ(calc.ErrorCode(), 0);
}
