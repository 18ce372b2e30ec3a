// The variable store: case-insensitive names, positions, numeric names, shared records, resets.
#include <gtest/gtest.h>

#include "engine/qvExpression.h"
#include "tests/TestAccess.h"

struct A {
  static std::shared_ptr<qvVariable> Find(qvExpression& e, const char16_t* name, bool create) {
    return qvExpressionTestAccess::Inside(e).Variables().xVariable(Variant(name), create);
  }
};

TEST(Variables, SetAndReadWithoutRegardToCaseKeepingPositionAndFirstSpelling) {
  qvExpression e;
  double v = 0.5;
  e.Variable(Variant(u"Rate"), v);
  EXPECT_EQ(e.VariableValue(Variant(u"RATE")), 0.5);
  v = 1;
  e.Variable(Variant(u"b"), v);
  v = 7;
  e.Variable(Variant(u"rATE"), v);
  EXPECT_EQ(e.NumVariables(), 2);
  EXPECT_EQ(e.VariablesCount(), 2);
  EXPECT_EQ(e.VariableName(Variant(int32_t(1))), u"Rate");
  EXPECT_EQ(e.VariableName(Variant(int32_t(2))), u"b");
  EXPECT_EQ(e.VariableValue(Variant(u"rate")), 7);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(Variables, NumericNamesNeverReachTheStore) {
  qvExpression e;
  EXPECT_EQ(e.VariableValue(Variant(u"2.5")), 2.5);
  EXPECT_EQ(e.VariableValue(Variant(u" -1.5E2 ")), -150);
  double v = 3;
  e.Variable(Variant(u"7"), v);
  EXPECT_EQ(v, 7);  // the caller's value is overwritten
  e.Variable(Variant(int32_t(42)), v);  // a number as name: its text form is numeric
  EXPECT_EQ(v, 42);
  EXPECT_EQ(A::Find(e, u"3", true), nullptr);
  EXPECT_EQ(e.BindVariable(u"1e3"), nullptr);
  EXPECT_EQ(e.NumVariables(), 0);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(Variables, ValueOfMissingNameReportsAndCreatesNothing) {
  qvExpression e;
  EXPECT_EQ(e.VariableValue(Variant(u"Nope")), 0);
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_EQ(e.ErrorDescription(),
            u"Error 5 has occured in qvCalcE, VariableValue\r\nInvalid procedure call or argument");
  EXPECT_EQ(e.NumVariables(), 0);
  // A value that is text not reading as a number (a bound parameter) is a type mismatch.
  e.ClearError();
  e.BindVariable(u"T")->Value = Variant(u"abc");
  e.BindVariable(u"U")->Value = Variant(u"2.5");
  EXPECT_EQ(e.VariableValue(Variant(u"T")), 0);
  EXPECT_EQ(e.ErrorDescription(), u"Error 13 has occured in qvCalcE, VariableValue\r\nType mismatch");
  EXPECT_EQ(e.VariableValue(Variant(u"U")), 2.5);
}

TEST(Variables, NameByPositionIsEmptyOutsideTheStore) {
  qvExpression e;
  double v = 1;
  e.Variable(Variant(u"a"), v);
  e.Variable(Variant(u"b"), v);
  for (double index : {0.0, -1.0, 3.0, 0.4, 2.5})
    EXPECT_EQ(e.VariableName(Variant(index)), u"") << index;
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.VariableName(Variant(1.5)), u"b");  // halves to even
  EXPECT_EQ(e.VariableName(Variant(u"2")), u"b");
  EXPECT_EQ(e.VariableName(Variant(u"x")), u"");
  EXPECT_EQ(e.ErrorDescription(), u"Error 13 has occured in qvCalcE, VariableName\r\nType mismatch");
}

TEST(Variables, CompilerLookupCreatesIntegerZeroOnlyWhenAsked) {
  qvExpression e;
  EXPECT_EQ(A::Find(e, u"Q", false), nullptr);
  EXPECT_EQ(e.NumVariables(), 0);
  auto q = A::Find(e, u"Q", true);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->Value.kind(), Variant::Kind::Int16);
  EXPECT_EQ(e.NumVariables(), 1);
  EXPECT_EQ(A::Find(e, u"q", false), q);
  EXPECT_EQ(e.VariableValue(Variant(u"Q")), 0);
}

TEST(Variables, BoundRecordIsSharedUntilReset) {
  qvExpression e;
  auto x = e.BindVariable(u"X");
  x->Value = Variant(5.0);
  EXPECT_EQ(e.VariableValue(Variant(u"x")), 5);
  double v = 9;
  e.Variable(Variant(u"x"), v);
  EXPECT_EQ(x->Value.asDouble(), 9);  // the same record
  EXPECT_EQ(e.BindVariable(u"x"), x);
  std::u16string grid = u"Grid(2)";
  e.DefineArray(grid);
  e.ResetVariables();
  EXPECT_EQ(e.NumVariables(), 0);
  EXPECT_EQ(e.ArraysCount(), 0);
  EXPECT_EQ(e.ArrayName(Variant(int32_t(1))), u"");
  e.Variable(Variant(u"X"), v);
  EXPECT_NE(e.BindVariable(u"X"), x);  // a new record; the old one lives on with its holder
  EXPECT_EQ(x->Value.asDouble(), 9);
}

TEST(Variables, CountAbove32767OverflowsIn16Bits) {
  qvExpression e;
  for (int i = 0; i < 32767; ++i) e.BindVariable(u"V" + qv::WholeToText(i));
  EXPECT_EQ(e.VariablesCount(), 32767);
  e.BindVariable(u"Last");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.VariablesCount(), 0);
  EXPECT_EQ(e.NumVariables(), 32768);
  EXPECT_EQ(e.ErrorDescription(), u"Error 6 has occured in qvCalcE, VariablesCount\r\nOverflow");
}
