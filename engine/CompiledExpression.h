// The compiled code of one expression index: its text and its postfix instructions, as the
// compiler wrote them (the listing reads them), and the program made from them (evaluation runs
// it). Instruction i (1 to Count) is the pair Opcodes[i], Operands[i]; element 0 of both is never
// used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/eval/HostCall.h"
#include "engine/eval/Program.h"
#include "engine/qvVariable.h"

namespace qv {
// The operand of one instruction. A load carries either a constant or the variable record
// itself (shared with the variable store); a host function's call carries the function and its
// number of arguments; every other instruction carries none, which nothing reads as a value.
struct Operand {
  Variant Constant;
  std::shared_ptr<qvVariable> Var;
  HostCall Host = {};
};

// While an expression compiles, both arrays have indices 0 to 300.
inline constexpr int32_t kMaxInstructions = 300;
}  // namespace qv

struct CompiledExpression {
  std::u16string Text;
  int32_t Count = 0;
  std::vector<qv::Operand> Operands;
  std::vector<int16_t> Opcodes;
  std::shared_ptr<const qv::Program> Compiled;  // null until the text has been compiled
  // The failure of a compilation that did not finish, which evaluating the index records again
  // (its code is never run); null for one that did.
  std::shared_ptr<const qv::ErrorState> Failure;
};
