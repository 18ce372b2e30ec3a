// Host functions: one function of the host's, called per evaluation and over columns, by this
// engine (DefineFunction), by muparser (DefineFun) and by hand-written C++ calling the same
// function, in the same run. The same computation with the function written out (the engine's
// text, and the C++) sets the cost of the calls apart: what the machine code's two calls add to
// an evaluation beside what the two std::function calls add to the C++.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <functional>
#include <span>
#include <vector>

#include "engine/qvExpression.h"

namespace {

double Ramp(double x) { return x * 0.75 + 1; }  // the host's function
const std::function<double(std::span<const double>)> kRampBody = [](std::span<const double> a) { return Ramp(a[0]); };
constexpr size_t kRows = 1 << 20;

// ramp(x) * 2 + ramp(y), or the same with ramp written out.
struct Engine {
  qvExpression e;
  std::shared_ptr<qvVariable> x, y;
  int16_t index = 0;
  explicit Engine(std::u16string text = u"ramp(x) * 2 + ramp(y)") {
    e.DefineFunction("ramp", 1, kRampBody);
    x = e.BindVariable(u"x");
    y = e.BindVariable(u"y");
    e.Compile(text, index);
  }
};

void ValueLoop(benchmark::State& state, Engine& engine) {
  double v = 0.5;
  for (auto _ : state) {
    engine.x->Value.setDouble(v);
    engine.y->Value.setDouble(v + 1);
    int32_t i = engine.index;
    benchmark::DoNotOptimize(engine.e.Value(i));
    v += 1e-9;
  }
}

void host_call_qvcalc(benchmark::State& state) {
  Engine engine;
  ValueLoop(state, engine);
}

void host_inline_qvcalc(benchmark::State& state) {
  Engine engine(u"(x * 0.75 + 1) * 2 + (y * 0.75 + 1)");
  ValueLoop(state, engine);
}

void host_call_cpp(benchmark::State& state) {
  double v = 0.5;
  const std::function<double(std::span<const double>)>& f = kRampBody;
  for (auto _ : state) {
    double a = v, b = v + 1;
    benchmark::DoNotOptimize(f(std::span<const double>(&a, 1)) * 2 + f(std::span<const double>(&b, 1)));
    v += 1e-9;
  }
}

void host_inline_cpp(benchmark::State& state) {
  double v = 0.5;
  for (auto _ : state) {
    double a = v, b = v + 1;
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    benchmark::DoNotOptimize(Ramp(a) * 2 + Ramp(b));
    v += 1e-9;
  }
}

void host_call_muparser(benchmark::State& state) {
  mu::Parser p;
  double x = 0.5, y = 1.5;
  p.DefineVar("x", &x);
  p.DefineVar("y", &y);
  p.DefineFun("ramp", Ramp);
  p.SetExpr("ramp(x) * 2 + ramp(y)");
  p.Eval();
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.Eval());
    x += 1e-9;
    y = x + 1;
  }
}

struct ColumnData {
  std::vector<double> x, y, out;
  ColumnData() : x(kRows), y(kRows), out(kRows) {
    for (size_t r = 0; r < kRows; ++r) x[r] = double(r) * 1e-3, y[r] = 1 - double(r) * 1e-4;
  }
};

void column_host_qvcalc(benchmark::State& state) {
  Engine engine;
  ColumnData d;
  for (auto _ : state)
    engine.e.ValueColumns(engine.index, {{u"x", d.x.data()}, {u"y", d.y.data()}}, kRows, d.out.data(), nullptr, 1);
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kRows));
}

void column_host_muparser(benchmark::State& state) {
  mu::Parser p;
  ColumnData d;
  p.DefineVar("x", d.x.data());
  p.DefineVar("y", d.y.data());
  p.DefineFun("ramp", Ramp);
  p.SetExpr("ramp(x) * 2 + ramp(y)");
  for (auto _ : state) p.Eval(d.out.data(), int(kRows));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kRows));
}

BENCHMARK(host_call_qvcalc);
BENCHMARK(host_inline_qvcalc);
BENCHMARK(host_call_cpp);
BENCHMARK(host_inline_cpp);
BENCHMARK(host_call_muparser);
BENCHMARK(column_host_qvcalc)->Unit(benchmark::kMillisecond);
BENCHMARK(column_host_muparser)->Unit(benchmark::kMillisecond);

}  // namespace
