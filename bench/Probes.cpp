#include "bench/Probes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bench/AllocationCounter.h"
#include "bench/Runners.h"

namespace {

[[noreturn]] void Disagree(const Case& c, const char* engine, double got, double expected) {
  std::fprintf(stderr, "DISAGREEMENT in case %d: %s gives %.17g, hand-written C++ gives %.17g\n",
               c.number, engine, got, expected);
  std::abort();
}

// The variable states checked: the start, a state after many steps, and states moved by whole
// amounts, all inside every formula's domain and on both sides of case 9's test.
Vars StateNumber(int k) {
  Vars v = kStart;
  for (int i = 0; i < k * 1000; ++i) Advance(v);
  v.a += 0.5 * k;
  v.c -= 0.25 * k;
  v.x += 0.0625 * k;
  return v;
}

void CheckCase(const Case& c) {
  QvRunner qv(c);
  std::unique_ptr<MuRunner> mu = c.mu.empty() ? nullptr : std::make_unique<MuRunner>(c);
  for (int k = 0; k < 4; ++k) {
    const Vars state = StateNumber(k);
    const double expected = c.native(state);
    qv.v = state;
    qv.PushBound();
    const Variant bound = qv.Evaluate();
    if (!bound.isNumber() || qv.Engine().ErrorCode() != 0 || !Close(bound.asDouble(), expected))
      Disagree(c, "qvCalc (bound variables)", AsNumber(bound), expected);
    qv.PushByName();
    const Variant named = qv.Evaluate();
    if (named.kind() != bound.kind() || AsNumber(named) != AsNumber(bound))
      Disagree(c, "qvCalc (variables by name)", AsNumber(named), expected);
    if (mu) {
      mu->v = state;
      const double m = mu->Evaluate();
      if (!Close(m, expected)) Disagree(c, "muparser", m, expected);
    }
  }
}

// qvCalc on bound variables: allocations and heap growth over many evaluations after the runner's
// first ones (which generate the machine code).
void CountEvaluations(const Case& c, Probe& p) {
  QvRunner qv(c);
  const uint64_t before = heap::Allocations();
  const int64_t live = heap::LiveBytes();
  double sum = 0;
  for (int i = 0; i < kProbeEvaluations; ++i) {
    Advance(qv.v);
    qv.PushBound();
    sum += AsNumber(qv.Evaluate());
  }
  p.allocationsPerEvaluation = double(heap::Allocations() - before) / kProbeEvaluations;
  p.growthBytes = heap::LiveBytes() - live;
  if (!std::isfinite(sum)) std::fprintf(stderr, "case %d: the sum is not finite\n", c.number);

  constexpr int kSets = 10000;
  const uint64_t setsBefore = heap::Allocations();
  for (int i = 0; i < kSets; ++i) qv.PushByName();
  p.allocationsPerSet = double(heap::Allocations() - setsBefore) / (double(kSets) * double(qv.VariableCount()));
}

void CountMuparser(const Case& c, Probe& p) {
  if (c.mu.empty()) return;
  const int64_t live = heap::LiveBytes();
  auto mu = std::make_unique<MuRunner>(c);
  mu->Evaluate();
  p.muBytesPerExpression = heap::LiveBytes() - live;
  constexpr int kEvaluations = 100000;
  const uint64_t before = heap::Allocations();
  for (int i = 0; i < kEvaluations; ++i) mu->Evaluate();
  p.muAllocationsPerEvaluation = double(heap::Allocations() - before) / kEvaluations;
}

// The heap that compiling leaves behind on an engine whose variables and definitions exist: the
// expression table grows from slot 0 alone to slots 0 and 1, so the difference is one record
// and everything it holds.
void CountCompiledBytes(const Case& c, Probe& p) {
  qvExpression engine;
  Prepare(engine, c);
  for (char name : c.uses) engine.BindVariable(std::u16string(1, char16_t(name)));
  const int64_t live = heap::LiveBytes();
  CompileCase(engine, c);
  p.bytesPerExpression = heap::LiveBytes() - live;
}

}  // namespace

bool Close(double got, double expected) {
  return std::fabs(got - expected) <= 1e-12 * std::fmax(1.0, std::fabs(expected));
}

void CheckAgreement() {
  for (const Case& c : kCases) CheckCase(c);
}

std::array<Probe, kCases.size()> RunProbes() {
  std::array<Probe, kCases.size()> probes;
  for (size_t i = 0; i < kCases.size(); ++i) {
    CountEvaluations(kCases[i], probes[i]);
    CountMuparser(kCases[i], probes[i]);
    CountCompiledBytes(kCases[i], probes[i]);
  }
  return probes;
}
