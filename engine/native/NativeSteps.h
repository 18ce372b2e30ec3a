// What every emitter of the native tier needs to know about the steps of an all-double program,
// whatever the instruction set: which steps have machine code, how many operands a step reads,
// which results need the finiteness test, which powers are multiplied out.
#pragma once

#include <asmjit/core.h>

#include <vector>

#include "engine/eval/DoubleProgram.h"
#include "engine/native/NativeEmitter.h"

namespace qv::native {

// Whether the emitters have code for a step.
bool Supported(DoubleOp Op);

// Whether a host call names one of the program's calls and its arguments fit in the frame above
// the inputs, which is scratch there: the AArch64 code passes them from there.
bool HostArgumentsFit(const DoubleProgram& Program, const DoubleStep& S);

// The number of operands a step reads; the unused operand fields repeat A.
int Operands(DoubleOp Op);

// Which steps need the finiteness test of their result. A step whose result is used only where a
// value that is not finite makes the using step's result not finite too (an operand of + - *, the
// dividend of /, the operand of negation) leaves the test to that step: the program declines
// there instead, which is the same decision. The program's result and a result nobody reads are
// always tested, and so is every argument of a host call: the host's function never sees a value
// the program declines at (it might give a finite result for it). A host call may thus run after
// a step that the program declines at, whose test comes later: the evaluation declines all the
// same, and only a pure function has machine code, which may be called any number of times.
std::vector<bool> TestedSteps(const DoubleProgram& Program);

// The exponent of a power whose exponent is a constant that the power's semantics multiply out
// (2, and the exponents of WholePower), or 0 for any other step. A square is one multiplication
// for every base; the others are WholePower's operations for a base in its range, and the
// helper's call for any other.
int WholeExponent(const DoubleProgram& Program, const DoubleStep& S);

// Emits WholePower(x, N) (engine/eval/DoubleSemantics.h): the same operations in the same order,
// so the same bits. Arith supplies them on the registers of an instruction set: Mul, Add, Sub,
// Div of two values and Constant(double). Where it also offers ProductError(a, b, p), the exact
// a * b - p in one fused multiply-subtract, that stands for Dekker's product of the halves: in
// WholePower's range both give that exact error, so the bits are the same.
template <typename Arith, typename Value>
Value EmitWholePower(Arith& e, const Value& x, int N) {
  struct Halves {
    Value whole, hi, lo;
  };
  const bool fused = e.FusedProducts();
  const auto split = [&e, fused](const Value& a) {
    if (fused) return Halves{a, a, a};  // the halves are not needed
    const Value c = e.Mul(e.Constant(134217729.0), a);
    const Value hi = e.Sub(c, e.Sub(c, a));
    return Halves{a, hi, e.Sub(a, hi)};
  };
  const auto error = [&e, fused](const Halves& a, const Halves& b, const Value& p) {
    if (fused) return e.ProductError(a.whole, b.whole, p);
    const Value sum = e.Add(e.Add(e.Sub(e.Mul(a.hi, b.hi), p), e.Mul(a.hi, b.lo)), e.Mul(a.lo, b.hi));
    return e.Add(sum, e.Mul(a.lo, b.lo));
  };
  if (N == -1) return e.Div(e.Constant(1.0), x);
  const Halves hx = split(x);
  const Value p = e.Mul(x, x), err = error(hx, hx, p);
  Value h = p, l = err;
  if (N == 3 || N == -3) {
    h = e.Mul(p, x);
    l = e.Add(error(split(p), hx, h), e.Mul(err, x));
  } else if (N == 4 || N == -4) {
    const Halves hp = split(p);
    h = e.Mul(p, p);
    l = e.Add(error(hp, hp, h), e.Mul(e.Add(p, p), err));
  }
  if (N > 0) return e.Add(h, l);
  const Value one = e.Constant(1.0);
  const Value r = e.Div(one, h), rh = e.Mul(r, h);
  const Value residual = e.Sub(e.Sub(e.Sub(one, rh), error(split(r), split(h), rh)), e.Mul(r, l));
  return e.Add(r, e.Mul(r, residual));
}

// The reciprocal of a division's divisor where that is a constant power of two (its reciprocal a
// normal double too), else 0. Dividing by it and multiplying by its reciprocal are the one rounding
// of the same quotient, so the same bits, and such a divisor is never zero or NaN: the emitters
// multiply, without the division's latency or the divisor's test.
double PowerOfTwoReciprocal(const DoubleProgram& Program, const DoubleStep& S);

// Whether a step calls a helper (engine/native/NativeHelpers.h) instead of computing inline:
// powers other than those multiplied out, FACT and the functions other than the square root.
bool CallsHelper(const DoubleProgram& Program, const DoubleStep& S);

// The bytes of scratch a function's host calls use on AArch64 (their arguments, above the inputs),
// or 0 for a program that calls no host function: the entries without a frame (the records' and
// the caller's values') keep that much on their own stack. The helpers return their results in a
// register and need none.
size_t ScratchBytes(const DoubleProgram& Program);

// The helper of a step of one operand that calls one (FACT, SIN, COS, EXP); null for any other.
using OneOperandHelper = double (*)(double) noexcept;
OneOperandHelper HelperOf(DoubleOp Op);

// Records whether asmjit reported any error while a function was emitted or assembled.
class ErrorFlag : public asmjit::ErrorHandler {
 public:
  void handleError(asmjit::Error, const char*, asmjit::BaseEmitter*) override { failed = true; }
  bool failed = false;
};

// Emits the entries of Program with an instruction set's Emitter (see NativeEmitter.h): the
// frame's first, then the records', the row loop and the caller's values'.
template <typename Emitter>
bool EmitEntries(const DoubleProgram& Program, const Variant* const* Records, asmjit::CodeHolder& Code,
                 EntryLabels& Labels) {
  ErrorFlag errors;
  Code.setErrorHandler(&errors);
  {
    Emitter emitter(Code, Program);
    emitter.Function(Inputs::Frame, nullptr);
    Labels.records = emitter.Function(Inputs::Records, Records);
    Labels.rows = emitter.Rows();
    Labels.values = emitter.Function(Inputs::Values, nullptr);
    emitter.Finish();  // the emitter detaches from Code when it goes
  }
  Code.setErrorHandler(nullptr);
  return !errors.failed;
}

}  // namespace qv::native
