// The all-double form of a compiled expression: a short register program derived from the
// instruction arrays when an expression compiles, for code made only of numeric loads, the
// arithmetic and comparison operators and the pure numeric functions. Value runs it first; it
// declines (and the general loop then runs from instruction 1, which is safe because these
// instructions have no side effects) whenever its result could differ from the general loop's in
// value, kind or recorded failure: a variable that does not hold a double, a result that is not
// finite, a zero divisor, an argument outside a function's domain, ACOS of exactly 1.
//
// Kinds are decided when the program is derived. Whole-number constants and the 0 and 1 of
// comparisons are carried as doubles (exactly); an instruction is admitted only where the general
// loop's result kind follows from its operands' kinds alone: + - * with at least one double
// operand give a double, / ^ and the functions always give a double, comparisons, NOT, AND, OR,
// XOR and SGN give a 16-bit whole number, MIN, MAX and IIF give one of their operands. Whole-number
// arithmetic (which widens by value) and anything of unknown kind at the end are left to the
// general loop.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/Variant.h"
#include "engine/eval/DoubleOp.h"

// The fast tiers' entry points are inlined into their callers: a call each would cost a good part
// of a short expression's time.
#define QV_ALWAYS_INLINE __attribute__((always_inline)) inline

namespace qv {

struct Program;

// One step: registers[Target] := Op(registers[A], registers[B], registers[C]). Unused operand
// fields repeat A.
struct DoubleStep {
  DoubleOp Op;
  uint8_t Target, A, B, C;
  int16_t Opcode;  // the function's opcode, for Function
};

struct HostFunction;

// A host function's call: the function (which the compiled program holds) and the registers of
// its arguments, in order.
struct DoubleHostCall {
  const HostFunction* Function;
  std::vector<uint8_t> Args;
};

struct DoubleProgram {
  static constexpr int kMaxRegisters = 256;

  // The registers at entry: [0, Variables) the values of the compiled program's variables, in its
  // order, as the caller gathers them into the frame; then the Constants (LoadConstants puts them
  // there); the stack positions follow them.
  uint16_t Variables = 0;
  std::vector<Variant> Constants;  // doubles, held as values so that Value gathers them as inputs
  std::vector<DoubleStep> Steps;
  std::vector<DoubleHostCall> Hosts;  // by the Host steps' A
  uint8_t Result = 0;
  Variant::Kind ResultKind = Variant::Kind::Double;  // Double, Int16 or Int32

  size_t InputCount() const noexcept { return Variables + Constants.size(); }
  void LoadConstants(double* Frame) const noexcept {
    for (size_t k = 0; k < Constants.size(); ++k) Frame[Variables + k] = Constants[k].asDouble();
  }
};

// The all-double form of a successfully compiled program, or null when the program holds
// anything it does not cover.
std::optional<DoubleProgram> DeriveDoubleProgram(const Program& Code);

}  // namespace qv

// RunDoubleProgram (engine/eval/DoubleProgramRun.h) runs the program on a frame: true with the
// value the general loop would give, or false when the general loop must decide.
