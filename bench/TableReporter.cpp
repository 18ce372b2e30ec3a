#include "bench/TableReporter.h"

#include <cmath>
#include <cstdio>

#include "bench/Benchmarks.h"
#include "engine/Variant.h"

namespace {

// With repetitions the median stands for the benchmark; a single run stands for itself.
bool Counts(const benchmark::BenchmarkReporter::Run& run) {
  if (run.error_occurred) return false;
  return run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration || run.aggregate_name == "median";
}

struct GeometricMean {
  double logSum = 0;
  int n = 0;
  void Add(double x) {
    if (x > 0) logSum += std::log(x), ++n;
  }
  double Value() const { return n ? std::exp(logSum / n) : 0; }
};

}  // namespace

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs)
    if (Counts(run)) times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
  ConsoleReporter::ReportRuns(runs);
}

double TableReporter::Time(const char* engine, int caseNumber) const {
  auto it = times_.find(BenchmarkName(engine, caseNumber));
  return it == times_.end() ? 0 : it->second;
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
    std::printf("| %d | `%s` | %.2f | %.2f | %.2f | ", c.number, ToNarrow(c.qv).c_str(), native, qv, qv / native);
    if (mu > 0) std::printf("%.2f | %.2f | ", mu, qv / mu); else std::printf("- | - | ");
    std::printf("%.2f | %.1f | %.3f | ", named, perSet, qvc);
    if (muc > 0) std::printf("%.3f | %.1f | ", muc, muc / qvc); else std::printf("- | - | ");
    std::printf("%g | %lld", p.allocationsPerEvaluation, static_cast<long long>(p.bytesPerExpression));
    if (mu > 0) std::printf(" (%lld)", static_cast<long long>(p.muBytesPerExpression));
    std::printf(" |\n");
    if (c.number > kMainCases) continue;
    toNative.Add(qv / native);
    toMu.Add(qv / mu);
    speedUp.Add(muc / qvc);
    worstToMu = std::fmax(worstToMu, qv / mu);
    worstSpeedUp = std::fmin(worstSpeedUp, muc / qvc);
    allocations += p.allocationsPerEvaluation + double(p.growthBytes != 0);
  }
  std::printf("| | geometric mean of 1 to %d | | | %.2f | | %.2f | | | | | %.1f | | |\n\n", kMainCases,
              toNative.Value(), toMu.Value(), speedUp.Value());

  const bool faster = worstToMu < 1, withinFour = toNative.Value() <= 4;
  const bool compiles = worstSpeedUp >= 5, noHeap = allocations == 0;
  std::printf("Targets over expressions 1 to %d:\n", kMainCases);
  std::printf("- faster than muparser on every expression: %s (slowest ratio %.2f)\n", faster ? "met" : "MISSED", worstToMu);
  std::printf("- geometric-mean ratio to native at most 4 (goal 2.5): %s (%.2f)\n", withinFour ? "met" : "MISSED", toNative.Value());
  std::printf("- compilation at least 5x faster than muparser's: %s (smallest speed-up %.1f)\n", compiles ? "met" : "MISSED", worstSpeedUp);
  std::printf("- no heap allocation and no heap growth over %d evaluations: %s\n", kProbeEvaluations, noHeap ? "met" : "MISSED");
  return faster && withinFour && compiles && noHeap;
}
