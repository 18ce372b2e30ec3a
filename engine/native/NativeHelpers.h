// The steps of the all-double program that machine code does not compute inline: power, the
// factorial and the functions. Each computes through the same function of the double semantics
// (engine/eval/DoubleSemantics.h) as RunDoubleProgram does, so both give the same bits; generated
// code calls them.
//
// Each returns the step's result, or NaN where RunDoubleProgram declines (a domain failure, or a
// result that is not finite): the result comes back in a register, and the code's finiteness test
// (at the step, or at the step it is carried into) declines on the NaN as on any other step's. A
// helper's result is finite wherever the program takes it, so a NaN is never a value the program
// would keep. A host function's call has its helper beside the all-double program's call:
// HostValue (engine/eval/HostCall.h).
#pragma once

#include <cstdint>

namespace qv::native {

double PowerStep(double A, double B) noexcept;
double FactStep(double A) noexcept;
double SinStep(double A) noexcept;
double CosStep(double A) noexcept;
double ExpStep(double A) noexcept;
// Any other function of RealValue, by its opcode.
double FunctionStep(double A, int32_t Opcode) noexcept;

}  // namespace qv::native
