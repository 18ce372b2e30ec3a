// What every emitter of the native tier needs to know about the steps of an all-double program,
// whatever the instruction set: which steps have machine code, how many operands a step reads,
// which results need the finiteness test, which powers are squares.
#pragma once

#include <asmjit/core.h>

#include <vector>

#include "engine/eval/DoubleProgram.h"

namespace qv::native {

// Whether the emitters have code for a step.
bool Supported(DoubleOp Op);

// The number of operands a step reads; the unused operand fields repeat A.
int Operands(DoubleOp Op);

// Which steps need the finiteness test of their result. A step whose result is used only where a
// value that is not finite makes the using step's result not finite too (an operand of + - *, the
// dividend of /, the operand of negation) leaves the test to that step: the program declines
// there instead, which is the same decision. The program's result and a result nobody reads are
// always tested.
std::vector<bool> TestedSteps(const std::vector<DoubleStep>& Steps, int Result);

// A power whose exponent is the constant 2: one multiplication, as the power's semantics say.
bool IsSquare(const DoubleProgram& Program, const DoubleStep& S);

// Whether a step calls a helper (engine/native/NativeHelpers.h) instead of computing inline:
// powers other than squares, FACT and the functions other than the square root.
bool CallsHelper(const DoubleProgram& Program, const DoubleStep& S);

// The helper of a step of one operand that calls one (FACT, SIN, COS, EXP); null for any other.
using OneOperandHelper = bool (*)(double, double*) noexcept;
OneOperandHelper HelperOf(DoubleOp Op);

// Records whether asmjit reported any error while a function was emitted or assembled.
class ErrorFlag : public asmjit::ErrorHandler {
 public:
  void handleError(asmjit::Error, const char*, asmjit::BaseEmitter*) override { failed = true; }
  bool failed = false;
};

// Emits the three entries of Program with an instruction set's Emitter (see NativeEmitter.h):
// the frame's first, then the records', then the row loop.
template <typename Emitter>
bool EmitEntries(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
                 asmjit::Label& RecordsEntry, asmjit::Label& RowsEntry) {
  ErrorFlag errors;
  Code.setErrorHandler(&errors);
  {
    Emitter emitter(Code, Program);
    emitter.Function(nullptr);
    RecordsEntry = emitter.Function(Records);
    RowsEntry = emitter.Rows();
    emitter.Finish();  // the emitter detaches from Code when it goes
  }
  Code.setErrorHandler(nullptr);
  return !errors.failed;
}

}  // namespace qv::native
