// Each step of the all-double program becomes a few AArch64 floating-point instructions on
// virtual registers; an input register is loaded from the frame (or built, for a constant read
// from the records' entry) where a step first reads it. One FCMP sets the flags for a comparison,
// and FCSEL picks 1.0 or 0.0 (or one of two operands, for MIN, MAX and IIF) by a condition that
// holds exactly where the program's test does: after FCMP a, b, MI is a < b and GT is a > b, both
// false when either is NaN, and PL and LE are their negations. So MIN and MAX keep the program's
// rule (the second operand unless the first is strictly smaller or larger, NaN included), which
// FMIN and FMAX do not. Every guard is a branch to one exit that returns 0. Rows go one at a time.
#include "engine/native/NativeEmitter.h"

#if defined(__aarch64__)

#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <vector>

#include <asmjit/arm.h>
#include <asmjit/arm/a64compiler.h>

#include "engine/eval/DoubleSemantics.h"
#include "engine/eval/HostCall.h"
#include "engine/native/NativeDriver.h"
#include "engine/native/NativeHelpers.h"
#include "engine/native/NativeSteps.h"

namespace qv::native {

namespace {

using namespace asmjit;
using arm::CondCode;

class Emitter {
 public:
  Emitter(CodeHolder& code, const DoubleProgram& program) : cc_(&code), program_(program) {}
  // Emits one function on the inputs from where Inputs says (Records: those records). Returns its
  // entry.
  Label Function(Inputs inputs, const Variant* const* records);
  // Emits the row loop over columns (see NativeProgram::RunRows). Returns its entry.
  Label Rows();
  // Assembles what was emitted into the code holder.
  void Finish() { cc_.finalize(); }

  // The arithmetic EmitWholePower writes with: each a new register.
  a64::Vec Mul(const a64::Vec& a, const a64::Vec& b) { return Binary(a64::Inst::kIdFmul_v, a, b); }
  a64::Vec Add(const a64::Vec& a, const a64::Vec& b) { return Binary(a64::Inst::kIdFadd_v, a, b); }
  a64::Vec Sub(const a64::Vec& a, const a64::Vec& b) { return Binary(a64::Inst::kIdFsub_v, a, b); }
  a64::Vec Div(const a64::Vec& a, const a64::Vec& b) { return Binary(a64::Inst::kIdFdiv_v, a, b); }
  // a * b - p with one rounding: FNMSUB, which every AArch64 processor has.
  bool FusedProducts() const { return true; }
  a64::Vec ProductError(const a64::Vec& a, const a64::Vec& b, const a64::Vec& p) {
    const a64::Vec r = cc_.newVecD();
    cc_.fnmsub(r, a, b, p);
    return r;
  }
  a64::Vec Constant(double value);

  // The steps, as the driver (NativeDriver.h) asks for them.
  a64::Vec Relation(const DoubleStep& s, Compare compare);
  a64::Vec Logic(const DoubleStep& s, Connective connective);
  a64::Vec Not(const DoubleStep& s);
  a64::Vec Sign(const DoubleStep& s);
  a64::Vec Arithmetic(const DoubleStep& s, Arith arith);
  a64::Vec Divide(const DoubleStep& s);
  a64::Vec Select(const DoubleStep& s);
  a64::Vec Negated(const DoubleStep& s);
  a64::Vec SquareRoot(const DoubleStep& s);
  a64::Vec Square(const DoubleStep& s);
  a64::Vec WholePowerOf(const DoubleStep& s, int n);
  a64::Vec Call(const DoubleStep& s);
  a64::Vec Host(const DoubleStep& s, const DoubleHostCall& call);
  a64::Vec Tested(const a64::Vec& r, bool tested);
  void Define(int reg, const a64::Vec& r) {
    values_[size_t(reg)] = r;
    written_.set(size_t(reg));
  }
  a64::Vec Result(int reg) { return Source(reg); }

 private:
  a64::Vec Binary(InstId id, const a64::Vec& a, const a64::Vec& b) {
    const a64::Vec r = cc_.newVecD();
    cc_.emit(id, r, a, b);
    return r;
  }
  arm::Mem Slot(int reg) const { return arm::ptr(frame_, reg * 8); }
  // A register's value: the virtual register of the step that wrote it last, or its input, loaded
  // (or built) here and kept for the steps after.
  a64::Vec Source(int reg);
  void LoadRecords(const Variant* const* records);
  void LoadValues(const a64::Gp& values);
  // The row loop's parts: a variable's pointer into its column and its step a row (8 bytes, or 0
  // for a variable that stays on its slot of the frame), set to row First.
  struct Walker {
    a64::Gp at, step;
  };
  std::vector<Walker> Walkers(const a64::Gp& columns, const a64::Gp& first);
  // The steps, from the inputs; returns the register of the result.
  a64::Vec Body();
  void Begin();  // forgets every register: a new function or a new row
  a64::Gp Address(uint64_t bits);
  a64::Vec Pick(const a64::Vec& yes, const a64::Vec& no, CondCode cond);  // FCSEL
  a64::Vec Binary(InstId id, const DoubleStep& s);  // r := a <id> b
  a64::Vec TruthOf(int reg);  // 1.0 where the register is true, else 0.0; the flags of its test stay
  a64::Vec Holds(const DoubleStep& s, CondCode holds);  // 1.0 where A <holds> B after FCMP A, B
  a64::Vec Equality(const DoubleStep& s, bool equal);
  void TestFinite(const a64::Vec& r);
  // Sets the flags by comparing Reg with 0.
  void CompareWithZero(int reg) { cc_.fcmp(Source(reg), zero_); }

  a64::Compiler cc_;
  const DoubleProgram& program_;
  bool constantsInCode_ = false;  // the records' and the values' entries: no constant in the frame
  a64::Gp frame_;
  Label decline_;
  a64::Vec zero_, one_, minusOne_;  // 0.0, 1.0 and (for SGN) -1.0, made once a function
  std::array<a64::Vec, DoubleProgram::kMaxRegisters> values_;
  std::bitset<DoubleProgram::kMaxRegisters> written_;
};

void Emitter::Begin() {
  written_.reset();
  zero_ = cc_.newVecD("zero");
  cc_.movi(zero_, imm(0));
  one_ = Constant(1.0);
  // -1.0 for SGN, built once here rather than at each use (in the row loop, once a row).
  for (const DoubleStep& s : program_.Steps)
    if (s.Op == DoubleOp::Sgn) {
      minusOne_ = Constant(-1.0);
      break;
    }
}

Label Emitter::Function(Inputs inputs, const Variant* const* records) {
  const bool values = inputs == Inputs::Values;
  const a64::Gp from = cc_.newIntPtr("values");
  frame_ = cc_.newIntPtr("frame");
  const a64::Gp value = cc_.newIntPtr("value");
  FuncNode* function = AddEntry(cc_, inputs, from, frame_, value);
  if (const size_t scratch = inputs != Inputs::Frame ? ScratchBytes(program_) : 0)
    cc_.loadAddressOf(frame_, cc_.newStack(uint32_t(scratch), 16, "scratch"));
  decline_ = cc_.newLabel();
  constantsInCode_ = inputs != Inputs::Frame;
  Begin();
  if (inputs == Inputs::Records) LoadRecords(records);
  if (values) LoadValues(from);
  cc_.str(Body(), arm::ptr(value));
  const a64::Gp status = cc_.newInt32("status");
  cc_.mov(status, imm(1));
  cc_.ret(status);

  cc_.bind(decline_);
  const a64::Gp declined = cc_.newInt32("declined");
  cc_.mov(declined, imm(0));
  cc_.ret(declined);
  cc_.endFunc();
  return function->label();
}

a64::Vec Emitter::Body() { return EmitBody(*this, program_); }

// The row loop, one row an iteration; the row that declines ends it, and its index is returned.
Label Emitter::Rows() {
  FuncNode* function = cc_.addFunc(
      FuncSignatureT<size_t, const double* const*, double*, double*, size_t, size_t>(CallConvId::kHost));
  const a64::Gp columns = cc_.newIntPtr("columns"), out = cc_.newIntPtr("out");
  const a64::Gp row = cc_.newUIntPtr("row"), last = cc_.newUIntPtr("last");
  frame_ = cc_.newIntPtr("frame");
  function->setArg(0, columns);
  function->setArg(1, frame_);
  function->setArg(2, out);
  function->setArg(3, row);
  function->setArg(4, last);
  constantsInCode_ = false;
  const std::vector<Walker> walkers = Walkers(columns, row);
  const a64::Gp at = cc_.newIntPtr("at"), eight = cc_.newIntPtr("eight");
  cc_.mov(eight, imm(8));
  cc_.madd(at, row, eight, out);
  // The constants and 0.0 and 1.0 in registers once for the whole loop.
  Begin();
  for (size_t j = 0; j < program_.Constants.size(); ++j) {
    const size_t reg = program_.Variables + j;
    values_[reg] = Constant(program_.Constants[j].asDouble());
  }
  const Label loop = cc_.newLabel(), exit = cc_.newLabel();
  cc_.bind(loop);
  cc_.cmp(row, last);
  cc_.b_hs(exit);
  decline_ = exit;
  written_.reset();
  for (size_t k = 0; k < walkers.size(); ++k) {
    values_[k] = cc_.newVecD();
    cc_.ldr(values_[k], arm::ptr(walkers[k].at));
    written_.set(k);
  }
  for (size_t j = 0; j < program_.Constants.size(); ++j) written_.set(program_.Variables + j);
  cc_.str(Body(), arm::ptr(at));
  cc_.add(row, row, imm(1));
  cc_.add(at, at, imm(8));
  for (const Walker& w : walkers) cc_.add(w.at, w.at, w.step);
  cc_.b(loop);
  cc_.bind(exit);
  cc_.ret(row);
  cc_.endFunc();
  return function->label();
}

std::vector<Emitter::Walker> Emitter::Walkers(const a64::Gp& columns, const a64::Gp& first) {
  std::vector<Walker> walkers;
  for (int k = 0; k < int(program_.Variables); ++k) {
    const Walker w{cc_.newIntPtr(), cc_.newIntPtr()};
    const Label column = cc_.newLabel();
    cc_.ldr(w.at, arm::ptr(columns, k * 8));
    cc_.mov(w.step, imm(8));
    cc_.cbnz(w.at, column);
    cc_.add(w.at, frame_, imm(k * 8));
    cc_.mov(w.step, imm(0));
    cc_.bind(column);
    cc_.madd(w.at, first, w.step, w.at);
    walkers.push_back(w);
  }
  return walkers;
}

// Each variable's value into a register, declining at the first that does not hold a double.
void Emitter::LoadRecords(const Variant* const* records) {
  for (int k = 0; k < int(program_.Variables); ++k) {
    const a64::Gp record = Address(reinterpret_cast<uintptr_t>(records[k]));
    const a64::Gp kind = cc_.newUInt32();
    cc_.ldrb(kind, arm::ptr(record, int32_t(Variant::KindOffset())));
    cc_.cmp(kind, imm(int(Variant::Kind::Double)));
    cc_.b_ne(decline_);
    values_[size_t(k)] = cc_.newVecD();
    cc_.ldr(values_[size_t(k)], arm::ptr(record, int32_t(Variant::DoubleOffset())));
    written_.set(size_t(k));
  }
}

// Each variable's value from the caller's array into a register.
void Emitter::LoadValues(const a64::Gp& values) {
  for (int k = 0; k < int(program_.Variables); ++k) {
    values_[size_t(k)] = cc_.newVecD();
    cc_.ldr(values_[size_t(k)], arm::ptr(values, k * 8));
    written_.set(size_t(k));
  }
}

a64::Vec Emitter::Source(int reg) {
  if (written_[size_t(reg)]) return values_[size_t(reg)];
  const bool constant = reg >= int(program_.Variables);
  a64::Vec r;
  if (constantsInCode_ && constant) {
    r = Constant(program_.Constants[size_t(reg) - program_.Variables].asDouble());
  } else {
    r = cc_.newVecD();
    cc_.ldr(r, Slot(reg));
  }
  values_[size_t(reg)] = r;
  written_.set(size_t(reg));
  return r;
}

// A 64-bit number in a general register, 16 bits an instruction.
a64::Gp Emitter::Address(uint64_t bits) {
  const a64::Gp r = cc_.newUInt64();
  cc_.movz(r, imm(bits & 0xFFFF), imm(0));
  for (uint32_t shift = 16; shift < 64; shift += 16)
    if ((bits >> shift) & 0xFFFF) cc_.movk(r, imm((bits >> shift) & 0xFFFF), imm(shift));
  return r;
}

a64::Vec Emitter::Constant(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const a64::Vec r = cc_.newVecD();
  cc_.fmov(r, Address(bits));
  return r;
}

a64::Vec Emitter::Pick(const a64::Vec& yes, const a64::Vec& no, CondCode cond) {
  const a64::Vec r = cc_.newVecD();
  cc_.fcsel(r, yes, no, imm(cond));
  return r;
}

// The result's test: r - r is 0 for a finite r and NaN otherwise, which FCMP reports as
// unordered (V set).
void Emitter::TestFinite(const a64::Vec& r) {
  const a64::Vec t = cc_.newVecD();
  cc_.fsub(t, r, r);
  cc_.fcmp(t, t);
  cc_.b_vs(decline_);
}

// Results 1.0 or 0.0. The comparison: below when a < b, above when a > b, equal otherwise (so NaN
// equals everything), hence <= is "not above" (LE) and >= "not below" (PL).
a64::Vec Emitter::Relation(const DoubleStep& s, Compare compare) {
  switch (compare) {
    case Compare::Less: return Holds(s, CondCode::kMI);
    case Compare::LessEqual: return Holds(s, CondCode::kLE);
    case Compare::GreaterEqual: return Holds(s, CondCode::kPL);
    case Compare::Greater: return Holds(s, CondCode::kGT);
    case Compare::Equal: return Equality(s, true);
    case Compare::NotEqual: return Equality(s, false);
  }
  return Equality(s, false);  // not reached
}

// A value is true when it is greater than 0 (GT after comparing it with 0).
a64::Vec Emitter::Logic(const DoubleStep& s, Connective connective) {
  const a64::Vec a = TruthOf(s.A);
  // XOR needs NOT A too, taken while the flags of A's test still hold.
  const a64::Vec notA = connective == Connective::Xor ? Pick(zero_, one_, CondCode::kGT) : a64::Vec();
  CompareWithZero(s.B);
  switch (connective) {
    case Connective::And: return Pick(a, zero_, CondCode::kGT);
    case Connective::Or: return Pick(one_, a, CondCode::kGT);
    case Connective::Xor: return Pick(notA, a, CondCode::kGT);
  }
  return a;  // not reached
}

a64::Vec Emitter::Not(const DoubleStep& s) {
  CompareWithZero(s.A);
  return Pick(zero_, one_, CondCode::kGT);
}

a64::Vec Emitter::Sign(const DoubleStep& s) {
  CompareWithZero(s.A);
  const a64::Vec positive = Pick(one_, zero_, CondCode::kGT);
  return Pick(minusOne_, positive, CondCode::kMI);
}

// MIN and MAX: a tie or a NaN gives the second operand, as in the program.
a64::Vec Emitter::Arithmetic(const DoubleStep& s, Arith arith) {
  switch (arith) {
    case Arith::Add: return Binary(a64::Inst::kIdFadd_v, s);
    case Arith::Subtract: return Binary(a64::Inst::kIdFsub_v, s);
    case Arith::Multiply: return Binary(a64::Inst::kIdFmul_v, s);
    case Arith::Minimum:
      cc_.fcmp(Source(s.A), Source(s.B));
      return Pick(Source(s.A), Source(s.B), CondCode::kMI);
    case Arith::Maximum:
      cc_.fcmp(Source(s.A), Source(s.B));
      return Pick(Source(s.A), Source(s.B), CondCode::kGT);
  }
  return Binary(a64::Inst::kIdFadd_v, s);  // not reached
}

// Equal or unordered: a NaN divisor declines here, as its NaN quotient would.
// A constant power of two multiplies by its reciprocal instead (PowerOfTwoReciprocal).
a64::Vec Emitter::Divide(const DoubleStep& s) {
  if (const double reciprocal = PowerOfTwoReciprocal(program_, s))
    return Binary(a64::Inst::kIdFmul_v, Source(s.A), Constant(reciprocal));
  cc_.fcmp(Source(s.B), zero_);
  cc_.b_eq(decline_);
  cc_.b_vs(decline_);
  return Binary(a64::Inst::kIdFdiv_v, s);
}

a64::Vec Emitter::Select(const DoubleStep& s) {
  CompareWithZero(s.A);
  return Pick(Source(s.B), Source(s.C), CondCode::kGT);
}

a64::Vec Emitter::Negated(const DoubleStep& s) {
  const a64::Vec r = cc_.newVecD();
  cc_.fneg(r, Source(s.A));
  return r;
}

// Declines below zero; a NaN passes here and declines as its NaN root.
a64::Vec Emitter::SquareRoot(const DoubleStep& s) {
  CompareWithZero(s.A);
  cc_.b_mi(decline_);
  const a64::Vec r = cc_.newVecD();
  cc_.fsqrt(r, Source(s.A));
  return r;
}

a64::Vec Emitter::Tested(const a64::Vec& r, bool tested) {
  if (tested) TestFinite(r);
  return r;
}

a64::Vec Emitter::Binary(InstId id, const DoubleStep& s) {
  const a64::Vec a = Source(s.A), b = Source(s.B);
  return Binary(id, a, b);
}

a64::Vec Emitter::Square(const DoubleStep& s) {
  const a64::Vec a = Source(s.A), r = cc_.newVecD();
  cc_.fmul(r, a, a);
  return r;
}

// A base within WholePower's range is multiplied out inline, where the result is always finite;
// any other base (NaN included) takes the helper, whose result is tested there.
a64::Vec Emitter::WholePowerOf(const DoubleStep& s, int n) {
  const a64::Vec x = Source(s.A), magnitude = cc_.newVecD(), r = cc_.newVecD();
  Source(s.B);  // loaded here, before the paths part, for the helper and any later step alike
  const Label helper = cc_.newLabel(), done = cc_.newLabel();
  cc_.fabs(magnitude, x);
  cc_.fcmp(magnitude, Constant(kWholePowerLow));
  cc_.b_mi(helper);
  cc_.b_vs(helper);
  cc_.fcmp(magnitude, Constant(kWholePowerHigh));
  cc_.b_gt(helper);
  cc_.fmov(r, EmitWholePower(*this, x, n));
  cc_.b(done);
  cc_.bind(helper);
  cc_.fmov(r, Tested(Call(s), true));
  cc_.bind(done);
  return r;
}

a64::Vec Emitter::TruthOf(int reg) {
  CompareWithZero(reg);
  return Pick(one_, zero_, CondCode::kGT);
}

a64::Vec Emitter::Holds(const DoubleStep& s, CondCode holds) {
  cc_.fcmp(Source(s.A), Source(s.B));
  return Pick(one_, zero_, holds);
}

// Equal: neither below nor above; not equal: one of them.
a64::Vec Emitter::Equality(const DoubleStep& s, bool equal) {
  cc_.fcmp(Source(s.A), Source(s.B));
  const a64::Vec below = Pick(equal ? zero_ : one_, equal ? one_ : zero_, CondCode::kMI);
  return Pick(equal ? zero_ : one_, below, CondCode::kGT);
}

// A helper call: its result comes back in D0, NaN where the program declines, for the caller's
// finiteness test.
a64::Vec Emitter::Call(const DoubleStep& s) {
  const a64::Vec a = Source(s.A), r = cc_.newVecD();
  InvokeNode* call = nullptr;
  // Power and the other functions have helpers of their own signatures; FACT, SIN, COS and EXP
  // one of one operand each.
  if (s.Op == DoubleOp::Power) {
    const a64::Vec b = Source(s.B);
    cc_.invoke(&call, Address(reinterpret_cast<uintptr_t>(&PowerStep)),
               FuncSignatureT<double, double, double>(CallConvId::kHost));
    call->setArg(0, a);
    call->setArg(1, b);
  } else if (s.Op == DoubleOp::Function) {
    const a64::Gp opcode = cc_.newInt32();
    cc_.mov(opcode, imm(int32_t(s.Opcode)));
    cc_.invoke(&call, Address(reinterpret_cast<uintptr_t>(&FunctionStep)),
               FuncSignatureT<double, double, int32_t>(CallConvId::kHost));
    call->setArg(0, a);
    call->setArg(1, opcode);
  } else {
    cc_.invoke(&call, Address(reinterpret_cast<uintptr_t>(HelperOf(s.Op))),
               FuncSignatureT<double, double>(CallConvId::kHost));
    call->setArg(0, a);
  }
  call->setRet(0, r);
  return r;
}

// A host function's call: the arguments stored in the frame above the inputs (scratch of the
// code's there; HostArgumentsFit checked the room), then HostValue with the function's body, which
// returns the result in D0 (NaN where the body threw).
a64::Vec Emitter::Host(const DoubleStep&, const DoubleHostCall& call) {
  const int slot = int(program_.InputCount());
  for (size_t k = 0; k < call.Args.size(); ++k) cc_.str(Source(call.Args[k]), Slot(slot + int(k)));
  // Every operand is made before the call's node: what Address emits goes where the cursor is.
  const a64::Gp body = Address(reinterpret_cast<uintptr_t>(&call.Function->Function.Body));
  const a64::Gp args = cc_.newIntPtr(), count = cc_.newUInt64();
  cc_.add(args, frame_, imm(slot * 8));
  cc_.mov(count, imm(call.Args.size()));
  const a64::Vec r = cc_.newVecD();
  InvokeNode* invoke = nullptr;
  cc_.invoke(&invoke, Address(reinterpret_cast<uintptr_t>(&HostValue)),
             FuncSignatureT<double, const HostBody*, const double*, size_t>(CallConvId::kHost));
  invoke->setArg(0, body);
  invoke->setArg(1, args);
  invoke->setArg(2, count);
  invoke->setRet(0, r);
  return r;
}

}  // namespace

bool EmitA64(const DoubleProgram& Program, const Variant* const* Records, CodeHolder& Code, EntryLabels& Labels) {
  return EmitEntries<Emitter>(Program, Records, Code, Labels);
}

}  // namespace qv::native

#endif  // AArch64
