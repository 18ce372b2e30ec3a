// Making the program of a compiled record: its instructions with their operands split into
// variables and constants, and the fast tiers' forms.
#include "engine/eval/Program.h"

#include <algorithm>

#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/DoubleProgram.h"
#include "engine/eval/Tiers.h"

namespace qv {

bool NativeSlot::Claim(uint32_t Runs, uint32_t After) noexcept {
  const uint32_t seen = runs_.load(std::memory_order_relaxed);
  if (seen < After) {
    const uint32_t counted = Runs >= After - seen ? After : seen + Runs;
    runs_.store(counted, std::memory_order_relaxed);
    if (counted < After) return false;
  }
  return !claimed_.load(std::memory_order_relaxed) && !claimed_.exchange(true, std::memory_order_acq_rel);
}

namespace {

// The index of a load's variable in the program's list, adding it on its first load.
uint16_t VariableIndex(Program& code, const std::shared_ptr<qvVariable>& record) {
  auto it = std::find(code.Variables.begin(), code.Variables.end(), record);
  if (it != code.Variables.end()) return uint16_t(it - code.Variables.begin());
  code.Variables.push_back(record);
  return uint16_t(code.Variables.size() - 1);
}

}  // namespace

std::shared_ptr<const Program> BuildProgram(const CompiledExpression& Record, bool Finished,
                                            uint32_t NativeAfter) {
  auto code = std::make_shared<Program>();
  code->NativeAfter = NativeAfter;
  const size_t stored = std::min(Record.Opcodes.size(), Record.Operands.size());
  const int64_t count = std::min<int64_t>(Record.Count, int64_t(stored) - 1);
  code->Code.reserve(size_t(std::max<int64_t>(count, 0)));
  for (int64_t i = 1; i <= count; ++i) {
    Instruction instruction{Record.Opcodes[size_t(i)], false, 0};
    if (instruction.Op == OpLoad) {
      const Operand& operand = Record.Operands[size_t(i)];
      if (operand.Var) {
        instruction.Variable = true;
        instruction.Index = VariableIndex(*code, operand.Var);
      } else {
        code->Constants.push_back(operand.Constant);
        instruction.Index = uint16_t(code->Constants.size() - 1);
      }
    }
    if (instruction.Op == OpHost) {  // an index past Hosts for a call without its function
      const HostCall& call = Record.Operands[size_t(i)].Host;
      instruction.Index = uint16_t(code->Hosts.size());
      if (call.Function) {
        code->Impure = code->Impure || !call.Function->Function.Pure;
        code->Hosts.push_back(call);
      }
    }
    code->Code.push_back(instruction);
  }
  if (Finished) code->Fast = DeriveDoubleProgram(*code);
  code->FrameInputs.reserve(code->Variables.size() + (code->Fast ? code->Fast->Constants.size() : 0));
  for (const auto& record : code->Variables) code->FrameInputs.push_back(&record->Value);
  if (code->Fast)
    for (const Variant& c : code->Fast->Constants) code->FrameInputs.push_back(&c);
  if (NativeAfter == 0) MachineCode(*code, 0);
  return code;
}

}  // namespace qv
