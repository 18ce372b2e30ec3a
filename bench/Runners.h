// One engine set up for one case, the way a host drives it in an inner loop: each iteration moves
// the variables on, hands them to the engine and evaluates.
#pragma once

#include <array>
#include <memory>
#include <string>

#include <muParser.h>

#include "bench/Cases.h"
#include "engine/qvExpression.h"

// qvCalc: the case compiled under index 1 and evaluated until its machine code exists (in builds
// with the native tier); its variables reachable both through their records (BindVariable, the
// host assigns Value) and by name (Variable).
class QvRunner {
 public:
  explicit QvRunner(const Case& c);
  Vars v = kStart;

  // The variables into their records, as a host that bound them does.
  void PushBound() noexcept {
    for (size_t k = 0; k < used_; ++k) records_[k]->Value = *sources_[k];
  }
  // The variables set by name, as a host of the control does.
  void PushByName() {
    for (size_t k = 0; k < used_; ++k) engine_.Variable(names_[k], *sources_[k]);
  }
  Variant Evaluate() { return engine_.Value(index_); }
  qvExpression& Engine() noexcept { return engine_; }
  size_t VariableCount() const noexcept { return used_; }

 private:
  qvExpression engine_;
  int32_t index_ = 1;
  size_t used_ = 0;
  std::array<std::shared_ptr<qvVariable>, 5> records_;
  std::array<Variant, 5> names_;
  std::array<double*, 5> sources_{};
};

// muparser: the variables bound by address.
class MuRunner {
 public:
  explicit MuRunner(const Case& c);
  Vars v = kStart;
  double Evaluate() { return parser_.Eval(); }
  mu::Parser& Parser() noexcept { return parser_; }

 private:
  mu::Parser parser_;
};

// The control's conversion of a result: a number as it is, empty as 0.
inline double AsNumber(const Variant& r) noexcept {
  double d = 0;
  r.toNumber(d);
  return d;
}

// Compiles the case on a prepared engine under index 1; aborts on a compilation failure.
void CompileCase(qvExpression& engine, const Case& c);
