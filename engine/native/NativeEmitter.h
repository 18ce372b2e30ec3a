// The code emitters of the native tier, one an instruction set (x86-64: NativeEmitterX86.cpp,
// AArch64: NativeEmitterA64.cpp): the functions of an all-double program, written with asmjit's
// Compiler for the target, which allocates the machine registers. Three give 1 with the
// program's value stored at Value, or 0 where RunDoubleProgram declines, each reading its inputs
// from another place (Inputs below); a fourth runs rows of columns in a loop
// (NativeProgram::RunRows).
#pragma once

#include <asmjit/core.h>

#include "engine/eval/DoubleProgram.h"

namespace qv::native {

// Where a function's inputs come from. Frame: int F(double* Frame, double* Value), the inputs in
// the frame as the caller gathered them. Records: int F(double* Value), the variables' values read
// from their records (declining where one does not hold a double). Values: int F(const double*
// Values, double* Value), the variables' values read from the caller's array. The last two have
// the constants in their code and keep the scratch of their helper calls on their own stack (a
// program without helper calls has none).
enum class Inputs { Frame, Records, Values };

// The entries after the frame's, which starts the code.
struct EntryLabels {
  asmjit::Label records, rows, values;
};

// Emits and assembles the functions of Program into Code (initialised for the host): the frame's
// at the start, then the records', the row loop over columns and the values'. Records holds the
// values of the program's variables, in its order; they must outlive the code. False when asmjit
// reports an error.
bool EmitX86(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
             EntryLabels& Labels);
// The same for AArch64, whose row loop takes one row at a time.
bool EmitA64(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
             EntryLabels& Labels);

}  // namespace qv::native
