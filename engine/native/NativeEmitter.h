// The x86-64 code emitter of the native tier: one function per all-double program, written with
// asmjit's x86::Compiler, which allocates the machine registers. The function is
// int F(double* Frame, double* Value): 1 with the program's value stored at Value, or 0 where
// RunDoubleProgram declines.
#pragma once

#include <asmjit/core.h>

#include "engine/eval/DoubleProgram.h"

namespace qv::native {

// Whether the emitter has code for a step.
bool Supported(DoubleOp Op);

// Emits and assembles Program into Code (initialised for the host). Registers that no step has
// written when they are read are read from the frame. False when asmjit reports an error.
bool EmitX86(const DoubleProgram& Program, asmjit::CodeHolder& Code);

}  // namespace qv::native
