// qvcalc_bench: qvCalc's evaluation and compilation against muparser and hand-written C++.
//   qvcalc_bench [Google Benchmark options]   the timed runs
//   qvcalc_bench --table [options]            5 repetitions each, then the tables of medians
//   qvcalc_bench --columns-table [options]    the same for the evaluation over columns alone
// Before anything is timed, all engines are checked to agree on every expression, one evaluation
// at a time and over columns.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/Benchmarks.h"
#include "bench/Columns.h"
#include "bench/Probes.h"
#include "bench/TableReporter.h"

#ifndef QV_BENCH_FLAGS
#define QV_BENCH_FLAGS "?"
#endif

namespace {
bool IsTableOption(const char* argument) {
  return std::strcmp(argument, "--table") == 0 || std::strcmp(argument, "--columns-table") == 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args{argv[0]};
  bool table = false, columnsOnly = false;
  // Defaults of the table modes; options given on the command line come later and win.
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  static char minTime[] = "--benchmark_min_time=0.05";
  static char columnFilter[] = "--benchmark_filter=^column_";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--table") == 0) table = true;
    if (std::strcmp(argv[i], "--columns-table") == 0) columnsOnly = true;
  }
  if (table || columnsOnly) args.insert(args.end(), {repetitions, aggregates, minTime});
  if (columnsOnly && !table) args.push_back(columnFilter);
  for (int i = 1; i < argc; ++i)
    if (!IsTableOption(argv[i])) args.push_back(argv[i]);
  int count = int(args.size());

  std::printf("compiler %s, flags:%s\n", __VERSION__, QV_BENCH_FLAGS);
  CheckAgreement();
  std::printf("qvCalc (bound and by name), muparser and hand-written C++ agree on all %zu expressions\n",
              kCases.size());
  CheckColumnAgreement();
  std::printf("over %zu rows, ValueColumns (one and two threads), the Value loop, muparser's bulk mode and "
              "hand-written C++ agree on all %zu expressions\n", kColumnRows, kCases.size());
  if (!MuparserThreadsSettable())
    std::printf("OpenMP not found: muparser's bulk mode runs on as many threads as OMP_NUM_THREADS gives\n");
  std::array<Probe, kCases.size()> probes{};
  std::array<ColumnProbe, kCases.size()> columnProbes{};
  if (table) probes = RunProbes();
  if (table || columnsOnly) columnProbes = RunColumnProbes();

  RegisterBenchmarks();
  RegisterColumnBenchmarks();
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (table) {
    reporter.PrintTable(probes);
    reporter.PrintNativeTable();
  }
  if (table || columnsOnly) reporter.PrintColumnTable(columnProbes);
  return 0;
}
