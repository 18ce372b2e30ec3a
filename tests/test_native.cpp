// The native tier against the all-double program it is generated from: on random expressions over
// every step the program has and random inputs from the awkward corners of the double range, the
// machine code (on a frame, on the records and on the caller's values) must decline exactly where
// RunDoubleProgram declines and otherwise give its bits.
// Code memory must go with its program.
#include <gtest/gtest.h>

#ifdef QV_HAVE_NATIVE

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/eval/Tiers.h"
#include "engine/qvExpression.h"

using namespace qv;  // the engine's internals under test

namespace {

using Frame = std::vector<double>;

// Random expression texts over the variables X, Y, Z: every operator and function the all-double
// program covers and the host functions of Bound, each binary operation in brackets so the text
// means what the tree says.
class TextMaker {
 public:
  explicit TextMaker(uint32_t seed) : random_(seed) {}

  std::u16string Make(int depth) {
    const int choice = Pick(depth <= 0 ? 3 : 13);
    switch (choice) {
      case 0: case 1: return std::u16string(1, u"XYZ"[Pick(3)]);
      case 2: return Constant();
      case 3: case 4: return u"(" + Make(depth - 1) + Binary() + Make(depth - 1) + u")";
      case 5: return u"-(" + Make(depth - 1) + u")";
      case 6: return u"(NOT " + Make(depth - 1) + u")";
      case 7: return Unary() + u"(" + Make(depth - 1) + u")";
      case 8: return std::u16string(Pick(2) ? u"MIN(" : u"MAX(") + Make(depth - 1) + u", " + Make(depth - 1) + u")";
      case 9: return u"IIF(" + Make(depth - 1) + u", " + Make(depth - 1) + u", " + Make(depth - 1) + u")";
      case 10: return u"(" + Make(depth - 1) + u" ^ " + Make(depth - 1) + u")";
      case 11: return Host(depth - 1);
      default: return u"(" + Make(depth - 1) + Binary() + Make(depth - 1) + u")";
    }
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  std::u16string Host(int depth) {
    switch (Pick(4)) {
      case 0: return u"HPOS(" + Make(depth) + u")";
      case 1: return u"HCLAMP(" + Make(depth) + u")";
      case 2: {
        std::u16string text = u"HSUM(" + Make(depth);
        for (int n = Pick(4); n > 0; --n) text += u", " + Make(depth);
        return text + u")";
      }
      default: return u"HSEVEN";
    }
  }
  std::u16string Binary() {
    static const char16_t* const ops[] = {u" + ", u" - ", u" * ", u" / ", u" = ", u" <> ", u" < ",
                                          u" <= ", u" > ", u" >= ", u" AND ", u" OR ", u" XOR "};
    return ops[Pick(13)];
  }
  std::u16string Unary() {
    static const char16_t* const functions[] = {u"SGN", u"SQR", u"SIN", u"COS", u"EXP", u"FACT", u"ABS",
                                                u"INT", u"FIX", u"LOG", u"LN", u"TAN", u"ATN", u"ASIN",
                                                u"ACOS", u"SINH", u"COSH", u"TANH", u"ASINH", u"ACOSH", u"ATANH"};
    return functions[Pick(21)];
  }
  // Doubles mostly (whole-number literals make whole-number arithmetic, which has no program).
  std::u16string Constant() {
    static const char16_t* const constants[] = {u"0.5", u"2.5", u"-1.5", u"0.0", u"1.0E300", u"1.0E-300",
                                                u"3.0", u"PI", u"DEG", u"2", u"170.0", u"-0.0"};
    return constants[Pick(12)];
  }

  std::mt19937 random_;
};

// Input values: zeros of both signs, whole numbers, halves, the edges of the range, subnormals,
// NaN, infinities, and plain random numbers.
double RandomInput(std::mt19937& random) {
  static const double corners[] = {0.0, -0.0, 1.0, -1.0, 2.0, -3.0, 0.5, -0.5, 100.0, 169.4, 170.0, 1e308,
                                   -1e308, DBL_MAX, -DBL_MAX, 1e-300, -1e-310, 5e-324, DBL_MIN,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   -std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity()};
  const int kind = std::uniform_int_distribution<int>(0, 3)(random);
  if (kind == 0) return std::uniform_real_distribution<double>(-4, 4)(random);
  if (kind == 1) return double(std::uniform_int_distribution<int>(-20, 20)(random));
  if (kind == 2) return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                                   std::uniform_int_distribution<int>(-1074, 1023)(random));
  return corners[std::uniform_int_distribution<size_t>(0, std::size(corners) - 1)(random)];
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The frame of a program as a caller gathers it: the variables' values and the constants, then
// scratch that holds rubbish, which the code must not depend on.
Frame Gathered(const Program& code) {
  Frame frame(DoubleProgram::kMaxRegisters, -12345.678);
  EXPECT_TRUE(GatherFrame(code.FrameInputs.data(), code.FrameInputs.size(), frame.data()));
  return frame;
}

// The all-double program on its own copy of a frame (it writes its steps into the frame).
bool RunProgram(const Program& code, Frame frame, double& value) {
  return RunDoubleProgram(*code.Fast, frame.data(), value);
}

// Calls of Bound's host functions, on any thread.
std::atomic<long> hostCalls{0};

// The calls of host functions that F makes.
template <typename F>
long HostCallsOf(F f) {
  const long before = hostCalls.load();
  f();
  return hostCalls.load() - before;
}

// An engine with X, Y and Z bound, the host functions HPOS (which throws below 0 and has no
// finite result above 1e6), HCLAMP (a finite result for every argument, NaN and infinities
// included), HSUM (any number of arguments) and HSEVEN (none), and one expression compiled under
// index 1: its program when it has an all-double form, else null.
struct Bound {
  qvExpression e;
  std::shared_ptr<qvVariable> vars[3] = {e.BindVariable(u"X"), e.BindVariable(u"Y"), e.BindVariable(u"Z")};

  Bound() {
    e.DefineFunction("HPOS", 1, [](std::span<const double> a) {
      ++hostCalls;
      if (a[0] < 0) throw std::domain_error("below 0");
      return a[0] > 1e6 ? std::numeric_limits<double>::infinity() : std::sqrt(a[0]) + 1;
    });
    e.DefineFunction("HSUM", -1, [](std::span<const double> a) {
      ++hostCalls;
      double s = 0.25;
      for (double x : a) s = s * 0.5 + x;
      return s;
    });
    e.DefineFunction("HSEVEN", 0, [](std::span<const double>) { return ++hostCalls, 7.0; });
    e.DefineFunction("HCLAMP", 1, [](std::span<const double> a) { return ++hostCalls, std::fmin(std::fmax(a[0], -1), 1); });
  }

  const Program* Compile(std::u16string text) {
    int16_t index = 1;
    e.Compile(text, index);
    const CompiledExpression* record = e.Expression(1);
    const bool fast = e.ErrorCode() == 0 && record && record->Compiled && record->Compiled->Fast;
    e.ClearError();
    return fast ? record->Compiled.get() : nullptr;
  }
};

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

}  // namespace

TEST(NativeProgram, AgreesWithTheAllDoubleProgramToTheBit) {
  TextMaker maker(20240611);
  std::mt19937 random(7);
  Bound engine;
  int programs = 0, runs = 0, results = 0;
  for (int n = 0; n < 1500; ++n) {
    const std::u16string text = maker.Make(1 + n % 5);
    const Program* code = engine.Compile(text);
    if (!code) continue;
    const auto native = NativeProgram::Compile(*code->Fast, code->FrameInputs.data());
    ASSERT_NE(native, nullptr) << Narrow(text);
    ++programs;
    for (int k = 0; k < 60; ++k) {
      for (auto& v : engine.vars) v->Value = Variant(RandomInput(random));
      if (k % 20 == 19) {
        // A variable that does not hold a double: the records' entry declines, as gathering does.
        engine.vars[k % 3]->Value = k % 40 == 19 ? Variant(int16_t(2)) : Variant(u"2");
        Frame scratch(DoubleProgram::kMaxRegisters);
        double untouched = -7.25;
        if (GatherFrame(code->FrameInputs.data(), code->FrameInputs.size(), scratch.data())) continue;
        EXPECT_FALSE(native->RunOnRecords(untouched)) << Narrow(text);
        continue;
      }
      Frame frame = Gathered(*code);
      double expected = 0, actual = -7.25, onRecords = -7.25;
      // Every entry calls the host's functions as often as the all-double program where that gives
      // a result; where it declines, calls after the step it declines at may run too.
      bool ran = false, gave = false;
      const long calls = HostCallsOf([&] { ran = RunProgram(*code, frame, expected); });
      const auto sameCalls = [&](long made) { return ran ? made == calls : made >= calls; };
      ASSERT_TRUE(sameCalls(HostCallsOf([&] { gave = native->Run(frame.data(), actual); }))) << Narrow(text);
      ASSERT_TRUE(sameCalls(HostCallsOf([&] {
        ASSERT_EQ(native->RunOnRecords(onRecords), ran) << Narrow(text);
      }))) << Narrow(text);
      ASSERT_TRUE(SameBits(onRecords, ran ? expected : -7.25)) << Narrow(text);
      // The caller's values alone (the frame's first registers), the constants in the code.
      const Frame values(frame.begin(), frame.begin() + code->Fast->Variables);
      double onValues = -7.25;
      ASSERT_TRUE(sameCalls(HostCallsOf([&] {
        ASSERT_EQ(native->RunOnValues(values.data(), onValues), ran) << Narrow(text);
      }))) << Narrow(text);
      ASSERT_TRUE(SameBits(onValues, ran ? expected : -7.25)) << Narrow(text);
      ++runs;
      ASSERT_EQ(gave, ran) << Narrow(text) << " at X=" << engine.vars[0]->Value.asDouble()
                           << " Y=" << engine.vars[1]->Value.asDouble() << " Z=" << engine.vars[2]->Value.asDouble();
      if (!ran) {
        EXPECT_TRUE(SameBits(actual, -7.25)) << "a declining run changed Value: " << Narrow(text);
        continue;
      }
      ++results;
      ASSERT_TRUE(SameBits(actual, expected)) << Narrow(text) << ": " << actual << " vs " << expected;
    }
  }
  // Enough programs, and enough of them giving results rather than declining, to mean something.
  EXPECT_GT(programs, 500);
  EXPECT_GT(results, runs / 5);
}

// The row loop over columns against the scalar code row by row: X and Z in columns, Y held in the
// frame; every row the loop gives has the bits Run gives, and the loop stops exactly at the rows
// Run declines (in pairs of rows and in the single rows after them alike).
TEST(NativeProgram, RowLoopGivesEachRowsBitsAndStopsWhereRunDeclines) {
  TextMaker maker(424242);
  std::mt19937 random(11);
  Bound engine;
  int programs = 0, stops = 0;
  for (int n = 0; n < 400; ++n) {
    const std::u16string text = maker.Make(1 + n % 4);
    const Program* code = engine.Compile(text);
    if (!code) continue;
    const auto native = NativeProgram::Compile(*code->Fast, code->FrameInputs.data());
    ASSERT_NE(native, nullptr) << Narrow(text);
    ++programs;
    const size_t rows = 1 + size_t(n % 37);
    std::vector<double> xs(rows), zs(rows), out(rows, -7.25);
    for (size_t r = 0; r < rows; ++r) {
      xs[r] = RandomInput(random);
      zs[r] = RandomInput(random);
    }
    for (auto& v : engine.vars) v->Value = Variant(RandomInput(random));
    std::vector<const double*> columns(code->Variables.size(), nullptr);
    for (size_t k = 0; k < columns.size(); ++k) {
      if (code->Variables[k] == engine.vars[0]) columns[k] = xs.data();
      if (code->Variables[k] == engine.vars[2]) columns[k] = zs.data();
    }
    Frame frame = Gathered(*code);
    for (size_t r = 0; r < rows;) {
      const size_t stop = native->RunRows(columns.data(), frame.data(), out.data(), r, rows);
      ASSERT_LE(stop, rows);
      for (; r <= stop && r < rows; ++r) {
        engine.vars[0]->Value = xs[r];
        engine.vars[2]->Value = zs[r];
        Frame row = Gathered(*code);
        double expected = 0;
        const bool ran = native->Run(row.data(), expected);
        ASSERT_EQ(ran, r < stop) << Narrow(text) << " row " << r;
        if (ran) {
          ASSERT_TRUE(SameBits(out[r], expected)) << Narrow(text) << " row " << r;
        }
      }
      stops += stop < rows;
    }
  }
  EXPECT_GT(programs, 150);
  EXPECT_GT(stops, 50);
}

// The benchmark's expressions, run by several threads at once on one program, each with its own
// frame: every thread sees the single-threaded results.
TEST(NativeProgram, OneProgramRunsOnManyThreads) {
  Bound engine;
  for (const char16_t* text : {u"((X+Y)*(Z-X)+(Y*X-Y)/(Z+2))*((X-Y)/(X+1)+Y*Z)", u"SIN(X)*COS(Y) + X^2",
                               u"IIF(X > 0.5, MIN(X, Y), MAX(Y, Z)) + SQR(X*X + Y*Y)"}) {
    const Program* code = engine.Compile(text);
    ASSERT_NE(code, nullptr);
    const auto native = NativeProgram::Compile(*code->Fast, code->FrameInputs.data());
    ASSERT_NE(native, nullptr);
    std::vector<Frame> frames;
    std::vector<double> expected;
    for (int i = 0; i < 64; ++i) {
      for (int v = 0; v < 3; ++v) engine.vars[v]->Value = Variant(0.125 * i + v);
      frames.push_back(Gathered(*code));
      expected.push_back(0);
      ASSERT_TRUE(RunProgram(*code, frames.back(), expected.back()));
    }
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        for (int round = 0; round < 2000; ++round) {
          const size_t i = size_t(round + t) % frames.size();
          Frame frame = frames[i];
          double value = 0;
          if (!native->Run(frame.data(), value) || !SameBits(value, expected[i])) ++mismatches[size_t(t)];
        }
      });
    for (auto& thread : threads) thread.join();
    for (int m : mismatches) EXPECT_EQ(m, 0) << Narrow(text);
  }
}

// Pages mapped for code go back with their program: many compile and destroy cycles leave the
// process's mapped size and mapping count where they were.
TEST(NativeProgram, CodeMemoryGoesWithItsProgram) {
  const auto mapped = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));  // kB
    return 0L;
  };
  const auto mappings = [] {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    long n = 0;
    while (std::getline(maps, line)) ++n;
    return n;
  };
  Bound engine;
  const Program* code = engine.Compile(u"EXP(-X*X/2) / SQR(2*PI) + X^Y + (X > Y)");
  ASSERT_NE(code, nullptr);
  for (int i = 0; i < 200; ++i) NativeProgram::Compile(*code->Fast, code->FrameInputs.data());  // warm the heap up
  const long size = mapped(), count = mappings();
  for (int i = 0; i < 20000; ++i) {
    const auto native = NativeProgram::Compile(*code->Fast, code->FrameInputs.data());
    ASSERT_NE(native, nullptr);
    ASSERT_GT(native->MappedSize(), 0u);
  }
  // 20,000 lost pages would be 80 MB; allow the heap some slack.
  EXPECT_LT(mapped() - size, 4096L);
  EXPECT_LT(mappings() - count, 8L);
}

// The machine code waits for the engine's count of evaluations: Value counts one, a call over
// columns counts its rows (and so generates at once when it has enough), 0 generates at
// compilation; the value is the same bits before and after.
TEST(NativeProgram, GeneratedAfterTheEnginesCountOfEvaluations) {
  Bound engine;
  engine.e.SetNativeAfter(100);
  engine.vars[0]->Value = 0.75;
  const Program* code = engine.Compile(u"X * X + 1 / X");
  ASSERT_NE(code, nullptr);
  int32_t index = 1;
  const Variant first = engine.e.Value(index);
  for (int i = 1; i < 99; ++i) engine.e.Value(index);
  EXPECT_EQ(code->Native.Made(), nullptr);
  EXPECT_TRUE(SameBits(engine.e.Value(index).asDouble(), first.asDouble()));
  EXPECT_NE(code->Native.Made(), nullptr);

  code = engine.Compile(u"X * X + 2 / X");
  ASSERT_NE(code, nullptr);
  std::vector<double> xs(100, 0.5), out(100);
  engine.e.ValueColumns(1, {{u"X", xs.data()}}, 99, out.data());
  EXPECT_EQ(code->Native.Made(), nullptr);
  engine.e.ValueColumns(1, {{u"X", xs.data()}}, 1, out.data());
  EXPECT_NE(code->Native.Made(), nullptr);
  EXPECT_EQ(out[0], 4.25);

  engine.e.SetNativeAfter(0);
  code = engine.Compile(u"X * X + 3 / X");
  ASSERT_NE(code, nullptr);
  EXPECT_NE(code->Native.Made(), nullptr);
}

// Where the machine code has no form, or the program reads a register nothing wrote, there is
// no native program and the caller goes on with the next tier.
TEST(NativeProgram, RefusesWhatItCannotRun) {
  DoubleProgram unwritten;
  unwritten.Steps.push_back(DoubleStep{DoubleOp::Add, 1, 0, 0, 0, 0});
  unwritten.Result = 1;
  EXPECT_EQ(NativeProgram::Compile(unwritten, nullptr), nullptr);  // no inputs: register 0 is unknown
  DoubleProgram unknown;
  unknown.Variables = 1;
  unknown.Steps.push_back(DoubleStep{DoubleOp(200), 0, 0, 0, 0, 0});
  EXPECT_EQ(NativeProgram::Compile(unknown, nullptr), nullptr);
}

#else

TEST(NativeProgram, NotInThisBuild) { GTEST_SKIP() << "built without the native tier (QV_NATIVE=OFF)"; }

#endif
