// The timed loops, registered with Google Benchmark under the names the table reads:
// native/N, qvcalc/N (bound variables), qvcalc_by_name/N, muparser/N, qvcalc_compile/N and
// muparser_compile/N, for case number N.
#pragma once

#include <string>

void RegisterBenchmarks();
std::string BenchmarkName(const char* engine, int caseNumber);
