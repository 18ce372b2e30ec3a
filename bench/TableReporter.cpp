#include "bench/TableReporter.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "bench/Benchmarks.h"
#include "engine/Variant.h"

namespace {

// With repetitions the median stands for the benchmark; a single run stands for itself.
bool Counts(const benchmark::BenchmarkReporter::Run& run) {
  if (run.error_occurred) return false;
  return run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration || run.aggregate_name == "median";
}

// A table cell: the number, or "-" where it was not measured (filtered out, or no counterpart).
std::string Cell(double value, const char* format) {
  if (!(value > 0) || !std::isfinite(value)) return "-";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

struct GeometricMean {
  double logSum = 0;
  int n = 0;
  void Add(double x) {
    if (x > 0 && std::isfinite(x)) logSum += std::log(x), ++n;
  }
  double Value() const { return n ? std::exp(logSum / n) : 0; }
};

}  // namespace

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs)
    if (Counts(run)) times_[run.run_name.function_name] = Times{run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
  ConsoleReporter::ReportRuns(runs);
}

double TableReporter::Time(const char* engine, int caseNumber) const {
  auto it = times_.find(BenchmarkName(engine, caseNumber));
  return it == times_.end() ? 0 : it->second.cpu;
}

double TableReporter::WallTime(const char* engine, int caseNumber) const {
  auto it = times_.find(BenchmarkName(engine, caseNumber));
  return it == times_.end() ? 0 : it->second.real;
}

bool TableReporter::PrintTable(const std::array<Probe, kCases.size()>& probes) const {
  std::printf("\n| # | expression | native ns | qvCalc ns | / native | muparser ns | / muparser "
              "| by name ns | ns per set | compile us | muparser compile us | compile speed-up "
              "| allocs / eval | bytes (muparser) |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  GeometricMean toNative, toMu, speedUp;
  double worstToMu = 0, worstSpeedUp = 1e300, allocations = 0;
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    const Probe& p = probes[i];
    const double native = Time("native", c.number), qv = Time("qvcalc", c.number);
    const double named = Time("qvcalc_by_name", c.number), mu = Time("muparser", c.number);
    const double qvc = Time("qvcalc_compile", c.number) / 1000, muc = Time("muparser_compile", c.number) / 1000;
    const double perSet = (named - qv) / double(c.uses.size());
    std::printf("| %d | `%s` | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %g | %lld", c.number,
                qv::ToNarrow(c.qv).c_str(), Cell(native, "%.2f").c_str(), Cell(qv, "%.2f").c_str(),
                Cell(qv / native, "%.2f").c_str(), Cell(mu, "%.2f").c_str(), Cell(qv / mu, "%.2f").c_str(),
                Cell(named, "%.2f").c_str(), Cell(named > 0 ? perSet : 0, "%.1f").c_str(), Cell(qvc, "%.3f").c_str(),
                Cell(muc, "%.3f").c_str(), Cell(muc / qvc, "%.1f").c_str(), p.allocationsPerEvaluation,
                static_cast<long long>(p.bytesPerExpression));
    if (!c.mu.empty()) std::printf(" (%lld)", static_cast<long long>(p.muBytesPerExpression));
    std::printf(" |\n");
    if (c.number > kMainCases) continue;
    toNative.Add(qv / native);
    toMu.Add(qv / mu);
    speedUp.Add(muc / qvc);
    worstToMu = std::fmax(worstToMu, qv / mu);
    worstSpeedUp = std::fmin(worstSpeedUp, muc / qvc);
    allocations += p.allocationsPerEvaluation + double(p.growthBytes != 0);
  }
  std::printf("| | geometric mean of 1 to %d | | | %s | | %s | | | | | %s | | |\n\n", kMainCases,
              Cell(toNative.Value(), "%.2f").c_str(), Cell(toMu.Value(), "%.2f").c_str(),
              Cell(speedUp.Value(), "%.1f").c_str());
  if (toNative.n != kMainCases || toMu.n != kMainCases || speedUp.n != kMainCases) {
    std::printf("Targets: not every benchmark of expressions 1 to %d ran.\n", kMainCases);
    return false;
  }

  const bool faster = worstToMu < 1, withinTarget = toNative.Value() <= 2.5;
  const bool compiles = worstSpeedUp >= 5, noHeap = allocations == 0;
  std::printf("Targets over expressions 1 to %d:\n", kMainCases);
  std::printf("- faster than muparser on every expression: %s (slowest ratio %.2f)\n", faster ? "met" : "MISSED", worstToMu);
  std::printf("- geometric-mean ratio to native at most 2.5 (goal 2.0): %s (%.2f)\n", withinTarget ? "met" : "MISSED", toNative.Value());
  std::printf("- compilation at least 5x faster than muparser's: %s (smallest speed-up %.1f)\n", compiles ? "met" : "MISSED", worstSpeedUp);
  std::printf("- no heap allocation and no heap growth over %d evaluations: %s\n", kProbeEvaluations, noHeap ? "met" : "MISSED");
  return faster && withinTarget && compiles && noHeap;
}

bool TableReporter::PrintColumnTable(const std::array<ColumnProbe, kCases.size()>& probes) const {
  const double rows = double(kColumnRows);
  std::printf("\nEvaluation over %zu rows, ns per row (CPU time on one thread, wall clock on two; "
              "ValueColumns with Status null):\n\n", kColumnRows);
  std::printf("| # | expression | hand-written | ValueColumns | / hand-written | muparser bulk "
              "| / muparser bulk | ValueColumns 2 threads | speed-up 2 / 1 | muparser bulk 2 threads "
              "| Value loop | Value loop / ValueColumns | allocs / call, %zu and %zu rows (2 threads) |\n",
              kSmallColumnRows, kColumnRows);
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  GeometricMean toNative, toMu, toValue;
  double worstToMu = 0, longestSpeedUp = 0;
  bool perRow = false;
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    const ColumnProbe& p = probes[i];
    const double native = Time("column_native", c.number) / rows, qv = Time("column_qvcalc", c.number) / rows;
    const double mu = Time("column_muparser", c.number) / rows, value = Time("column_value", c.number) / rows;
    const double qv2 = WallTime("column_qvcalc_2t", c.number) / rows;
    const double mu2 = WallTime("column_muparser_2t", c.number) / rows;
    const double speedUp = WallTime("column_qvcalc", c.number) / rows / qv2;
    std::printf("| %d | `%s` | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %g, %g (%g, %g) |\n", c.number,
                qv::ToNarrow(c.qv).c_str(), Cell(native, "%.2f").c_str(), Cell(qv, "%.2f").c_str(),
                Cell(qv / native, "%.2f").c_str(), Cell(mu, "%.2f").c_str(), Cell(qv / mu, "%.2f").c_str(),
                Cell(qv2, "%.2f").c_str(), Cell(speedUp, "%.2f").c_str(), Cell(mu2, "%.2f").c_str(),
                Cell(value, "%.2f").c_str(), Cell(value / qv, "%.1f").c_str(), p.small1, p.large1, p.small2, p.large2);
    perRow |= p.large1 != p.small1 || p.large2 != p.small2 || p.growthBytes != 0;
    if (c.number > kMainCases) continue;
    toNative.Add(qv / native);
    toMu.Add(qv / mu);
    toValue.Add(value / qv);
    worstToMu = std::fmax(worstToMu, qv / mu);
    if (c.number == kMainCases) longestSpeedUp = speedUp;
  }
  std::printf("| | geometric mean of 1 to %d | | | %s | | %s | | | | | %s | |\n\n", kMainCases,
              Cell(toNative.Value(), "%.2f").c_str(), Cell(toMu.Value(), "%.2f").c_str(),
              Cell(toValue.Value(), "%.1f").c_str());
  if (toNative.n != kMainCases || toMu.n != kMainCases || !(longestSpeedUp > 0)) {
    std::printf("Targets over columns: not every benchmark of expressions 1 to %d ran.\n", kMainCases);
    return false;
  }
  const bool withinBound = toNative.Value() <= 1.5, faster = worstToMu < 1;
  const bool scales = longestSpeedUp >= 1.8, noHeap = !perRow;
  std::printf("Targets over columns, expressions 1 to %d:\n", kMainCases);
  std::printf("- ValueColumns on one thread at most 1.5x the hand-written loop, geometric mean (goal 1.0): %s (%.2f)\n",
              withinBound ? "met" : "MISSED", toNative.Value());
  std::printf("- faster than muparser's bulk mode on every expression, one thread each: %s (slowest ratio %.2f)\n",
              faster ? "met" : "MISSED", worstToMu);
  std::printf("- two threads at least 1.8x as fast as one on expression %d: %s (%.2f)\n", kMainCases,
              scales ? "met" : "MISSED", longestSpeedUp);
  std::printf("- no heap allocation per row (same count per call at %zu and %zu rows, no growth): %s\n",
              kSmallColumnRows, kColumnRows, noHeap ? "met" : "MISSED");
  return withinBound && faster && scales && noHeap;
}

void TableReporter::PrintNativeTable() const {
  bool any = false;
  for (const Case& c : kCases) any |= Time("native_code", c.number) > 0;
  if (!any) return;
  std::printf("\n| # | expression | native ns | machine code ns | / native | / muparser | qvFormula ns "
              "| qvFormula / native | all-double program ns | code generation us | qvCalc compile us "
              "| muparser compile us | compile speed-up |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  GeometricMean toNative, toMu, formulaToNative;
  double worstSpeedUp = 1e300;
  for (const Case& c : kCases) {
    const double code = Time("native_code", c.number);
    if (code <= 0) continue;
    const double native = Time("native", c.number), mu = Time("muparser", c.number);
    const double generation = Time("native_code_compile", c.number) / 1000;
    // Compile does not make the machine code: the evaluation that reaches the engine's count
    // (NativeAfter) does, at the cost in the generation column.
    const double compile = Time("qvcalc_compile", c.number) / 1000;
    const double muc = Time("muparser_compile", c.number) / 1000;
    const double formula = Time("formula", c.number);
    std::printf("| %d | `%s` | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.number,
                qv::ToNarrow(c.qv).c_str(), Cell(native, "%.2f").c_str(), Cell(code, "%.2f").c_str(),
                Cell(code / native, "%.2f").c_str(), Cell(code / mu, "%.2f").c_str(), Cell(formula, "%.2f").c_str(),
                Cell(formula / native, "%.2f").c_str(), Cell(Time("double_program", c.number), "%.2f").c_str(),
                Cell(generation, "%.2f").c_str(), Cell(compile, "%.2f").c_str(), Cell(muc, "%.3f").c_str(),
                Cell(muc / compile, "%.2f").c_str());
    if (c.number > kMainCases) continue;
    toNative.Add(code / native);
    toMu.Add(code / mu);
    formulaToNative.Add(formula / native);
    if (muc > 0 && compile > 0) worstSpeedUp = std::fmin(worstSpeedUp, muc / compile);
  }
  std::printf("| | geometric mean of 1 to %d | | | %s | %s | | %s | | | | | |\n\n", kMainCases,
              Cell(toNative.Value(), "%.2f").c_str(), Cell(toMu.Value(), "%.2f").c_str(),
              Cell(formulaToNative.Value(), "%.2f").c_str());
  std::printf("qvFormula at most 2.5x native, geometric mean (beyond: 2.0): %s (%.2f)\n",
              formulaToNative.Value() <= 2.5 ? "met" : "MISSED", formulaToNative.Value());
  std::printf("Compilation (machine code generated later) at least 5x faster than muparser's: %s (smallest speed-up %.2f)\n",
              worstSpeedUp >= 5 ? "met" : "MISSED", worstSpeedUp);
}
