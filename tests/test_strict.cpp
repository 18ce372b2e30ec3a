// The strict profile: the mistakes that must not pass for numbers, each evaluated on every tier
// (the machine code generated at once) and over a column, which must all give the same failure;
// definitions that replace, leave nothing or go; array bounds the store cannot hold.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "control/qvCalc.h"
#include "engine/qvExpression.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Row {
  std::u16string expression;
  double x;                 // the value of X, which every row's engine holds
  int32_t code;             // what Value records
  std::u16string described;  // the description's start
};

// An engine in the strict profile with X, an array T(2) whose element 1 is NaN, and G(X) = 1 / X.
void Prepare(qvExpression& e, qvTier tier, double x) {
  e.SetStrict(true);
  e.SetHighestTier(tier);
  e.SetNativeAfter(0);
  e.Variable("X", x);
  e.DefineArray("T(2)");
  e.ArrayValue(1, Variant(kNaN), 1);
  e.UserFunc("G(X) = 1 / X");
  ASSERT_EQ(e.ErrorCode(), 0);
}

}  // namespace

TEST(Strict, NoTierAndNoColumnTurnsAMistakeIntoANumber) {
  const std::vector<Row> rows = {
      {u"X * 3", kNaN, 13, u"X is not a number"},
      {u"X + 1", kNaN, 13, u"X is not a number"},
      {u"X / 2", -kInf, 13, u"X is infinite"},
      {u"X ^ 2", kNaN, 13, u"X is not a number"},
      {u"X > 1", kNaN, 13, u"X is not a number"},  // a comparison would give 0 on a NaN
      {u"MIN(X, 1) + IIF(X, 1, 2) + SGN(X)", kInf, 13, u"X is infinite"},
      {u"X * 0", kInf, 13, u"X is infinite"},
      {u"X * 1.0E308 * 10", 1, 6, u"(1.E+308) * 10: Overflow"},
      {u"SQR(X)", -4, 5, u"SQR(-4)"},
      {u"EXP(X)", 710, 6, u"EXP(710): Overflow"},
      {u"G(X)", 0, 6, u"Div by zero in User Function 'G'"},
      {u"T(1) + X", 1, 13, u"T(1) is not a number"},
      {u"X * 3", 2, 0, u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.expression.begin(), row.expression.end()));
    for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native}) {
      qvExpression e;
      Prepare(e, tier, row.x);
      const int16_t index = e.Compile(row.expression);
      ASSERT_EQ(e.ErrorCode(), 0);
      for (int n = 0; n < 2; ++n) {  // the second evaluation runs the machine code where there is one
        e.ClearError();
        const Variant value = e.Value(int32_t(index));
        EXPECT_EQ(e.ErrorCode(), row.code);
        EXPECT_EQ(e.ErrorDescription().substr(0, row.described.size()), row.described);
        EXPECT_EQ(value.isEmpty(), row.code != 0);
        if (row.code == 0) {
          EXPECT_EQ(value.asDouble(), row.x * 3);
        }
      }
      // The same value in row 0 of a column, a plain 2 in row 1.
      e.ClearError();
      const double xs[] = {row.x, 2};
      double out[2];
      int32_t status[2];
      e.ValueColumns(index, {{u"X", xs}}, 2, out, status);
      EXPECT_EQ(status[0], row.code);
      EXPECT_EQ(std::isnan(out[0]), row.code != 0);
      if (row.expression != u"T(1) + X") {
        EXPECT_EQ(status[1], row.expression == u"X * 1.0E308 * 10" ? 6 : 0);
      }
      // The plain callable declines wherever Value fails, in its machine code too.
      const qvFormula formula = e.Formula(index);
      double plain = 0;
      if (formula.Runs() && formula.Inputs().size() == 1) {
        EXPECT_EQ(formula(&row.x, plain), row.code == 0);
      }
    }
  }
}

// A failed compilation is never run, also after its error is cleared, in either profile.
TEST(Strict, AFailedCompilationIsNeverRun) {
  for (bool strict : {false, true}) {
    qvCalc calc;
    calc.SetStrict(strict);
    EXPECT_EQ(calc.Strict(), strict);
    for (const char* text : {"5 +* 3", "7 7", "1 + (2 * "}) {
      const int32_t index = calc.Compile(std::string_view(text));
      const int16_t code = calc.ErrorCode();
      ASSERT_NE(code, 0);
      calc.ClearError();
      int32_t which = index;
      EXPECT_TRUE(calc.Result(which).isEmpty()) << text;
      EXPECT_EQ(calc.ErrorCode(), code) << text;
      calc.ClearError();
      qvExpression e;
      e.SetStrict(strict);
      EXPECT_FALSE(e.Formula(e.Compile(std::string_view(text))).Runs()) << text;
      double out = 0;
      int32_t status = 0;
      calc.ValueColumns(index, {}, 1, &out, &status);
      EXPECT_EQ(status, code) << text;
    }
  }
}

TEST(Strict, UndefinedNamesFailWithTheNearestKnownName) {
  qvCalc calc;
  calc.SetStrict(true);
  calc.Variable("Price", 120.0);
  calc.Compile(std::string_view("Pirce * 2"));
  EXPECT_EQ(calc.ErrorCode(), 3);
  EXPECT_EQ(calc.ErrorDescription(), u"Undefined variable: Pirce (did you mean Price?)");
  calc.ClearError();
  calc.DefineUserFunc(std::string_view("F(Rate) = Rte * 2"));
  EXPECT_EQ(calc.ErrorDescription(), u"Undefined variable: Rte in User Function 'F' (did you mean Rate?)");
  calc.ClearError();
  calc.DefineUserFunc(std::string_view("H(P) = Price * P"));
  EXPECT_EQ(calc.ErrorDescription(),
            u"Undefined variable: Price in User Function 'H' (a function's body sees only its parameters)");
  EXPECT_EQ(int(calc.NumUserFuncs().asWhole()), 0);  // neither failed definition left a function
}

// Under strict a definition replaces the function of its name, one that fails leaves the
// functions as they were, and UndefineUserFunc removes one; the expressions that call functions
// are compiled again each time. The compatible rules refuse the second definition of a name.
TEST(Strict, DefinitionsReplaceLeaveNothingOrGo) {
  qvCalc calc;
  calc.SetStrict(true);
  calc.DefineUserFunc(std::string_view("F(X) = X + 1"));
  calc.DefineUserFunc(std::string_view("Half(X) = X / 2"));
  const int32_t calls = calc.Compile(std::string_view("F(2) + Half(4)"));
  EXPECT_EQ(calc.Value(int32_t(calls)), 5);
  calc.DefineUserFunc(std::string_view("F(X) = X * 10"));
  EXPECT_EQ(calc.ErrorCode(), 0);
  EXPECT_EQ(calc.Value(int32_t(calls)), 22);
  calc.DefineUserFunc(std::string_view("F(X) = X +"));
  EXPECT_EQ(calc.ErrorCode(), 1);
  EXPECT_EQ(calc.ErrorSource(), -1);
  calc.ClearError();
  EXPECT_EQ(calc.UserFunc(Variant(1)), u"F(X) = X * 10");
  EXPECT_EQ(calc.Value(int32_t(calls)), 22);
  EXPECT_TRUE(calc.UndefineUserFunc(u"f"));
  EXPECT_FALSE(calc.UndefineUserFunc(u"F"));
  EXPECT_EQ(calc.UserFunc(Variant(1)), u"Half(X) = X / 2");
  calc.Value(int32_t(calls));
  EXPECT_EQ(calc.ErrorCode(), 2);
  EXPECT_EQ(calc.ErrorDescription(), u"Unknown function: F");
  calc.ClearError();
  EXPECT_EQ(calc.Value(calc.Compile(std::string_view("Half(9)"))), 4.5);

  qvCalc compatible;
  compatible.DefineUserFunc(std::string_view("F(X) = X + 1"));
  compatible.DefineUserFunc(std::string_view("F(X) = X * 10"));
  EXPECT_EQ(compatible.ErrorCode(), 10);
  compatible.ClearError();
  EXPECT_TRUE(compatible.UndefineUserFunc(u"F"));
  EXPECT_EQ(int(compatible.NumUserFuncs().asWhole()), 0);
}

TEST(Strict, ArrayBoundsTheStoreCannotHoldAreRefused) {
  const std::vector<std::pair<std::string, std::u16string>> refused = {
      {"P(32768)", u"an upper bound is a whole number from 0 to 32767, not '32768'"},
      {"N(-1)", u"an upper bound is a whole number from 0 to 32767, not '-1'"},
      {"Q(2.5)", u"an upper bound is a whole number from 0 to 32767, not '2.5'"},
      {"W(12345678901234)", u"an upper bound is a whole number from 0 to 32767, not '12345678901234'"},
      {"S(3", u"S: ')' expected after the bounds of the array"},
      {"(3)", u"an array needs a name before its bounds"},
  };
  for (const auto& [text, description] : refused) {
    qvExpression e;
    e.SetStrict(true);
    e.DefineArray(std::string_view(text));
    EXPECT_EQ(e.ErrorCode(), 12) << text;
    EXPECT_EQ(e.ErrorDescription(), description) << text;
    EXPECT_EQ(e.ArraysCount(), 0) << text;
    qvExpression compatible;  // reads them as it always has
    compatible.DefineArray(std::string_view(text));
    EXPECT_EQ(compatible.ErrorCode(), 0) << text;
  }
  qvExpression e;
  e.SetStrict(true);
  e.DefineArray(std::string_view("Grid( 3 , 32767 )"));
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ArraysCount(), 1);
}
