// The steps of the all-double program that machine code does not compute inline: power, the
// factorial and the functions. Each computes through the same function of the double semantics
// (engine/eval/DoubleSemantics.h) as RunDoubleProgram does, so both give the same bits; generated
// code calls them.
//
// Each stores the step's result at Out and returns true, or returns false, storing nothing, where
// RunDoubleProgram declines (a domain failure, or a result that is not finite). A host function's
// call has its helper beside the all-double program's call: HostValue (engine/eval/HostCall.h).
#pragma once

#include <cstdint>

namespace qv::native {

bool PowerStep(double A, double B, double* Out) noexcept;
bool FactStep(double A, double* Out) noexcept;
bool SinStep(double A, double* Out) noexcept;
bool CosStep(double A, double* Out) noexcept;
bool ExpStep(double A, double* Out) noexcept;
// Any other function of RealValue, by its opcode.
bool FunctionStep(double A, int32_t Opcode, double* Out) noexcept;

}  // namespace qv::native
