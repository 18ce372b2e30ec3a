// The --table mode: keeps the median time of every benchmark while the console shows the runs,
// then prints one Markdown table of all cases and the state of the targets.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/Probes.h"

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // Prints the table and the targets; false when a target of the ten expressions is missed.
  bool PrintTable(const std::array<Probe, kCases.size()>& probes) const;

 private:
  double Time(const char* engine, int caseNumber) const;  // median CPU ns, 0 when not run
  std::map<std::string, double> times_;
};
