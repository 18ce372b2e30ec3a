// The compiled program of one expression: what evaluation runs. It is made once, when the
// expression compiles, and never changes afterwards, so any number of evaluations (on any number
// of threads, each with its own frame and stack) may run it at once.
//
// It lists the variables its code loads (by record, each once) apart from its constants (by
// value). Its numeric core runs on a frame of doubles that the caller gathers from wherever the
// variables' values are: Value gathers it from the bound records, an evaluation over columns from
// the columns' rows; the all-double program and the native form both consume that frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Variant.h"
#include "engine/eval/DoubleProgram.h"
#include "engine/qvVariable.h"

struct CompiledExpression;

namespace qv {

class NativeProgram;

struct Instruction {
  int16_t Op;        // an opcode, or -k for an element of array k
  bool Variable;     // a load of Variables[Index]; otherwise a load reads Constants[Index]
  uint16_t Index;
};

struct Program {
  Program();
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  std::vector<Instruction> Code;
  std::vector<std::shared_ptr<qvVariable>> Variables;
  // The values Value reads: &Variables[k]->Value for each variable, then the all-double program's
  // constants, so that Value gathers the whole frame in one loop.
  std::vector<const Variant*> FrameInputs;
  std::vector<Variant> Constants;
  std::optional<DoubleProgram> Fast;             // the all-double form, or none
  std::unique_ptr<const NativeProgram> Native;   // machine code of Fast, or null
};

// The program of a record's instructions 1 to Count (as many of them as its arrays hold): after
// a failed compilation too, since a host may clear the error and evaluate what was compiled.
// Only the program of a Finished compilation gets the fast tiers.
std::shared_ptr<const Program> BuildProgram(const CompiledExpression& Record, bool Finished);

}  // namespace qv
