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

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qv {
struct Program;
}

class qvFormula {
 public:
  qvFormula() = default;  // runs nothing: Runs() is false
  qvFormula(const qvFormula& Other);
  qvFormula(qvFormula&& Other) noexcept;
  qvFormula& operator=(const qvFormula& Other);
  qvFormula& operator=(qvFormula&& Other) noexcept;

  // Whether the fast tiers take this expression at all.
  bool Runs() const noexcept;
  // The variables the expression reads, in the order the call takes their values.
  const std::vector<std::u16string>& Inputs() const noexcept { return inputs_; }
  // The value for Values (one per input, in Inputs' order): true with Out set, false when the
  // engine's general evaluation must decide (Out then untouched). Once the machine code exists,
  // the call is the call of its entry, which reads Values itself and has the constants in its
  // code; everything else is out of line.
  bool operator()(const double* Values, double& Out) const noexcept {
    if (const Entry entry = entry_.load(std::memory_order_acquire)) return entry(Values, &Out) != 0;
    return RunBeforeMachineCode(Values, Out);
  }

 private:
  friend class qvExpression;
  // The machine code's entry on the caller's values (qv::NativeProgram::ValuesEntry).
  using Entry = int (*)(const double* Values, double* Value) noexcept;
  qvFormula(std::shared_ptr<const qv::Program> Code, bool Strict);
  // The call while the program has no machine code (yet, or in this build), and every call of a
  // strict formula, which checks its inputs first. Once the code exists it keeps its entry for
  // the calls after (a formula that is not strict).
  [[gnu::noinline]] bool RunBeforeMachineCode(const double* Values, double& Out) const noexcept;

  std::shared_ptr<const qv::Program> code_;
  std::vector<std::u16string> inputs_;
  bool strict_ = false;
  // The entry of code_'s machine code, kept by the first call that finds it made; it lives as
  // long as code_. Atomic: calls on several threads may find it at once.
  mutable std::atomic<Entry> entry_{nullptr};
};
