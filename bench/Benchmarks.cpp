#include "bench/Benchmarks.h"

#include <utility>

#include <benchmark/benchmark.h>

#include "bench/NativeBenchmarks.h"
#include "bench/Runners.h"

namespace {

// The formula is a compile-time constant here, so the compiler inlines it: this is the limit.
template <size_t I>
void Native(benchmark::State& state) {
  Vars v = kStart;
  for (auto _ : state) {
    Advance(v);
    double r = kCases[I].native(v);
    benchmark::DoNotOptimize(r);
  }
}

// Variables through their bound records, or set by name when ByName.
template <bool ByName>
void Qv(benchmark::State& state, const Case& c) {
  QvRunner qv(c);
  for (auto _ : state) {
    Advance(qv.v);
    if constexpr (ByName) qv.PushByName(); else qv.PushBound();
    double r = AsNumber(qv.Evaluate());
    benchmark::DoNotOptimize(r);
  }
}

void Muparser(benchmark::State& state, const Case& c) {
  MuRunner mu(c);
  for (auto _ : state) {
    Advance(mu.v);
    double r = mu.Evaluate();
    benchmark::DoNotOptimize(r);
  }
}

// Recompiling index 1 in place: the text has no comment, so Compile leaves it as it is.
void QvCompile(benchmark::State& state, const Case& c) {
  QvRunner qv(c);
  std::u16string text(c.qv);
  for (auto _ : state) {
    int16_t index = 1;
    qv.Engine().Compile(text, index);
    int32_t code = qv.Engine().ErrorCode();
    benchmark::DoNotOptimize(code);
  }
}

// muparser parses on the first Eval after SetExpr, so both belong to its compilation.
void MuCompile(benchmark::State& state, const Case& c) {
  MuRunner mu(c);
  const std::string text(c.mu);
  for (auto _ : state) {
    mu.Parser().SetExpr(text);
    double r = mu.Evaluate();
    benchmark::DoNotOptimize(r);
  }
}

template <size_t... I>
void RegisterNative(std::index_sequence<I...>) {
  (benchmark::RegisterBenchmark(BenchmarkName("native", kCases[I].number).c_str(), Native<I>), ...);
}

}  // namespace

std::string BenchmarkName(const char* engine, int caseNumber) {
  return std::string(engine) + "/" + std::to_string(caseNumber);
}

void RegisterBenchmarks() {
  RegisterNative(std::make_index_sequence<kCases.size()>());
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark(BenchmarkName("qvcalc", c.number).c_str(), Qv<false>, c);
    benchmark::RegisterBenchmark(BenchmarkName("qvcalc_by_name", c.number).c_str(), Qv<true>, c);
    benchmark::RegisterBenchmark(BenchmarkName("qvcalc_compile", c.number).c_str(), QvCompile, c);
    if (c.mu.empty()) continue;
    benchmark::RegisterBenchmark(BenchmarkName("muparser", c.number).c_str(), Muparser, c);
    benchmark::RegisterBenchmark(BenchmarkName("muparser_compile", c.number).c_str(), MuCompile, c);
  }
  RegisterNativeBenchmarks();
}
