// qvcalc_bench: qvCalc's evaluation and compilation against muparser and hand-written C++.
//   qvcalc_bench [Google Benchmark options]   the timed runs
//   qvcalc_bench --table [options]            5 repetitions each, then the table of medians
// Before anything is timed, all engines are checked to agree on every expression.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/Benchmarks.h"
#include "bench/Probes.h"
#include "bench/TableReporter.h"

#ifndef QV_BENCH_FLAGS
#define QV_BENCH_FLAGS "?"
#endif

int main(int argc, char** argv) {
  std::vector<char*> args{argv[0]};
  bool table = false;
  // Defaults of the table mode; options given on the command line come later and win.
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  static char minTime[] = "--benchmark_min_time=0.05";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--table") == 0) table = true;
  }
  if (table) args.insert(args.end(), {repetitions, aggregates, minTime});
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--table") != 0) args.push_back(argv[i]);
  int count = int(args.size());

  std::printf("compiler %s, flags:%s\n", __VERSION__, QV_BENCH_FLAGS);
  CheckAgreement();
  std::printf("qvCalc (bound and by name), muparser and hand-written C++ agree on all %zu expressions\n",
              kCases.size());
  std::array<Probe, kCases.size()> probes{};
  if (table) probes = RunProbes();

  RegisterBenchmarks();
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (table) reporter.PrintTable(probes);
  return 0;
}
