// The compiled code of one expression index: its text and its postfix instructions. Instruction i
// (1 to Count) is the pair Opcodes[i], Operands[i]; element 0 of both is never used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Variant.h"
#include "engine/qvVariable.h"

// The operand of one instruction. A load carries either a constant or the variable record
// itself (shared with the variable store); every other instruction carries neither, which
// nothing reads as a value.
struct Operand {
  Variant Constant;
  std::shared_ptr<qvVariable> Var;
};

struct DoubleProgram;  // engine/eval/DoubleProgram.h

struct CompiledExpression {
  std::u16string Text;
  int32_t Count = 0;
  std::vector<Operand> Operands;
  std::vector<int16_t> Opcodes;
  // The all-double form of the instructions, derived when the expression compiles successfully
  // (null when the code holds anything it does not cover); the evaluator runs it first.
  std::shared_ptr<const DoubleProgram> Fast;
};

// While an expression compiles, both arrays have indices 0 to 300.
inline constexpr int32_t kMaxInstructions = 300;
