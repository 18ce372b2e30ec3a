// The fast tiers against the general evaluation loop: wherever a fast tier gives a result it must
// be the general loop's to the bit and of the same kind, with no failure recorded by the general
// loop; everywhere else it must decline and leave the decision to the general loop. Every tier the
// build has is compared, through the engine's highest-tier setting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/qvExpression.h"
#include "tests/TestAccess.h"
#include "engine/CompiledExpression.h"
#include "engine/eval/DoubleProgramRun.h"
#include "engine/eval/DoubleSemantics.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {
using K = Variant::Kind;

bool Same(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  if (a.isDouble()) {
    const double x = a.asDouble(), y = b.asDouble();
    return std::memcmp(&x, &y, sizeof x) == 0;
  }
  return a.asWhole() == b.asWhole() && a.asText() == b.asText();
}

// An engine with the variables X, Y and Z bound, and one expression compiled under index 1.
struct Bound {
  qvExpression e;
  std::shared_ptr<qvVariable> x = e.BindVariable(u"X"), y = e.BindVariable(u"Y"), z = e.BindVariable(u"Z");

  explicit Bound(std::u16string text) {
    e.SetNativeAfter(0);
    int16_t index = 1;
    e.Compile(text, index);
    EXPECT_EQ(e.ErrorCode(), 0) << std::string(text.begin(), text.end());
  }
  const DoubleProgram* Program() const {
    const CompiledExpression* record = e.Expression(1);
    return record && record->Compiled && record->Compiled->Fast ? &*record->Compiled->Fast : nullptr;
  }
  // The fast tiers alone, up to the given one: true with their result, false when they decline.
  bool Fast(Variant& out, qvTier highest) { return qvExpressionTestAccess::Fast(e, 1, highest, out); }
  void Set(Variant vx, Variant vy, Variant vz) {
    x->Value = vx;
    y->Value = vy;
    z->Value = vz;
  }
  // Runs each fast tier; where one gives a result, the general loop must give the same and record
  // nothing, and every tier must take or decline the same rows. Value at each tier setting must
  // agree with the general loop in value, kind and recorded failure. Returns whether the fast
  // tiers gave a result.
  bool Agrees(const char* what) {
    e.ClearError();
    e.SetHighestTier(qvTier::General);
    int32_t index = 1;
    const Variant general = e.Value(index);
    const int32_t code = e.ErrorCode();
    const std::u16string description = e.ErrorDescription();
    bool ran = false;
    for (qvTier tier : {qvTier::AllDouble, qvTier::Native}) {
      Variant fast;
      const bool took = Fast(fast, tier);
      if (tier == qvTier::AllDouble) ran = took;
      EXPECT_EQ(took, ran) << what << ": the tiers decline alike";
      if (took) {
        EXPECT_TRUE(Same(fast, general)) << what << ": " << fast.asDouble() << " vs " << general.asDouble();
        EXPECT_EQ(code, 0) << what;
      }
      e.ClearError();
      e.SetHighestTier(tier);
      EXPECT_TRUE(Same(e.Value(index), general)) << what;
      EXPECT_EQ(e.ErrorCode(), code) << what;
      EXPECT_EQ(e.ErrorDescription(), description) << what;
    }
    e.ClearError();
    return ran;
  }
};

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// At least 113 bits: a reference for powers of doubles.
#if defined(__x86_64__)
__extension__ typedef __float128 Wide;
#else
using Wide = long double;
#endif

}  // namespace

// Every operator and function the program covers, at values inside and outside their domains,
// zero and minus zero, halves, whole numbers, the factorial and power limits and the double range.
TEST(FastPath, AgreesWithTheGeneralLoopToTheBit) {
  const std::vector<std::u16string> texts = {
      u"X + Y * Z", u"(X - Y) / (Z + 1)", u"X / Y", u"X ^ 2 + Y ^ 3", u"X ^ Y", u"(X - 2) ^ Z",
      u"-X ^ 2", u"-X", u"X - X", u"X * 1.0E300 * Y", u"SIN(X) * COS(Y) + TAN(Z)", u"ATN(X) + EXP(Y)",
      u"SQR(X)", u"LN(X) + LOG(Y)", u"ASIN(X) + ACOS(Y)", u"ACOS(X)", u"SINH(X) + COSH(Y) + TANH(Z)",
      u"ASINH(X) + ACOSH(Y) + ATANH(Z)", u"ABS(X) + INT(Y) + FIX(Z)", u"SGN(X)", u"SGN(X) * Y",
      u"FACT(X) / 2", u"FACT(Y)", u"MIN(X, Y) + MAX(Y, Z)", u"MIN(X, Y)", u"MAX(X, 2) * 1.5",
      u"IIF(X, Y, Z)", u"IIF(X - Y, 1, 2)", u"X > Y", u"X >= Y", u"X < Y", u"X <= Y", u"X = Y",
      u"X <> Y", u"(X > 0.5) * Y + (X <= 0.5) * Z", u"X AND Y", u"X OR Y", u"X XOR Z", u"NOT X",
      u"NOT X = Y", u"PI * X + DEG * Y", u"2 * PI", u"Z", u"3", u"2.5", u"EXP(-X*X/2) / SQR(2*PI)"};
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, -2.5, 3.0, 100.0, 101.0, 169.4, 170.0,
                                      1e308, -1e-300, 0.1, nan, inf, -inf};
  int runs = 0, total = 0;
  for (const auto& text : texts) {
    Bound engine(text);
    ASSERT_NE(engine.Program(), nullptr) << Narrow(text);
    for (double vx : values)
      for (double vy : values)
        for (double vz : {0.0, -2.0, 0.5, 3.0, 1e308}) {
          engine.Set(vx, vy, vz);
          runs += engine.Agrees(Narrow(text).c_str());
          ++total;
        }
  }
  // The program must carry the common case, not decline everything.
  EXPECT_GT(runs, total / 2);
}

// Result kinds are those of the general loop: comparisons give the 16-bit 0 or 1, a literal
// without a point is a 32-bit whole number, anything mixed with a double is a double.
TEST(FastPath, GivesTheGeneralLoopsKinds) {
  struct Case {
    const char16_t* text;
    K kind;
  };
  for (const Case& c : {Case{u"X > 0.5", K::Int16}, Case{u"2", K::Int32}, Case{u"X * 2", K::Double},
                        Case{u"NOT X", K::Int16}, Case{u"SGN(X)", K::Int16}, Case{u"MIN(X > 1, Y > 1)", K::Int16},
                        Case{u"IIF(X, 1, 2)", K::Int32}, Case{u"2 / 1", K::Double}}) {
    Bound engine(c.text);
    engine.Set(0.75, 2.0, 0.0);
    Variant fast;
    ASSERT_NE(engine.Program(), nullptr) << Narrow(c.text);
    ASSERT_TRUE(engine.Fast(fast, qvTier::Native)) << Narrow(c.text);
    EXPECT_EQ(fast.kind(), c.kind) << Narrow(c.text);
    engine.Agrees(Narrow(c.text).c_str());
  }
  // ACOS(1) is the whole number 0 in the general loop: the program declines there.
  Bound acos(u"ACOS(X)");
  acos.Set(1.0, 0.0, 0.0);
  EXPECT_FALSE(acos.Agrees("ACOS(1)"));
  int32_t index = 1;
  EXPECT_EQ(acos.e.Value(index).kind(), K::Int16);
}

// Where the general loop records a failure or keeps an argument, the program declines, and Value
// gives exactly the general loop's result and error state.
TEST(FastPath, DeclinesWhereTheGeneralLoopFailsASubStep) {
  struct Case {
    const char16_t* text;
    double x;
    int32_t code;
    const char16_t* description;
  };
  for (const Case& c : {Case{u"1 / X", 0.0, 6, u"Div by zero"}, Case{u"1 / X", -0.0, 6, u"Div by zero"},
                        Case{u"LN(X)", -1.0, 6, u"LN(-1)"}, Case{u"SQR(X)", -4.0, 0, u""},
                        Case{u"X * 10", 1.5e308, 0, u""}, Case{u"X ^ (1/3)", -8.0, 6, u"(-8) ^ "},
                        Case{u"FACT(X)", 170.0, 6, u"FACT(170)"}, Case{u"EXP(X)", 710.0, 0, u""},
                        Case{u"ATANH(X)", 1.0, 6, u"ATANH(1)"}}) {
    Bound engine(c.text);
    engine.Set(c.x, 0.0, 0.0);
    Variant fast;
    ASSERT_NE(engine.Program(), nullptr) << Narrow(c.text);
    EXPECT_FALSE(engine.Fast(fast, qvTier::Native)) << Narrow(c.text);
    const Variant general = qvExpressionTestAccess::General(engine.e, 1);
    const std::u16string description = engine.e.ErrorDescription();
    engine.e.ClearError();
    int32_t index = 1;
    const Variant value = engine.e.Value(index);
    EXPECT_TRUE(Same(value, general)) << Narrow(c.text);
    EXPECT_EQ(engine.e.ErrorCode(), c.code) << Narrow(c.text);
    EXPECT_EQ(engine.e.ErrorDescription(), description) << Narrow(c.text);
    if (c.code != 0) {
      EXPECT_EQ(description.substr(0, std::u16string(c.description).size()), c.description);
    }
  }
}

// A variable that does not hold a double sends the evaluation to the general loop, whose rules
// for empty, whole numbers and texts then apply; NaN and infinities reach the program, which
// declines as soon as a result is not finite.
TEST(FastPath, VariablesThatAreNotDoublesGoToTheGeneralLoop) {
  Bound engine(u"X + Y");
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (const Variant& v : {Variant(), Variant(int16_t(2)), Variant(int32_t(70000)), Variant(u"3"),
                           Variant(u"abc"), Variant(nan), Variant(inf)}) {
    engine.Set(v, 1.0, 0.0);
    EXPECT_FALSE(engine.Agrees("X not a double, or the sum not finite"));
    int32_t index = 1;
    const Variant value = engine.e.Value(index);
    EXPECT_TRUE(Same(value, qvExpressionTestAccess::General(engine.e, 1)));
  }
  // NaN compares as equal to everything in the general loop, and so in the program; an
  // infinite divisor gives 0 in both.
  for (const char16_t* text : {u"X = Y", u"X >= Y", u"X <= Y", u"NOT X <> Y"}) {
    Bound compare(text);
    compare.Set(nan, 5.0, 0.0);
    EXPECT_TRUE(compare.Agrees(Narrow(text).c_str()));
    int32_t index = 1;
    EXPECT_EQ(compare.e.Value(index).asWhole(), 1) << Narrow(text);
  }
  Bound divide(u"Y / X");
  divide.Set(inf, 5.0, 0.0);
  EXPECT_TRUE(divide.Agrees("5 / inf"));
}

// The program covers pure numeric code only: texts, "&", MOD, "\", RND, NCR, user functions,
// arrays and whole-number arithmetic stay with the general loop.
TEST(FastPath, IsDerivedForPureNumericCodeOnly) {
  for (const char16_t* text : {u"a+b*c", u"(a+b)*(a-b)/(c+1)", u"x^2 + y^2", u"SIN(x)*COS(y) + 1", u"SQR(x*x + y*y)",
                               u"a*x^3 + b*x^2 + c*x + 1", u"EXP(-x*x/2) / SQR(2*PI)", u"MIN(a,b) + MAX(b,c)",
                               u"(x > 0.5) * a + (x <= 0.5) * b", u"((a+b)*(c-x)+(y*a-b)/(c+2))*((x-y)/(a+1)+b*c)"})
    EXPECT_NE(Bound(text).Program(), nullptr) << Narrow(text);
  for (const char16_t* text : {u"\"a\" & X", u"LEN(\"abc\") * X", u"X MOD 2", u"X \\ 2", u"RND(X)", u"NCR(X, 2)",
                               u"USER1 + X", u"2 + 3", u"(X > 1) + (Y > 1)", u"-(X > 1)", u"ABS(2) * X",
                               u"MIN(X, 2)", u"ARRAY(1, 2, 3) + X"})
    EXPECT_EQ(Bound(text).Program(), nullptr) << Narrow(text);
  Bound array(u"0");
  std::u16string definition = u"T(3)";
  array.e.DefineArray(definition);
  std::u16string text = u"T(1) * X";
  int16_t index = 1;
  array.e.Compile(text, index);
  EXPECT_EQ(array.Program(), nullptr);
}

// A recompilation replaces the program with the new code's, and a failed one leaves none: the
// instructions kept after a failure run in the general loop once the error is cleared.
TEST(FastPath, FollowsRecompilation) {
  Bound engine(u"X + 1");
  ASSERT_NE(engine.Program(), nullptr);
  std::u16string broken = u"X * 2 +";
  int16_t index = 1;
  engine.e.Compile(broken, index);
  EXPECT_NE(engine.e.ErrorCode(), 0);
  EXPECT_EQ(engine.Program(), nullptr);
  engine.e.ClearError();
  engine.Set(4.0, 0.0, 0.0);
  int32_t at = 1;
  // The code kept from the failed pass (X 2 *) never runs: the compilation's failure comes back.
  EXPECT_TRUE(engine.e.Value(at).isEmpty());
  EXPECT_EQ(engine.e.ErrorCode(), 1);
  engine.e.ClearError();
  std::u16string fixed = u"X * 3";
  engine.e.Compile(fixed, index);
  ASSERT_NE(engine.Program(), nullptr);
  EXPECT_EQ(engine.e.Value(at).asDouble(), 12.0);
}

// Code that would take the general loop's stack beyond 40 slots (where a push keeps nothing)
// gets no program.
TEST(FastPath, NoProgramBeyondFortySlots) {
  for (int loads : {40, 41}) {
    CompiledExpression code;
    code.Text = u"hand-built";
    code.Opcodes.push_back(OpNone);
    code.Operands.emplace_back();
    for (int i = 0; i < loads; ++i) {
      code.Opcodes.push_back(OpLoad);
      code.Operands.push_back(Operand{Variant(1.5), nullptr});
    }
    for (int i = 1; i < loads; ++i) {
      code.Opcodes.push_back(OpAdd);
      code.Operands.emplace_back();
    }
    code.Count = int32_t(code.Opcodes.size()) - 1;
    const auto program = DeriveDoubleProgram(*BuildProgram(code, false));
    EXPECT_EQ(program.has_value(), loads == 40) << loads;
  }
}

// Whole powers are multiplied out alike on every tier, over columns (pairs of rows included) and
// through the plain callable, for bases inside and outside the range where they are (NaN and
// the infinities included), and inside it they are correctly rounded wherever pow is (against x^n
// in 113 bits). A square is the product x * x for every base.
TEST(FastPath, WholePowersAreMultipliedOutAlikeOnEveryTier) {
  std::mt19937_64 random(9);
  const double corners[] = {0x1p-200, -0x1p-200, 0x1p200, 0x1.0000000000001p200, 0x1.fffffffffffffp-201,
                            0.0, -0.0, 1e300, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(), 5e-324};
  std::vector<double> bases;
  for (double c : corners) bases.push_back(c);
  while (bases.size() < 4001)
    bases.push_back(std::ldexp(double(random() >> 11) * 0x1p-53, int(random() % 640) - 320) * (random() % 2 ? 1 : -1));
  for (const char16_t* text : {u"X ^ 2", u"X ^ 3", u"X ^ 4", u"X ^ -1", u"X ^ -2", u"X ^ -3", u"X ^ -4.0"}) {
    SCOPED_TRACE(Narrow(text));
    Bound power(text);
    const int n = int(power.Program()->Constants.back().asDouble());
    const qvFormula formula = power.e.Formula(1);
    std::vector<double> column(bases.size(), 0), out(bases.size(), 0);
    std::vector<int32_t> status(bases.size(), 0);
    std::copy(bases.begin(), bases.end(), column.begin());
    power.e.SetHighestTier(qvTier::Native);
    power.e.ValueColumns(1, {qvColumn{u"X", column.data()}}, bases.size(), out.data(), status.data());
    for (size_t i = 0; i < bases.size(); ++i) {
      const double x = bases[i];
      power.Set(x, 0.0, 0.0);
      power.Agrees(Narrow(text).c_str());
      power.e.SetHighestTier(qvTier::General);
      int32_t index = 1;
      const Variant general = power.e.Value(index);
      power.e.ClearError();
      double expected = 0, called = 0;
      const bool computes = PowerValue(x, n, expected) == Step::Ok;
      if (computes) { ASSERT_TRUE(Same(general, Variant(expected))) << x; }
      if (status[i] == 0) { EXPECT_TRUE(Same(Variant(out[i]), Variant(general.asDouble()))) << x; }
      if (formula(&x, called)) { EXPECT_TRUE(computes && Same(Variant(called), general)) << x; }
      if (n == 2 && computes) { EXPECT_TRUE(Same(general, Variant(x * x))) << x; }
      if (!InWholePowerRange(x)) continue;
      Wide exact = 1;
      for (int k = 0; k < std::abs(n); ++k) exact *= x;
      const double reference = double(n < 0 ? 1 / exact : exact);
      if (std::pow(x, n) == reference) { EXPECT_EQ(expected, reference) << x; }
    }
  }
}

// The expression as a plain function of doubles gives what Value gives wherever it answers, and
// answers wherever the fast tiers take the row; it outlives the engine's recompilation.
TEST(FastPath, AFormulaIsTheFastTiersOverTheCallersValues) {
  Bound engine(u"(X - Y) / Z + X ^ 2");
  const qvFormula formula = engine.e.Formula(1);
  ASSERT_TRUE(formula.Runs());
  ASSERT_EQ(formula.Inputs(), (std::vector<std::u16string>{u"X", u"Y", u"Z"}));
  for (double z : {2.0, 0.0, -0.5}) {
    const double values[] = {1.5, 4.0, z};
    engine.Set(values[0], values[1], values[2]);
    double out = 0;
    Variant fast;
    EXPECT_EQ(formula(values, out), engine.Fast(fast, qvTier::Native));
    if (z != 0) {
      EXPECT_EQ(out, fast.asDouble());
    }
  }
  std::u16string other = u"\"text\" & X";
  int16_t index = 1;
  engine.e.Compile(other, index);
  const double values[] = {3.0, 4.0, 2.0};
  double out = 0;
  EXPECT_TRUE(formula(values, out));  // the program it was made from
  EXPECT_EQ(out, 8.5);
  EXPECT_FALSE(engine.e.Formula(1).Runs());
  EXPECT_FALSE(engine.e.Formula(7).Runs());
}

// The callable keeps the machine code's entry once the code exists: copies and moves taken before
// and after that, on either side of the count that makes the code, all give the all-double
// program's bits, helper calls (whose scratch the entry keeps on its own stack) and declines
// included.
TEST(FastPath, AFormulaKeepsTheMachineCodesEntryThroughCopies) {
  Bound engine(u"SIN(X) * Y ^ 5 + EXP(Z) / (X - 1) + X ^ 3");
  engine.e.SetNativeAfter(50);
  std::u16string text = u"SIN(X) * Y ^ 5 + EXP(Z) / (X - 1) + X ^ 3";
  int16_t index = 1;
  engine.e.Compile(text, index);  // counted afresh, up to 50
  const DoubleProgram& program = *engine.Program();
  qvFormula first = engine.e.Formula(1), copied = first, moved;
  std::mt19937_64 random(22);
  for (int call = 0; call < 200; ++call) {
    if (call == 100) moved = std::move(copied), copied = first;
    if (call == 150) copied = qvFormula(moved), first = std::move(moved);
    const double values[] = {call % 10 == 0 ? 1.0 : std::ldexp(double(random() >> 11), -53) * 4 - 2,
                             call % 7 == 0 ? 1e300 : 0.5 + call / 100.0, call / 50.0 - 2};
    double frame[DoubleProgram::kMaxRegisters], expected = -7.25;
    std::copy(values, values + 3, frame);
    program.LoadConstants(frame);
    const bool ran = RunDoubleProgram(program, frame, expected);
    for (const qvFormula* f : {&first, &copied}) {
      double out = -7.25;
      ASSERT_EQ((*f)(values, out), ran) << call;
      const double want = ran ? expected : -7.25;
      ASSERT_EQ(std::memcmp(&out, &want, sizeof out), 0) << call << ": " << out << " vs " << want;
    }
  }
}
