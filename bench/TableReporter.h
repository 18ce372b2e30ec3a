// The --table mode: keeps the median time of every benchmark while the console shows the runs,
// then prints Markdown tables of all cases and the state of the targets: one of single
// evaluations, one of evaluation over columns.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/Columns.h"
#include "bench/Probes.h"

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // Prints the table and the targets; false when a target of the ten expressions is missed.
  bool PrintTable(const std::array<Probe, kCases.size()>& probes) const;
  // The same for the evaluation over columns, in ns per row.
  bool PrintColumnTable(const std::array<ColumnProbe, kCases.size()>& probes) const;
  // The native tier's table, when its benchmarks ran: the machine code and the all-double program
  // against hand-written C++ and muparser, and the cost of generating the code.
  void PrintNativeTable() const;

 private:
  struct Times {
    double cpu = 0, real = 0;  // median ns per iteration
  };
  double Time(const char* engine, int caseNumber) const;      // median CPU ns, 0 when not run
  double WallTime(const char* engine, int caseNumber) const;  // median wall-clock ns, 0 when not run
  std::map<std::string, Times> times_;
};
