// The general loop as a function: a program, its inputs and what the loop reads of its engine
// (LoopContext) give an Outcome, the value or the failure recorded (Evaluator.cpp). It writes no
// error state but the outcome's, so several threads may run it on one engine's arrays at once;
// only a call of a user function (which changes its sub-engine) and RND (the generator) touch the
// engine's state.
#pragma once

#include <cstdint>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/Outcome.h"
#include "engine/eval/Program.h"
#include "engine/eval/RandomGenerator.h"
#include "engine/stores/ArrayStore.h"

namespace qv {

class Machine;

// How the general loop reaches the user functions, which live with the engine.
class UserFunctionCalls {
 public:
  // A user-function slot's opcode: its arguments from M, its value into M's accumulator; with the
  // trap off a failure inside the body is recorded in Failure.
  virtual void CallUserFunc(Machine& M, int16_t Opcode, ErrorState& Failure) = 0;

 protected:
  ~UserFunctionCalls() = default;
};

struct LoopContext {
  const OpcodeTable& Opcodes;
  ArrayStore& Arrays;  // read only; its names for the failures' texts
  RandomGenerator& Random;
  UserFunctionCalls& Functions;
  bool Trap;    // the evaluation trap: continue on failure
  bool Strict;  // inputs must be finite
};

Outcome Evaluate(const LoopContext& Context, const Program& Code, const Variant* const* Values);

}  // namespace qv
