// A compiled expression as a plain function of doubles, for hosts that want neither the variant
// interface nor the engine in their loop. It shares the engine's compiled program (which never
// changes), so it stays valid after the engine recompiles, resets or is destroyed, and any
// number of threads may call it at once.
//
// It runs the fast tiers only: for an expression they cannot take (texts, user functions, arrays,
// RND, whole-number arithmetic) or for inputs where the engine's general evaluation must decide
// (a zero divisor, a domain failure, a result beyond the double range, an input that is NaN and
// meets arithmetic), the call answers false, and the host evaluates through the engine instead.
// From an engine under the strict profile it also answers false for any input that is NaN or
// infinite, which that engine's evaluation fails; for an expression that did not compile it runs
// nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {
struct Program;
}

class qvFormula {
 public:
  qvFormula() = default;  // runs nothing: Runs() is false

  // Whether the fast tiers take this expression at all.
  bool Runs() const noexcept;
  // The variables the expression reads, in the order the call takes their values.
  const std::vector<std::u16string>& Inputs() const noexcept { return inputs_; }
  // The value for Values (one per input, in Inputs' order): true with Out set, false when the
  // engine's general evaluation must decide (Out then untouched).
  bool operator()(const double* Values, double& Out) const noexcept;

 private:
  friend class qvExpression;
  qvFormula(std::shared_ptr<const qv::Program> Code, bool Strict);
  // The call while the program has no machine code (yet, or in this build), and every
  // call of a strict formula, which checks its inputs first: kept out of line so
  // that the call with machine code stays short.
  [[gnu::noinline]] bool RunBeforeMachineCode(const double* Values, double& Out) const noexcept;

  std::shared_ptr<const qv::Program> code_;
  std::vector<std::u16string> inputs_;
  bool strict_ = false;
};
