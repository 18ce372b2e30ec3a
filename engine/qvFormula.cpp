// A compiled expression as a plain function of doubles: the fast tiers on a frame of the caller's
// values.
#include "engine/qvFormula.h"

#include <cmath>

#include "engine/CompiledExpression.h"
#include "engine/Engine.h"
#include "engine/eval/Tiers.h"
#include "engine/qvExpression.h"

qvFormula::qvFormula(std::shared_ptr<const qv::Program> Code, bool Strict) : code_(std::move(Code)), strict_(Strict) {
  if (!Runs()) return;
  for (const auto& record : code_->Variables) inputs_.push_back(record->Name);
}

bool qvFormula::Runs() const noexcept { return code_ && code_->Fast; }

// With machine code, it reads the caller's array itself and has the constants in its code: the
// call copies nothing and is little more than the call of the code. Until the code exists (and
// in a build without it), and always for a strict formula, which checks its inputs first, the
// call goes out of line, where evaluations are counted towards making
// it and the all-double program runs on a frame of the values and the constants.
bool qvFormula::operator()(const double* Values, double& Out) const noexcept {
  const qv::NativeProgram* native = code_ && !strict_ ? code_->Native.Made() : nullptr;
  if (native) {
    double scratch[qv::DoubleProgram::kMaxRegisters];  // for the code's helper calls
    return native->RunOnValues(Values, scratch, Out);
  }
  return RunBeforeMachineCode(Values, Out);
}

bool qvFormula::RunBeforeMachineCode(const double* Values, double& Out) const noexcept {
  if (!Runs()) return false;
  const size_t n = code_->Variables.size();
  if (strict_)  // a NaN or infinite input is the general evaluation's to report
    for (size_t k = 0; k < n; ++k)
      if (!std::isfinite(Values[k])) return false;
  double frame[qv::DoubleProgram::kMaxRegisters];
  if (const qv::NativeProgram* native = qv::MachineCode(*code_)) return native->RunOnValues(Values, frame, Out);
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
