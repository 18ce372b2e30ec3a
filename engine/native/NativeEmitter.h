// The code emitters of the native tier, one an instruction set (x86-64: NativeEmitterX86.cpp,
// AArch64: NativeEmitterA64.cpp): two functions per all-double program, written with asmjit's
// Compiler for the target, which allocates the machine registers. Both are
// int F(double* Frame, double* Value): 1 with the program's value stored at Value, or 0 where
// RunDoubleProgram declines. The first reads its inputs from the frame, as the caller gathered
// them; the second reads the variables' values straight from their records (declining where one
// does not hold a double, as gathering would) and has the constants in its code, so it uses the
// frame only as scratch. A third runs rows of columns in a loop (NativeProgram::RunRows).
#pragma once

#include <asmjit/core.h>

#include "engine/eval/DoubleProgram.h"

namespace qv::native {

// Emits and assembles the functions of Program into Code (initialised for the host): the frame's
// at the start, the records' at RecordsEntry, the row loop over columns at RowsEntry. Records
// holds the values of the program's variables, in its order; they must outlive the code. False
// when asmjit reports an error.
bool EmitX86(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
             asmjit::Label& RecordsEntry, asmjit::Label& RowsEntry);
// The same for AArch64, whose row loop takes one row at a time.
bool EmitA64(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
             asmjit::Label& RecordsEntry, asmjit::Label& RowsEntry);

}  // namespace qv::native
