#include "bench/Columns.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <muParser.h>
#ifdef QV_BENCH_OPENMP
#include <omp.h>
#endif

#include "bench/AllocationCounter.h"
#include "bench/Benchmarks.h"
#include "bench/Probes.h"
#include "bench/Runners.h"
#include "engine/qvExpression.h"

namespace {

// The columns every case reads, random in the ranges where every formula is defined and stays on
// qvCalc's all-double program (positive divisors, non-negative bases of powers), with x on both
// sides of case 9's test. Muparser binds variables to non-const addresses, so they are not const.
struct ColumnData {
  std::vector<double> a, b, c, x, y;
  double* Column(char name) noexcept {
    switch (name) {
      case 'a': return a.data();
      case 'b': return b.data();
      case 'c': return c.data();
      case 'x': return x.data();
      default: return y.data();
    }
  }
};

ColumnData& Data() {
  static ColumnData data = [] {
    ColumnData d;
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> wide(0.5, 2.5), unit(0.0, 1.0);
    for (auto* column : {&d.a, &d.b, &d.c}) {
      column->resize(kColumnRows);
      for (double& value : *column) value = wide(random);
    }
    for (auto* column : {&d.x, &d.y}) {
      column->resize(kColumnRows);
      for (double& value : *column) value = unit(random);
    }
    return d;
  }();
  return data;
}

// The hand-written loop: the case's formula is a compile-time constant, so it is inlined into
// the loop, which reads the same arrays and writes an output array.
template <size_t I>
void NativeRows(double* out, size_t rows) {
  ColumnData& d = Data();
  const double *a = d.a.data(), *b = d.b.data(), *c = d.c.data(), *x = d.x.data(), *y = d.y.data();
  for (size_t r = 0; r < rows; ++r) out[r] = kCases[I].native(Vars{a[r], b[r], c[r], x[r], y[r]});
}

template <size_t... I>
constexpr std::array<void (*)(double*, size_t), sizeof...(I)> NativeLoops(std::index_sequence<I...>) {
  return {NativeRows<I>...};
}
constexpr auto kNativeRows = NativeLoops(std::make_index_sequence<kCases.size()>());

// qvCalc's ValueColumns on the case compiled under index 1, a column for each variable it reads.
class QvColumns {
 public:
  explicit QvColumns(const Case& c) {
    Prepare(engine_, c);
    CompileCase(engine_, c);
    for (char name : c.uses) columns_.push_back(qvColumn{std::u16string(1, char16_t(name)), Data().Column(name)});
  }
  size_t Run(double* out, int32_t* status, unsigned threads, size_t rows = kColumnRows) {
    return engine_.ValueColumns(1, columns_, rows, out, status, threads);
  }

 private:
  qvExpression engine_;
  std::vector<qvColumn> columns_;
};

// muparser's bulk mode: each variable bound to its array, Eval(results, rows) evaluates row r
// with every variable read at offset r. Debian builds muparser with OpenMP, which splits the
// rows over omp_get_max_threads() threads; the count is set before every call.
class MuColumns {
 public:
  explicit MuColumns(const Case& c) {
    for (char name : c.uses) parser_.DefineVar(std::string(1, name), Data().Column(name));
    parser_.SetExpr(std::string(c.mu));
  }
  void Run(double* out, unsigned threads, size_t rows = kColumnRows) {
#ifdef QV_BENCH_OPENMP
    omp_set_num_threads(int(threads));
#else
    (void)threads;
#endif
    parser_.Eval(out, int(rows));
  }

 private:
  mu::Parser parser_;
};

// qvCalc's Value once a row, the row's values assigned to the bound records first.
void ValueRows(QvRunner& qv, double* out, size_t rows) {
  const ColumnData& d = Data();
  for (size_t r = 0; r < rows; ++r) {
    qv.v = Vars{d.a[r], d.b[r], d.c[r], d.x[r], d.y[r]};
    qv.PushBound();
    out[r] = AsNumber(qv.Evaluate());
  }
}

[[noreturn]] void Disagree(const Case& c, const char* what, size_t row, double got, double expected) {
  std::fprintf(stderr, "DISAGREEMENT over columns in case %d, row %zu: %s gives %.17g against %.17g\n",
               c.number, row, what, got, expected);
  std::abort();
}

void CheckRows(const Case& c, const char* what, const std::vector<double>& got, const std::vector<double>& expected,
               bool bitwise) {
  for (size_t r = 0; r < got.size(); ++r) {
    const bool same = bitwise ? std::memcmp(&got[r], &expected[r], sizeof(double)) == 0 : Close(got[r], expected[r]);
    if (!same) Disagree(c, what, r, got[r], expected[r]);
  }
}

// The timed loop of one form: Rows(out) evaluates every row into out. The output array is
// written once before timing so that no page is first touched while the clock runs.
template <class Rows>
void TimeRows(benchmark::State& state, Rows rows) {
  std::vector<double> out(kColumnRows, 0.0);
  for (auto _ : state) {
    rows(out.data());
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(out.data());
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kColumnRows));
}

void ColumnNative(benchmark::State& state, size_t i) {
  TimeRows(state, [i](double* out) { kNativeRows[i](out, kColumnRows); });
}

void ColumnQv(benchmark::State& state, const Case& c, unsigned threads) {
  QvColumns qv(c);
  TimeRows(state, [&](double* out) {
    size_t good = qv.Run(out, nullptr, threads);
    benchmark::DoNotOptimize(good);
  });
}

void ColumnMuparser(benchmark::State& state, const Case& c, unsigned threads) {
  MuColumns mu(c);
  TimeRows(state, [&](double* out) { mu.Run(out, threads); });
}

void ColumnValue(benchmark::State& state, const Case& c) {
  QvRunner qv(c);
  TimeRows(state, [&](double* out) { ValueRows(qv, out, kColumnRows); });
}

// Allocations per ValueColumns call over the first Rows rows, after one call that is not counted.
double AllocationsPerCall(QvColumns& qv, std::vector<double>& out, size_t rows, unsigned threads, int calls,
                          int64_t& growth) {
  qv.Run(out.data(), nullptr, threads, rows);
  const uint64_t before = heap::Allocations();
  const int64_t live = heap::LiveBytes();
  for (int k = 0; k < calls; ++k) qv.Run(out.data(), nullptr, threads, rows);
  growth = std::max(growth, heap::LiveBytes() - live);
  return double(heap::Allocations() - before) / calls;
}

}  // namespace

bool MuparserThreadsSettable() {
#ifdef QV_BENCH_OPENMP
  return true;
#else
  return false;
#endif
}

void CheckColumnAgreement() {
  std::vector<double> native(kColumnRows), one(kColumnRows), two(kColumnRows), other(kColumnRows);
  std::vector<int32_t> status(kColumnRows), status2(kColumnRows);
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    kNativeRows[i](native.data(), kColumnRows);
    QvColumns qv(c);
    const size_t good = qv.Run(one.data(), status.data(), 1);
    if (good != kColumnRows) {
      const size_t row = size_t(std::find_if(status.begin(), status.end(), [](int32_t s) { return s != 0; }) - status.begin());
      std::fprintf(stderr, "case %d: ValueColumns fails %zu rows (row %zu: error %d)\n", c.number, kColumnRows - good,
                   row, row < kColumnRows ? status[row] : 0);
      std::abort();
    }
    CheckRows(c, "ValueColumns against hand-written C++", one, native, false);
    qv.Run(two.data(), status2.data(), 2);
    CheckRows(c, "ValueColumns on two threads against one", two, one, true);
    if (status2 != status) Disagree(c, "the statuses of two threads against one", 0, 0, 0);
    QvRunner runner(c);
    ValueRows(runner, other.data(), kColumnRows);
    CheckRows(c, "the Value loop against ValueColumns", other, one, true);
    if (c.mu.empty()) continue;
    MuColumns mu(c);
    mu.Run(other.data(), 1);
    CheckRows(c, "muparser's bulk mode against hand-written C++", other, native, false);
  }
}

std::array<ColumnProbe, kCases.size()> RunColumnProbes() {
  std::array<ColumnProbe, kCases.size()> probes;
  std::vector<double> out(kColumnRows);
  for (size_t i = 0; i < kCases.size(); ++i) {
    QvColumns qv(kCases[i]);
    ColumnProbe& p = probes[i];
    p.small1 = AllocationsPerCall(qv, out, kSmallColumnRows, 1, 20, p.growthBytes);
    p.large1 = AllocationsPerCall(qv, out, kColumnRows, 1, 2, p.growthBytes);
    p.small2 = AllocationsPerCall(qv, out, kSmallColumnRows, 2, 20, p.growthBytes);
    p.large2 = AllocationsPerCall(qv, out, kColumnRows, 2, 2, p.growthBytes);
  }
  return probes;
}

void RegisterColumnBenchmarks() {
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    benchmark::RegisterBenchmark(BenchmarkName("column_native", c.number).c_str(), ColumnNative, i);
    benchmark::RegisterBenchmark(BenchmarkName("column_qvcalc", c.number).c_str(), ColumnQv, c, 1u);
    // Two threads: the wall clock, since the CPU time is the calling thread's alone.
    benchmark::RegisterBenchmark(BenchmarkName("column_qvcalc_2t", c.number).c_str(), ColumnQv, c, 2u)->UseRealTime();
    benchmark::RegisterBenchmark(BenchmarkName("column_value", c.number).c_str(), ColumnValue, c);
    if (c.mu.empty()) continue;
    benchmark::RegisterBenchmark(BenchmarkName("column_muparser", c.number).c_str(), ColumnMuparser, c, 1u);
    benchmark::RegisterBenchmark(BenchmarkName("column_muparser_2t", c.number).c_str(), ColumnMuparser, c, 2u)
        ->UseRealTime();
  }
}
