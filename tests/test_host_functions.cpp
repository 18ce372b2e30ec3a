// Functions and constants a host adds to the language: every tier, every entry (Value, columns,
// qvFormula) gives the same bits; failures name the function; names are checked; code compiled
// before a removal or replacement keeps what it was compiled against.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/eval/Program.h"
#include "engine/qvExpression.h"

namespace {

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// An engine with the test's host functions: a fixed arity, any number, none, and a failing one.
void DefineHostFunctions(qvExpression& e) {
  e.DefineFunction("Cube", 1, [](std::span<const double> a) { return a[0] * a[0] * a[0]; });
  e.DefineFunction("lerp", 3, [](std::span<const double> a) { return a[0] + (a[1] - a[0]) * a[2]; });
  e.DefineFunction("SUMALL", -1, [](std::span<const double> a) {
    double s = 0;
    for (double x : a) s += x * 1.5;
    return s;
  });
  e.DefineFunction("Seven", 0, [](std::span<const double>) { return 7.0; });
  e.DefineFunction("Picky", 1, [](std::span<const double> a) {
    if (a[0] < 0) throw std::domain_error("needs x >= 0");
    return std::sqrt(a[0]);
  });
  e.DefineConstant("Golden", 1.618033988749895);
}

double Bits(double x) { return x; }

// Whether the expression's machine code has been made: where the build has the native tier, the
// tests at that cap must reach it.
bool ReachesMachineCode(qvExpression& e, int16_t index) {
  const CompiledExpression* record = e.Expression(index);
  return record && record->Compiled && record->Compiled->Native.Made();
}

#ifdef QV_HAVE_NATIVE
constexpr bool kNative = true;
#else
constexpr bool kNative = false;
#endif

// Every expression on every tier cap, through Value, over columns on four threads and through
// qvFormula where it runs, against the same computation written in C++. At the native cap the
// machine code runs every entry (Value, the row loop, qvFormula).
TEST(HostFunctions, EveryTierAndEntryGivesTheSameBits) {
  struct Case {
    std::u16string text;
    double (*expected)(double x, double y);
  };
  const Case cases[] = {
      {u"cube(x) + y", [](double x, double y) { return x * x * x + y; }},
      {u"LERP(x, y, 0.25) * 2", [](double x, double y) { return (x + (y - x) * 0.25) * 2; }},
      {u"sumall(x, y, x * y) - sumall(y)", [](double x, double y) { return (x * 1.5 + y * 1.5 + x * y * 1.5) - y * 1.5; }},
      {u"seven + seven() * golden", [](double, double) { return 7 + 7 * 1.618033988749895; }},
      {u"MAX(cube(sin(x)), picky(ABS(y)))", [](double x, double y) {
         const double c = std::sin(x) * std::sin(x) * std::sin(x), p = std::sqrt(std::abs(y));
         return c > p ? c : p;
       }},
      {u"iif(x > y, sumall(x, 1, 2, 3, 4, 5, 6), cube(lerp(x, y, x)))", [](double x, double y) {
         const double l = x + (y - x) * x;
         double s = 0;
         for (double a : {x, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0}) s += a * 1.5;
         return x > y ? s : l * l * l;
       }},
  };
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> pick(-3, 3);
  std::vector<double> xs(64), ys(64);
  for (size_t r = 0; r < xs.size(); ++r) xs[r] = pick(rng), ys[r] = pick(rng);
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native}) {
      qvExpression e;
      DefineHostFunctions(e);
      e.SetHighestTier(tier);
      e.SetNativeAfter(0);
      std::u16string x = u"x", y = u"y", text = c.text;
      double zero = 0;
      e.Variable(Variant(x), zero);
      e.Variable(Variant(y), zero);
      int16_t index = 0;
      e.Compile(text, index);
      ASSERT_EQ(e.ErrorCode(), 0) << Narrow(e.ErrorDescription());
      if (tier == qvTier::Native) {
        EXPECT_EQ(ReachesMachineCode(e, index), kNative);
      }
      std::vector<double> out(xs.size());
      std::vector<int32_t> status(xs.size());
      const size_t good = e.ValueColumns(index, {{u"x", xs.data()}, {u"y", ys.data()}}, xs.size(), out.data(),
                                         status.data(), 4);
      EXPECT_EQ(good, xs.size());
      qvFormula formula = e.Formula(index);
      for (size_t r = 0; r < xs.size(); ++r) {
        const double want = c.expected(xs[r], ys[r]);
        e.Variable(Variant(x), xs[r]);
        e.Variable(Variant(y), ys[r]);
        int32_t i = index;
        const Variant v = e.Value(i);
        ASSERT_EQ(e.ErrorCode(), 0) << Narrow(e.ErrorDescription());
        EXPECT_EQ(Bits(v.asDouble()), Bits(want)) << "row " << r;
        EXPECT_EQ(Bits(out[r]), Bits(want)) << "column row " << r;
        double fromFormula = 0;
        std::vector<double> inputs;
        for (const std::u16string& name : formula.Inputs()) inputs.push_back(name == u"x" ? xs[r] : ys[r]);
        if (formula(inputs.data(), fromFormula)) {
          EXPECT_EQ(Bits(fromFormula), Bits(want)) << "formula row " << r;
        }
      }
    }
  }
}

// A throwing function or one whose result is not finite is a run-time failure naming the
// function with the host's message; under the evaluation trap the evaluation carries on.
TEST(HostFunctions, FailuresNameTheFunctionAndFollowTheTrap) {
  qvExpression e;
  DefineHostFunctions(e);
  e.DefineFunction("Blowup", 1, [](std::span<const double> a) { return a[0] / 0.0; });
  e.SetEvaluationTrap(false);
  e.SetNativeAfter(0);
  for (const auto& [text, said] : {std::pair{std::u16string(u"1 + picky(-4)"), std::string("Picky(-4): needs x >= 0")},
                                   std::pair{std::u16string(u"blowup(2) * 3"), std::string("Blowup(2): ")}}) {
    std::u16string t = text;
    int16_t index = 0;
    e.Compile(t, index);
    ASSERT_EQ(e.ErrorCode(), 0);
    EXPECT_EQ(ReachesMachineCode(e, index), kNative);
    for (qvTier tier : {qvTier::General, qvTier::Native}) {
      e.SetHighestTier(tier);
      int32_t i = index;
      const Variant v = e.Value(i);
      EXPECT_TRUE(v.isEmpty());
      EXPECT_EQ(e.ErrorCode(), 6);
      EXPECT_NE(Narrow(e.ErrorDescription()).find(said), std::string::npos) << Narrow(e.ErrorDescription());
      e.ClearError();
      double out = 0;
      int32_t status = 0;
      EXPECT_EQ(e.ValueColumns(index, {}, 1, &out, &status), 0u);
      EXPECT_EQ(status, 6);
    }
  }
  std::u16string text = u"picky(\"abc\")";
  int16_t k = 0;
  e.Compile(text, k);
  int32_t at = k;
  e.Value(at);
  EXPECT_EQ(e.ErrorCode(), 13);
  EXPECT_EQ(Narrow(e.ErrorDescription()), "Picky: Type mismatch");
  e.ClearError();
  // Under the trap the failing call leaves its argument and the rest of the expression runs; the
  // failure is still recorded, as a built-in function's domain failure is.
  e.SetEvaluationTrap(true);
  std::u16string t = u"picky(-4) + 10";
  int16_t index = 0;
  e.Compile(t, index);
  int32_t i = index;
  const Variant v = e.Value(i);
  EXPECT_EQ(v.asDouble(), 6.0);
  EXPECT_EQ(e.ErrorCode(), 6);
}

// Names: any case calls; a taken name is refused with the reason; the listing names the
// function; argument counts are checked at compilation; constants cannot be assigned; code
// compiled before a replacement or removal keeps what it was compiled against, its machine code
// included, and a formula keeps its function after its engine has gone.
TEST(HostFunctions, NamesListingReplacementAndConstants) {
  qvExpression e;
  e.SetNativeAfter(0);
  std::u16string def = u"twice(a) = a * 2", arr = u"grid(3)", text;
  e.UserFunc(def);
  e.DefineArray(arr);
  double one = 1;
  e.Variable(Variant(std::u16string(u"v")), one);
  e.DefineConstant("K", 10);
  for (const char* taken : {"sin", "Mod", "TWICE", "grid", "V", "k", "2x", ""}) {
    e.ClearError();
    e.DefineFunction(taken, 1, [](std::span<const double> a) { return a[0]; });
    EXPECT_EQ(e.ErrorCode(), 10) << taken;
  }
  e.ClearError();
  e.DefineFunction("Twice", 1, [](std::span<const double> a) { return a[0]; });  // a user function's name
  EXPECT_EQ(Narrow(e.ErrorDescription()), "DefineFunction Twice: the name of a user function");
  e.ClearError();
  e.DefineFunction("Scale", 1, [](std::span<const double> a) { return a[0] * 3; });
  e.DefineConstant("scale", 1);
  EXPECT_EQ(e.ErrorCode(), 10);
  e.ClearError();

  text = u"scale(k) + K";
  int16_t index = 0;
  e.Compile(text, index);
  ASSERT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(Narrow(e.RPNExpression()), " 10 Scale 10 +");
  int32_t i = index;
  EXPECT_EQ(e.Value(i).asDouble(), 40.0);

  e.Variable(Variant(std::u16string(u"k")), one);  // a constant is read-only
  EXPECT_EQ(e.ErrorCode(), 10);
  e.ClearError();

  // Replacing and removing: compiled code keeps the function and the value it was compiled with.
  e.DefineFunction("SCALE", 1, [](std::span<const double> a) { return a[0] * 5; });
  EXPECT_TRUE(e.UndefineHostName("k"));
  e.DefineConstant("K", 100);
  i = index;
  EXPECT_EQ(e.Value(i).asDouble(), 40.0);
  std::u16string again = u"scale(k) + K";
  int16_t second = 0;
  e.Compile(again, second);
  i = second;
  EXPECT_EQ(e.Value(i).asDouble(), 600.0);
  EXPECT_TRUE(e.UndefineHostName("Scale"));
  EXPECT_FALSE(e.UndefineHostName("Scale"));
  i = second;
  EXPECT_EQ(e.Value(i).asDouble(), 600.0);
  std::u16string gone = u"scale(2)";
  e.Compile(gone, second);
  EXPECT_EQ(e.ErrorCode(), 2);  // Unknown function
  e.ClearError();
  const qvFormula outlives = [] {
    qvExpression other;
    other.SetNativeAfter(0);
    other.DefineFunction("Halve", 1, [](std::span<const double> a) { return a[0] / 2; });
    std::u16string t = u"halve(w) + 1";
    int16_t k = 0;
    other.Compile(t, k);
    return other.Formula(k);
  }();
  double in = 5, out = 0;
  EXPECT_TRUE(outlives(&in, out));
  EXPECT_EQ(out, 3.5);

  // Argument counts: below the least or above the most is a compile failure naming the function.
  e.DefineFunction("Pair", qvFunction{2, 3, true, [](std::span<const double> a) { return double(a.size()); }});
  for (const auto& [t, code] : {std::pair{u"pair(1)", 5}, std::pair{u"pair(1, 2, 3, 4)", 5},
                                std::pair{u"pair(1, 2)", 0}, std::pair{u"pair(1, 2, 3)", 0}}) {
    std::u16string s = t;
    int16_t k = 0;
    e.Compile(s, k);
    EXPECT_EQ(e.ErrorCode(), code) << Narrow(s) << " " << Narrow(e.ErrorDescription());
    if (code == 5) {
      EXPECT_NE(Narrow(e.ErrorDescription()).find("Pair"), std::string::npos);
    }
    e.ClearError();
  }
}

// Block forms (qvFunction::Block) over columns give every row, value and status, what the
// per-row bodies give on the general loop, on several threads and under the strict profile (a
// NaN cell fails its row); each call site runs once a block, and a block that throws hands its
// rows to the body one at a time, each failing with its own message.
TEST(HostFunctions, BlockFormsGiveEachRowWhatItsBodyGives) {
  std::atomic<int> blocks{0};
  auto block = [&blocks](double (*f)(double)) {
    return [&blocks, f](std::span<const std::span<const double>> a, std::span<double> out) {
      ++blocks;
      for (size_t r = 0; r < out.size(); ++r) out[r] = f(a[0][r]);
    };
  };
  double (*cube)(double) = [](double x) { return x * x * x; };
  double (*picky)(double) = [](double x) {
    if (x < 0) throw std::domain_error("needs x >= 0");
    return std::sqrt(x);
  };
  double (*wild)(double) = [](double x) { return x > 2 ? 1 / 0.0 : x / 3; };
  // Fussy's block scribbles over its results and throws on more than 1000 rows; its retries on
  // halves must still see their arguments (fussy(fussy(x)) reads the register it writes).
  auto fussy = [](std::span<const std::span<const double>> a, std::span<double> out) {
    std::fill(out.begin(), out.end(), 12345.0);
    if (out.size() > 1000) throw std::length_error("too many rows");
    for (size_t r = 0; r < out.size(); ++r) out[r] = a[0][r] * 2;
  };
  const char16_t* texts[] = {u"cube(x) + y", u"picky(cube(x)) * 2 + picky(y)", u"cube(cube(x) + wild(y))",
                             u"MAX(cube(sin(x)), picky(ABS(y))) / (x - 1)", u"iif(x > y, wild(x), cube(y))",
                             u"fussy(fussy(x)) - y"};
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> pick(-3, 3);
  const size_t rows = 40000;
  std::vector<double> xs(rows), ys(rows);
  for (size_t r = 0; r < rows; ++r) xs[r] = pick(rng), ys[r] = r < 5000 && r % 997 == 5 ? NAN : pick(rng);  // blocks with and without a dead row
  for (const char16_t* text : texts) {
    SCOPED_TRACE(Narrow(text));
    std::vector<double> out[2];
    std::vector<int32_t> status[2];
    double one[2];
    std::u16string said[2];
    for (int form = 0; form < 2; ++form) {  // 0: bodies on the general loop; 1: block forms
      qvExpression e;
      e.SetStrict(true);
      e.SetHighestTier(form ? qvTier::Native : qvTier::General);
      for (auto [name, f] : {std::pair{"Cube", cube}, std::pair{"Picky", picky}, std::pair{"Wild", wild}}) {
        qvFunction function{1, 1, true, [f](std::span<const double> a) { return f(a[0]); }};
        if (form) function = qvFunction{1, 1, true, nullptr, block(f)};  // the body made from the block
        e.DefineFunction(name, function);
      }
      e.DefineFunction("Fussy", form ? qvFunction{1, 1, true, nullptr, fussy}
                                     : qvFunction{1, 1, true, [](std::span<const double> a) { return a[0] * 2; }});
      e.BindVariable("x");
      e.BindVariable("y");
      const int16_t index = e.Compile(std::u16string_view(text));
      ASSERT_EQ(e.ErrorCode(), 0) << Narrow(e.ErrorDescription());
      out[form].resize(rows);
      status[form].resize(rows);
      e.ValueColumns(index, {{u"x", xs.data()}, {u"y", ys.data()}}, rows, out[form].data(), status[form].data(),
                     form ? 3 : 1);
      e.Variable("x", 1.5);
      e.Variable("y", -1.0);
      one[form] = e.Value(int32_t(index)).asDouble();  // Value calls the body, made from the block here
      said[form] = e.ErrorDescription();
    }
    EXPECT_EQ(one[0], one[1]);
    EXPECT_EQ(said[0], said[1]);
    EXPECT_EQ(status[0], status[1]);
    EXPECT_EQ(0, std::memcmp(out[0].data(), out[1].data(), rows * sizeof(double)));
    EXPECT_GT(std::count(status[0].begin(), status[0].end(), 0), 0);
  }
  blocks = 0;  // one call a block of rows and call site
  qvExpression e;
  e.DefineFunction("Cube", qvFunction{1, 1, true, nullptr, block(cube)});
  e.BindVariable("x");
  const int16_t index = e.Compile("cube(x) + cube(x + 1)");
  std::vector<double> out(rows);
  EXPECT_EQ(e.ValueColumns(index, {{u"x", xs.data()}}, rows, out.data()), rows);
  EXPECT_EQ(blocks.load(), 2 * 3);
  EXPECT_EQ(out[7], cube(xs[7]) + cube(xs[7] + 1));
}

// Functions over values (qvTextFunction) take and give texts on the general loop, whatever the
// tier cap; names, failures, the listing and removal as for functions of numbers.
TEST(HostFunctions, FunctionsOverValuesTakeAndGiveTexts) {
  auto define = [](qvExpression& e) {
    e.DefineFunction("Greet", qvTextFunction{1, 1, true, [](std::span<const Variant> a) {
                                               return Variant(u"Hello, " + a[0].toText());
                                             }});
    e.DefineFunction("Count", qvTextFunction{0, -1, true, [](std::span<const Variant> a) {
                                               int32_t texts = 0;
                                               for (const Variant& v : a) texts += v.isText();
                                               if (texts > 2) throw std::invalid_argument("at most two texts");
                                               return Variant(texts);
                                             }});
    e.DefineFunction("Huge", qvTextFunction{0, 0, true, [](std::span<const Variant>) { return Variant(1e308 * 10); }});
  };
  struct Case {
    const char16_t* text;
    Variant want;
    int32_t code;
    const char* said;
  };
  const Case cases[] = {
      {u"greet(\"you\") & \"!\"", Variant(u"Hello, you!"), 0, ""},
      {u"greet(x * 2)", Variant(u"Hello, 3"), 0, ""},
      {u"count(\"a\", 1, greet(2)) + x", Variant(3.5), 0, ""},
      {u"count()", Variant(int32_t(0)), 0, ""},
      {u"count(\"a\", \"b\", x, \"c\")", Variant(), 6, "Count(\"a\", \"b\", 1.5, \"c\"): at most two texts"},
      {u"huge + 1", Variant(), 6, "Huge(): the result is not a finite number"},
  };
  for (qvTier tier : {qvTier::General, qvTier::Native}) {
    qvExpression e;
    define(e);
    e.SetEvaluationTrap(false);
    e.SetHighestTier(tier);
    e.SetNativeAfter(0);
    e.Variable("x", 1.5);
    for (const Case& c : cases) {
      const int16_t index = e.Compile(std::u16string_view(c.text));
      ASSERT_EQ(e.ErrorCode(), 0) << Narrow(c.text) << " " << Narrow(e.ErrorDescription());
      const Variant v = e.Value(int32_t(index));
      EXPECT_EQ(e.ErrorCode(), c.code) << Narrow(c.text);
      EXPECT_EQ(Narrow(e.ErrorDescription()), c.said) << Narrow(c.text);
      EXPECT_EQ(v.kind(), c.want.kind()) << Narrow(c.text);
      EXPECT_EQ(v.toText(), c.want.toText()) << Narrow(c.text);
      e.ClearError();
    }
  }
  qvExpression e;
  define(e);
  e.Variable("x", 0.0);
  const int16_t index = e.Compile("count(greet(x), \"b\") * 10 + x");
  EXPECT_EQ(Narrow(e.RPNExpression()), " x Greet \"b\" Count 10 * x +");
  std::vector<double> xs{1, 2, 3}, out(3);
  EXPECT_EQ(e.ValueColumns(index, {{u"x", xs.data()}}, 3, out.data(), nullptr, 2), 3u);
  EXPECT_EQ(out, (std::vector<double>{21, 22, 23}));
  e.DefineFunction("Left", qvTextFunction{1, 1, true, [](std::span<const Variant> a) { return a[0]; }});
  EXPECT_EQ(Narrow(e.ErrorDescription()), "DefineFunction Left: the name of a built-in function");
  e.ClearError();
  e.DefineFunction("Greet", qvTextFunction{1, 1, true, [](std::span<const Variant>) { return Variant(u"Hi"); }});
  EXPECT_EQ(e.Value(int32_t(index)).asDouble(), 20.0);  // compiled code keeps the function it was compiled against
  EXPECT_TRUE(e.UndefineHostName("GREET"));
  e.Compile("greet(1)");
  EXPECT_EQ(e.ErrorCode(), 2);
}

// An impure function runs in row order on one thread during a column call, however many threads
// are asked for; a pure one may run on several.
TEST(HostFunctions, ImpureFunctionsRunInRowOrder) {
  for (qvTier tier : {qvTier::General, qvTier::Native}) {
    qvExpression e;
    e.SetHighestTier(tier);
    e.SetNativeAfter(0);
    std::atomic<int> calls{0};
    e.DefineFunction("Tick", qvFunction{0, 0, false, [&calls](std::span<const double>) {
                                          return double(calls.fetch_add(1));
                                        }});
    std::u16string text = u"tick + x * 0";
    int16_t index = 0;
    e.Compile(text, index);
    std::vector<double> xs(5000, 1.0), out(xs.size());
    e.ValueColumns(index, {{u"x", xs.data()}}, xs.size(), out.data(), nullptr, 4);
    for (size_t r = 0; r < out.size(); ++r) ASSERT_EQ(out[r], double(r));
  }
}

// The extended functions, on the general loop, the all-double program and the machine code
// alike; ROUND works on the decimal a user sees, half away from zero.
TEST(HostFunctions, ExtendedFunctions) {
  const std::pair<const char16_t*, double> cases[] = {
      {u"ROUND(2.5)", 3},          {u"round(-2.5)", -3},        {u"ROUND(2.345, 2)", 2.35},
      {u"ROUND(1.005, 2)", 1.01},  {u"ROUND(1234.5, -2)", 1200}, {u"ROUND(0.4)", 0},
      {u"ROUND(9.995, 2)", 10},    {u"ROUND(-0.05, 1)", -0.1},  {u"ROUND(123456789.5, -3)", 123457000},
      {u"CEIL(-1.5)", -1},         {u"FLOOR(-1.5)", -2},        {u"ATN2(1, -1)", std::atan2(1.0, -1.0)},
      {u"LOG2(1024)", 10},         {u"HYPOT(3, 4)", 5},         {u"E", std::numbers::e},
  };
  for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native}) {
    qvExpression e;
    qvAddExtendedFunctions(e);
    e.SetHighestTier(tier);
    e.SetNativeAfter(0);
    for (const auto& [text, want] : cases) {
      std::u16string t = text;
      int16_t index = 0;
      e.Compile(t, index);
      int32_t i = index;
      const Variant v = e.Value(i);
      EXPECT_EQ(e.ErrorCode(), 0) << Narrow(t) << " " << Narrow(e.ErrorDescription());
      EXPECT_EQ(v.asDouble(), want) << Narrow(t);
    }
    std::u16string bad = u"LOG2(0)";
    int16_t index = 0;
    e.SetEvaluationTrap(false);
    e.Compile(bad, index);
    int32_t i = index;
    e.Value(i);
    EXPECT_EQ(Narrow(e.ErrorDescription()), "LOG2(0): x must be above 0");
  }
  qvExpression plain;  // an engine leaves them out unless asked
  std::u16string t = u"ROUND(2)";
  int16_t index = 0;
  plain.Compile(t, index);
  EXPECT_EQ(plain.ErrorCode(), 2);
}

}  // namespace
