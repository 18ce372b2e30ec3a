// Engines and controls on many threads at once. Each engine is used by one thread at a time, as
// the control's threading model requires, but separate engines run truly in parallel and must
// not share any mutable state without a guard: the results of every thread equal those of the
// same work done alone, and the ThreadSanitizer build reports no race.
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "control/qvCalc.h"
#include "engine/qvExpression.h"

namespace {

constexpr int kThreads = 6;
constexpr int kRounds = 60;

// What one thread observes: every value it evaluated, in order, as text (so that texts, numbers
// and empty results all compare exactly).
using Trace = std::vector<std::u16string>;

void Record(Trace& trace, const Variant& value) {
  trace.push_back(value.isEmpty() ? u"<empty>" : value.toText());
}

// A workload touching every store: variables, arrays, user functions (their sub-engines share the
// engine's random generator), texts, failures and resets. The seed makes RND repeatable.
Trace EngineWork(uint64_t seed) {
  qvExpression engine;
  engine.SeedRandom(seed);
  Trace trace;
  for (int round = 0; round < kRounds; ++round) {
    std::u16string array = u"Grid(4, 4)", func = u"Noise(A, B) = A * RND(1) + B";
    std::u16string text = u"Noise(X, Grid(2, 3)) & \"-\" & STRING(3, 65 + Grid(2, 3)) & RND(1)";
    engine.DefineArray(array);
    engine.ArrayValue(1, Variant(double(round % 7)), 2, 3);
    engine.UserFunc(func);
    double x = round * 0.25 + double(seed);
    engine.Variable(Variant(u"X"), x);
    int16_t index = 0;
    engine.Compile(text, index);
    int32_t run = index;
    Record(trace, engine.Value(run));
    std::u16string numeric = u"X * 2 + SIN(X) / (1 + X) - MAX(X, 3) ^ 0.5";  // the all-double program
    index = 0;
    engine.Compile(numeric, index);
    run = index;
    Record(trace, engine.Value(run));
    std::u16string failing = u"LN(-X) + FACT(200)";
    index = 0;
    engine.Compile(failing, index);
    run = index;
    Record(trace, engine.Value(run));
    trace.push_back(engine.ErrorDescription());
    engine.Reset();
  }
  return trace;
}

// The same through the control, with an ErrorMsg sink per control.
Trace ControlWork(uint64_t seed) {
  qvCalc calc;
  calc.SeedRandom(seed);
  Trace trace;
  calc.Advise([&](std::u16string& source, std::u16string&) { trace.push_back(source); });
  for (int round = 0; round < kRounds; ++round) {
    std::u16string name = u"Y", func = u"Twice(A) = 2 * A + RND(1)", text = u"Twice(Y) + RND(1)",
                   notNumber = u"\"abc\" & Y";
    double y = round;
    calc.Variable(name, y);
    calc.DefineUserFunc(func);
    calc.Compile(text);
    trace.push_back(Variant(calc.Value()).toText());
    calc.Compile(notNumber);
    trace.push_back(Variant(calc.Value()).toText());  // raises ErrorMsg: not a number
    calc.Reset();
  }
  return trace;
}

// Runs Work(seed) for seeds 1..kThreads, all at once, and returns each thread's trace.
template <class Work>
std::vector<Trace> RunInParallel(Work work) {
  std::vector<Trace> traces(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&traces, &work, t] { traces[size_t(t)] = work(uint64_t(t + 1)); });
  }
  for (std::thread& thread : threads) thread.join();
  return traces;
}

}  // namespace

TEST(Threads, SeparateEnginesDoNotInterfere) {
  std::vector<Trace> parallel = RunInParallel(EngineWork);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(parallel[size_t(t)], EngineWork(uint64_t(t + 1))) << "thread " << t;
  }
  // Different seeds give different random sequences; the same seed the same one.
  EXPECT_NE(parallel[0], parallel[1]);
}

TEST(Threads, SeparateControlsDoNotInterfere) {
  std::vector<Trace> parallel = RunInParallel(ControlWork);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(parallel[size_t(t)], ControlWork(uint64_t(t + 1))) << "thread " << t;
    EXPECT_EQ(parallel[size_t(t)].size(), size_t(kRounds * 3));  // two values and one event a round
  }
}

// Engines and controls created, used and destroyed on different threads than the ones that
// will use the next ones, while other threads keep evaluating: creation and destruction touch
// no shared state either.
TEST(Threads, EnginesMadeAndDroppedWhileOthersRun) {
  auto shortLived = [] {
    qvExpression engine;
    std::u16string func = u"Sq(A) = A * A", text = u"Sq(3) + LEN(SPACE(4))";
    engine.UserFunc(func);
    int16_t index = 0;
    engine.Compile(text, index);
    int32_t run = index;
    return engine.Value(run).asDouble() + 1000 * engine.ErrorCode();
  };
  const double alone = shortLived();
  std::vector<std::thread> threads;
  std::vector<int> differences(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i)
        if (shortLived() != alone) ++differences[size_t(t)];
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(differences[size_t(t)], 0) << "thread " << t;
}

// Several threads evaluate columns on one engine at once, each itself on several threads, over a
// program the fast tiers run and one that needs the general loop (a user function): every call
// gives what one call alone gives.
// Threads that evaluate one compiled expression as the machine code is generated for it (in the
// builds that have the tier): each sees the same bits before, during and after.
TEST(Threads, MachineCodeMadeWhileThreadsEvaluate) {
  qvExpression engine;
  engine.SetNativeAfter(3000);
  std::u16string text = u"(X - 0.5) * X / (X + 3) + SQR(X * X)";
  int16_t index = 0;
  engine.Compile(text, index);
  const qvFormula formula = engine.Formula(index);
  ASSERT_TRUE(formula.Runs());
  std::vector<double> xs(64), expected(64);
  for (size_t i = 0; i < xs.size(); ++i) {
    xs[i] = 0.37 * double(i) - 5;
    ASSERT_TRUE(formula(&xs[i], expected[i]));
  }
  std::vector<int> differences(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 1000; ++i) {
        const size_t k = size_t(i + t) % xs.size();
        double value = 0;
        differences[size_t(t)] += !formula(&xs[k], value) || value != expected[k];
      }
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(differences[size_t(t)], 0) << "thread " << t;
}

// The fast expression calls a pure host function, which the column calls' threads (and the
// machine code's row loop on each) call at once; it fails some rows.
TEST(Threads, ColumnsOnOneEngineFromSeveralThreads) {
  qvExpression engine;
  std::u16string func = u"Half(A) = A / 2", fast = u"X * 2 + 1 / X + Root(X)", general = u"Half(X) + LEN(\"ab\")";
  engine.UserFunc(func);
  engine.DefineFunction("Root", 1, [](std::span<const double> a) {
    if (a[0] < -40) throw std::domain_error("below -40");
    return std::sqrt(a[0] + 48);
  });
  int16_t fastIndex = 0, generalIndex = 0;
  engine.Compile(fast, fastIndex);
  engine.Compile(general, generalIndex);
  std::vector<double> xs(20000);
  for (size_t r = 0; r < xs.size(); ++r) xs[r] = double(r % 97) - 48;
  const std::vector<qvColumn> columns = {{u"X", xs.data()}};
  auto run = [&](int16_t index, std::vector<double>& out, std::vector<int32_t>& status) {
    engine.ValueColumns(index, columns, xs.size(), out.data(), status.data(), 2);
  };
  std::vector<double> fastAlone(xs.size()), generalAlone(xs.size());
  std::vector<int32_t> fastStatus(xs.size()), generalStatus(xs.size());
  run(fastIndex, fastAlone, fastStatus);
  run(generalIndex, generalAlone, generalStatus);
  EXPECT_EQ(fastStatus[0], 6);  // Root(-48) threw
  EXPECT_EQ(fastStatus[10], 0);
  std::vector<int> differences(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<double> out(xs.size());
      std::vector<int32_t> status(xs.size());
      const bool useFast = t % 2 == 0;
      run(useFast ? fastIndex : generalIndex, out, status);
      const std::vector<double>& alone = useFast ? fastAlone : generalAlone;
      const std::vector<int32_t>& aloneStatus = useFast ? fastStatus : generalStatus;
      for (size_t r = 0; r < xs.size(); ++r)
        differences[size_t(t)] += status[r] != aloneStatus[r] || (status[r] == 0 && out[r] != alone[r]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(differences[size_t(t)], 0) << "thread " << t;
  EXPECT_EQ(engine.ErrorCode(), 0);
}
