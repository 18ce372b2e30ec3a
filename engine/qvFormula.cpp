// A compiled expression as a plain function of doubles: the fast tiers on a frame of the caller's
// values.
#include "engine/qvFormula.h"

#include <cmath>
#include <type_traits>

#include "engine/CompiledExpression.h"
#include "engine/Engine.h"
#include "engine/eval/Tiers.h"
#include "engine/qvExpression.h"

qvFormula::qvFormula(std::shared_ptr<const qv::Program> Code, bool Strict) : code_(std::move(Code)), strict_(Strict) {
  if (!Runs()) return;
  for (const auto& record : code_->Variables) inputs_.push_back(record->Name);
}

bool qvFormula::Runs() const noexcept { return code_ && code_->Fast; }

qvFormula::qvFormula(const qvFormula& Other)
    : code_(Other.code_), inputs_(Other.inputs_), strict_(Other.strict_),
      entry_(Other.entry_.load(std::memory_order_acquire)) {}

qvFormula::qvFormula(qvFormula&& Other) noexcept
    : code_(std::move(Other.code_)), inputs_(std::move(Other.inputs_)), strict_(Other.strict_),
      entry_(Other.entry_.exchange(nullptr, std::memory_order_acq_rel)) {}

qvFormula& qvFormula::operator=(const qvFormula& Other) {
  if (this != &Other) {
    code_ = Other.code_;
    inputs_ = Other.inputs_;
    strict_ = Other.strict_;
    entry_.store(Other.entry_.load(std::memory_order_acquire), std::memory_order_release);
  }
  return *this;
}

qvFormula& qvFormula::operator=(qvFormula&& Other) noexcept {
  if (this != &Other) {
    entry_.store(Other.entry_.exchange(nullptr, std::memory_order_acq_rel), std::memory_order_release);
    code_ = std::move(Other.code_);
    inputs_ = std::move(Other.inputs_);
    strict_ = Other.strict_;
  }
  return *this;
}

// Until the machine code exists (and in a build without it), evaluations are counted towards
// making it and the all-double program runs on a frame of the values and the constants. A
// strict formula checks its inputs first, on every call.
bool qvFormula::RunBeforeMachineCode(const double* Values, double& Out) const noexcept {
  static_assert(std::is_same_v<Entry, qv::NativeProgram::ValuesEntry>);
  if (!Runs()) return false;
  const size_t n = code_->Variables.size();
  if (strict_)  // a NaN or infinite input is the general evaluation's to report
    for (size_t k = 0; k < n; ++k)
      if (!std::isfinite(Values[k])) return false;
  if (const qv::NativeProgram* native = qv::MachineCode(*code_)) {
    if (!strict_) entry_.store(native->ValuesFunction(), std::memory_order_release);
    return native->RunOnValues(Values, Out);
  }
  double frame[qv::DoubleProgram::kMaxRegisters];
  for (size_t k = 0; k < n; ++k) frame[k] = Values[k];
  code_->Fast->LoadConstants(frame);
  return qv::RunDoubleProgram(*code_->Fast, frame, Out);
}

qvFormula qvExpression::Formula(int32_t Index) const {
  const qv::ExpressionTable& table = engine_->Expressions();
  const CompiledExpression* record = table.Expression(Index == 0 ? table.HighestIndex() : Index);
  const bool runs = record && !record->Text.empty() && !record->Failure;
  return qvFormula(runs ? record->Compiled : nullptr, engine_->Settings().Strict);
}
