// Each step of the all-double program becomes a few SSE2 instructions on virtual registers; the
// registers of the program that no step has written yet (the inputs) are read from the frame as
// memory operands. Comparisons and the logical operators build an all-ones or all-zeros mask with
// CMPSD and keep 1.0 or 0.0 of it, so they need no branch; MIN and MAX are MINSD and MAXSD, whose
// rule (the second operand unless the first is strictly smaller or larger, NaN included) is the
// program's; IIF selects by mask. Every guard is a branch to one exit that returns 0.
#include "engine/native/NativeEmitter.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include <asmjit/x86.h>

#include "engine/eval/DoubleSemantics.h"
#include "engine/eval/HostCall.h"
#include "engine/native/NativeDriver.h"
#include "engine/native/NativeHelpers.h"
#include "engine/native/NativeSteps.h"

namespace qv::native {

namespace {

using namespace asmjit;

// CMPSD and CMPPD predicates: equal and less than (false when unordered), unordered, not less
// than and not less or equal (true when unordered).
constexpr uint32_t kEqual = 0, kLess = 1, kUnordered = 3, kNotLess = 5, kNotLessEqual = 6;
constexpr int kZero = -1;  // stands for the constant 0 where a register index is expected

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

  // The arithmetic EmitWholePower writes with: each a new register of the width at hand.
  x86::Xmm Mul(const x86::Xmm& a, const x86::Xmm& b) { return Binary(x86::Inst::kIdMulsd, x86::Inst::kIdMulpd, a, b); }
  x86::Xmm Add(const x86::Xmm& a, const x86::Xmm& b) { return Binary(x86::Inst::kIdAddsd, x86::Inst::kIdAddpd, a, b); }
  x86::Xmm Sub(const x86::Xmm& a, const x86::Xmm& b) { return Binary(x86::Inst::kIdSubsd, x86::Inst::kIdSubpd, a, b); }
  x86::Xmm Div(const x86::Xmm& a, const x86::Xmm& b) { return Binary(x86::Inst::kIdDivsd, x86::Inst::kIdDivpd, a, b); }
  // a * b - p with one rounding (FMA3), where the processor has it.
  bool FusedProducts() const { return CpuInfo::host().features().x86().hasFMA(); }
  x86::Xmm ProductError(const x86::Xmm& a, const x86::Xmm& b, const x86::Xmm& p) {
    x86::Xmm r = NewXmm();
    cc_.movapd(r, a);
    cc_.emit(Width(x86::Inst::kIdVfmsub213sd, x86::Inst::kIdVfmsub213pd), r, b, p);  // r := b * r - p
    return r;
  }
  x86::Xmm Constant(double value) {
    x86::Xmm r = NewXmm();
    cc_.movapd(r, ConstantMem(value));
    return r;
  }

  // The steps, as the driver (NativeDriver.h) asks for them.
  x86::Xmm Relation(const DoubleStep& s, Compare compare);
  x86::Xmm Logic(const DoubleStep& s, Connective connective);
  x86::Xmm Not(const DoubleStep& s) { return Falsity(Mask(kZero, kLess, s.A)); }
  x86::Xmm Sign(const DoubleStep& s);
  x86::Xmm Arithmetic(const DoubleStep& s, Arith arith);
  x86::Xmm Divide(const DoubleStep& s);
  x86::Xmm Select(const DoubleStep& s);
  x86::Xmm Negated(const DoubleStep& s);
  x86::Xmm SquareRoot(const DoubleStep& s);
  x86::Xmm Square(const DoubleStep& s);
  x86::Xmm WholePowerOf(const DoubleStep& s, int n);
  x86::Xmm Call(const DoubleStep& s);
  x86::Xmm Host(const DoubleStep& s, const DoubleHostCall& call);
  x86::Xmm Tested(const x86::Xmm& r, bool tested);
  void Define(int reg, const x86::Xmm& r) {
    values_[size_t(reg)] = r;
    written_.set(size_t(reg));
  }
  x86::Xmm Result(int reg) { return written_[size_t(reg)] ? values_[size_t(reg)] : Copy(reg); }

 private:
  x86::Xmm Binary(InstId scalar, InstId packed, const x86::Xmm& a, const x86::Xmm& b) {
    x86::Xmm r = NewXmm();
    cc_.movapd(r, a);
    cc_.emit(Width(scalar, packed), r, b);
    return r;
  }
  x86::Mem Slot(int reg) const { return x86::qword_ptr(frame_, reg * 8); }
  // An input register that no step has written: its slot in the frame, or, reading from the
  // records, a constant (the variables are in registers from the start).
  x86::Mem Input(int reg) {
    return constantsInCode_ ? ConstantMem(program_.Constants[size_t(reg - program_.Variables)].asDouble()) : Slot(reg);
  }
  // A register's value as an operand: the virtual register of the step that wrote it last, or
  // its input.
  Operand Source(int reg) {
    return written_[size_t(reg)] ? Operand(values_[size_t(reg)]) : Operand(Input(reg));
  }
  void LoadRecords(const Variant* const* records);
  void LoadValues(const x86::Gp& values);
  // The row loop's parts: a variable's pointer into its column and its step a row, set to row
  // First; the inputs of one row (or of a pair, Packed) into registers; the move to the next.
  struct Walker {
    x86::Gp at, step;
  };
  std::vector<Walker> Walkers(const x86::Gp& columns, const x86::Gp& first);
  void LoadRow(const std::vector<Walker>& walkers, const std::vector<x86::Xmm>& constants, bool packed);
  void Advance(const x86::Gp& row, const std::vector<Walker>& walkers, int rows);
  // The steps, from the inputs in values_ (or in the frame); returns the register of the result.
  x86::Xmm Body();
  // A new register of the width at hand: one double, or two for a pair of rows.
  x86::Xmm NewXmm() { return packed_ ? cc_.newXmmPd() : cc_.newXmmSd(); }
  InstId Width(InstId scalar, InstId packed) const { return packed_ ? packed : scalar; }
  void DeclineIfAny(const x86::Xmm& mask);
  x86::Xmm Copy(int reg);
  x86::Xmm Zero();
  x86::Xmm Mask(int x, uint32_t predicate, int y);
  x86::Mem ConstantMem(double low);
  x86::Mem SignBit();
  x86::Xmm Truth(const x86::Xmm& mask);
  x86::Xmm Falsity(const x86::Xmm& mask);
  x86::Xmm Unequal(const DoubleStep& s);
  x86::Xmm Combine(InstId scalar, InstId packed, const DoubleStep& s);  // A <op> B
  void TestFinite(const x86::Xmm& r);

  x86::Compiler cc_;
  const DoubleProgram& program_;
  bool constantsInCode_ = false;  // the records' and the values' entries: no constant in the frame
  bool packed_ = false;  // the steps compute two rows at once, one in each lane
  x86::Gp frame_, value_;
  Label decline_;
  std::array<x86::Xmm, DoubleProgram::kMaxRegisters> values_;
  std::bitset<DoubleProgram::kMaxRegisters> written_;
  x86::Mem hostArgs_;  // where host calls pass their arguments, in hostArgsOf_'s stack
  const FuncNode* hostArgsOf_ = nullptr;
};

Label Emitter::Function(Inputs inputs, const Variant* const* records) {
  const bool values = inputs == Inputs::Values;
  const x86::Gp from = cc_.newIntPtr("values");
  frame_ = cc_.newIntPtr("frame");
  value_ = cc_.newIntPtr("value");
  FuncNode* function = AddEntry(cc_, inputs, from, frame_, value_);  // host calls pass their own area
  decline_ = cc_.newLabel();
  written_.reset();
  constantsInCode_ = inputs != Inputs::Frame;
  packed_ = false;
  if (inputs == Inputs::Records) LoadRecords(records);
  if (values) LoadValues(from);
  cc_.movsd(x86::qword_ptr(value_), Body());
  x86::Gp status = cc_.newInt32("status");
  cc_.mov(status, 1);
  cc_.ret(status);

  cc_.bind(decline_);
  x86::Gp declined = cc_.newInt32("declined");
  cc_.xor_(declined, declined);
  cc_.ret(declined);
  cc_.endFunc();
  return function->label();
}

x86::Xmm Emitter::Body() { return EmitBody(*this, program_); }

// Whether every step has a form that computes two rows at once, each lane exactly as the scalar
// step: the arithmetic, whole powers, comparisons, logic, MIN, MAX, IIF and the square root (not the
// calls).
bool Packable(const DoubleProgram& program) {
  for (const DoubleStep& s : program.Steps)
    if (CallsHelper(program, s)) return false;
  return true;
}

// The row loop. Each variable has a pointer that walks its column (8 bytes a row), or stays on
// its slot in the frame when it has no column (0 bytes a row). Where every step has a packed form,
// rows go two at a time; a pair in which either row declines goes through the scalar loop, which
// finds the row that declines and returns its index.
Label Emitter::Rows() {
  FuncNode* function = cc_.addFunc(
      FuncSignatureT<size_t, const double* const*, double*, double*, size_t, size_t>(CallConvId::kHost));
  const x86::Gp columns = cc_.newIntPtr("columns"), out = cc_.newIntPtr("out");
  const x86::Gp row = cc_.newUIntPtr("row"), last = cc_.newUIntPtr("last");
  frame_ = cc_.newIntPtr("frame");
  function->setArg(0, columns);
  function->setArg(1, frame_);
  function->setArg(2, out);
  function->setArg(3, row);
  function->setArg(4, last);
  constantsInCode_ = false;
  const std::vector<Walker> walkers = Walkers(columns, row);
  // The constants in both lanes of a register each, once for the whole loop.
  std::vector<x86::Xmm> constants;
  for (const Variant& c : program_.Constants) {
    constants.push_back(cc_.newXmmPd());
    cc_.movapd(constants.back(), ConstantMem(c.asDouble()));
  }

  const Label scalar = cc_.newLabel(), exit = cc_.newLabel();
  Label pairs;
  if (Packable(program_)) {
    pairs = cc_.newLabel();
    cc_.bind(pairs);
    const x86::Gp left = cc_.newUIntPtr();
    cc_.mov(left, last);
    cc_.sub(left, row);
    cc_.cmp(left, 2);
    cc_.jb(scalar);
    decline_ = scalar;
    LoadRow(walkers, constants, true);
    cc_.movupd(x86::xmmword_ptr(out, row, 3), Body());
    Advance(row, walkers, 2);
    cc_.jmp(pairs);
  }
  cc_.bind(scalar);
  cc_.cmp(row, last);
  cc_.jae(exit);
  decline_ = exit;
  LoadRow(walkers, constants, false);
  cc_.movsd(x86::qword_ptr(out, row, 3), Body());
  Advance(row, walkers, 1);
  cc_.jmp(pairs.isValid() ? pairs : scalar);
  cc_.bind(exit);
  cc_.ret(row);
  cc_.endFunc();
  packed_ = false;
  return function->label();
}

std::vector<Emitter::Walker> Emitter::Walkers(const x86::Gp& columns, const x86::Gp& first) {
  std::vector<Walker> walkers;
  for (int k = 0; k < int(program_.Variables); ++k) {
    const Walker w{cc_.newIntPtr(), cc_.newIntPtr()};
    const Label column = cc_.newLabel();
    cc_.mov(w.at, x86::qword_ptr(columns, k * 8));
    cc_.mov(w.step, 8);
    cc_.test(w.at, w.at);
    cc_.jnz(column);
    cc_.lea(w.at, Slot(k));
    cc_.xor_(w.step, w.step);
    cc_.bind(column);
    const x86::Gp offset = cc_.newIntPtr();
    cc_.mov(offset, first);
    cc_.imul(offset, w.step);
    cc_.add(w.at, offset);
    walkers.push_back(w);
  }
  return walkers;
}

void Emitter::LoadRow(const std::vector<Walker>& walkers, const std::vector<x86::Xmm>& constants, bool packed) {
  packed_ = packed;
  written_.reset();
  for (size_t k = 0; k < walkers.size(); ++k) {
    values_[k] = NewXmm();
    cc_.movsd(values_[k], x86::qword_ptr(walkers[k].at));
    if (packed) cc_.movhpd(values_[k], x86::qword_ptr(walkers[k].at, walkers[k].step));
    written_.set(k);
  }
  for (size_t j = 0; j < constants.size(); ++j) {
    values_[walkers.size() + j] = constants[j];
    written_.set(walkers.size() + j);
  }
}

void Emitter::Advance(const x86::Gp& row, const std::vector<Walker>& walkers, int rows) {
  cc_.add(row, rows);
  for (const Walker& w : walkers) cc_.lea(w.at, x86::ptr(w.at, w.step, rows == 2 ? 1 : 0));
}

// Each variable's value into a register, declining at the first that does not hold a double.
void Emitter::LoadRecords(const Variant* const* records) {
  for (int k = 0; k < int(program_.Variables); ++k) {
    x86::Gp record = cc_.newIntPtr();
    cc_.mov(record, imm(reinterpret_cast<uintptr_t>(records[k])));
    cc_.cmp(x86::byte_ptr(record, int32_t(Variant::KindOffset())), imm(int(Variant::Kind::Double)));
    cc_.jne(decline_);
    values_[size_t(k)] = NewXmm();
    cc_.movsd(values_[size_t(k)], x86::qword_ptr(record, int32_t(Variant::DoubleOffset())));
    written_.set(size_t(k));
  }
}

// Each variable's value from the caller's array into a register.
void Emitter::LoadValues(const x86::Gp& values) {
  for (int k = 0; k < int(program_.Variables); ++k) {
    values_[size_t(k)] = NewXmm();
    cc_.movsd(values_[size_t(k)], x86::qword_ptr(values, k * 8));
    written_.set(size_t(k));
  }
}

x86::Xmm Emitter::Copy(int reg) {
  x86::Xmm r = NewXmm();
  if (written_[size_t(reg)]) cc_.movapd(r, values_[size_t(reg)]);
  else cc_.movsd(r, Input(reg));
  return r;
}

x86::Xmm Emitter::Zero() {
  x86::Xmm z = NewXmm();
  cc_.xorpd(z, z);
  return z;
}

// All ones where x <predicate> y holds, else all zeros (x and y are registers or kZero).
x86::Xmm Emitter::Mask(int x, uint32_t predicate, int y) {
  x86::Xmm m = x == kZero ? Zero() : Copy(x);
  const InstId compare = Width(x86::Inst::kIdCmpsd, x86::Inst::kIdCmppd);
  if (y == kZero) cc_.emit(compare, m, Zero(), imm(predicate));
  else cc_.emit(compare, m, Source(y), imm(predicate));
  return m;
}

// 16-byte constants, the double in both halves: the packed operations of a pair of rows use both,
// the scalar ones the low half.
x86::Mem Emitter::ConstantMem(double low) {
  const double data[2] = {low, low};
  return cc_.newConst(ConstPoolScope::kLocal, data, sizeof data);
}

x86::Mem Emitter::SignBit() {
  const uint64_t data[2] = {uint64_t(1) << 63, uint64_t(1) << 63};
  return cc_.newConst(ConstPoolScope::kLocal, data, sizeof data);
}

// The result's test: r - r is 0 for a finite r and NaN otherwise, which UCOMISD reports as
// unordered (for a pair: CMPPD's unordered predicate, in either lane).
void Emitter::TestFinite(const x86::Xmm& r) {
  x86::Xmm t = NewXmm();
  cc_.movapd(t, r);
  if (packed_) {
    cc_.subpd(t, r);
    cc_.cmppd(t, t, imm(kUnordered));
    DeclineIfAny(t);
    return;
  }
  cc_.subsd(t, r);
  cc_.ucomisd(t, t);
  cc_.jp(decline_);
}

// Declines where either lane of a mask is set.
void Emitter::DeclineIfAny(const x86::Xmm& mask) {
  x86::Gp bits = cc_.newInt32();
  cc_.movmskpd(bits, mask);
  cc_.test(bits, bits);
  cc_.jnz(decline_);
}

x86::Xmm Emitter::Combine(InstId scalar, InstId packed, const DoubleStep& s) {
  x86::Xmm r = Copy(s.A);
  cc_.emit(Width(scalar, packed), r, Source(s.B));
  return r;
}

// Results 1.0 or 0.0. The comparison: below when a < b, above when a > b, equal otherwise (so NaN
// equals everything), hence <= is "not above" and >= "not below".
x86::Xmm Emitter::Relation(const DoubleStep& s, Compare compare) {
  switch (compare) {
    case Compare::Less: return Truth(Mask(s.A, kLess, s.B));
    case Compare::LessEqual: return Truth(Mask(s.B, kNotLess, s.A));
    case Compare::GreaterEqual: return Truth(Mask(s.A, kNotLess, s.B));
    case Compare::Greater: return Truth(Mask(s.B, kLess, s.A));
    case Compare::Equal: return Falsity(Unequal(s));
    case Compare::NotEqual: return Truth(Unequal(s));
  }
  return Truth(Unequal(s));  // not reached
}

x86::Xmm Emitter::Arithmetic(const DoubleStep& s, Arith arith) {
  using Id = x86::Inst::Id;
  switch (arith) {
    case Arith::Add: return Combine(Id::kIdAddsd, Id::kIdAddpd, s);
    case Arith::Subtract: return Combine(Id::kIdSubsd, Id::kIdSubpd, s);
    case Arith::Multiply: return Combine(Id::kIdMulsd, Id::kIdMulpd, s);
    case Arith::Minimum: return Combine(Id::kIdMinsd, Id::kIdMinpd, s);
    case Arith::Maximum: return Combine(Id::kIdMaxsd, Id::kIdMaxpd, s);
  }
  return Combine(Id::kIdAddsd, Id::kIdAddpd, s);  // not reached
}

x86::Xmm Emitter::Tested(const x86::Xmm& r, bool tested) {
  if (tested) TestFinite(r);
  return r;
}

x86::Xmm Emitter::Logic(const DoubleStep& s, Connective connective) {
  const InstId id = connective == Connective::And  ? x86::Inst::kIdAndpd
                    : connective == Connective::Or ? x86::Inst::kIdOrpd
                                                   : x86::Inst::kIdXorpd;
  x86::Xmm m = Mask(kZero, kLess, s.A);
  cc_.emit(id, m, Mask(kZero, kLess, s.B));  // the packed form serves one lane and two
  return Truth(m);
}

x86::Xmm Emitter::Sign(const DoubleStep& s) {
  x86::Xmm r = Truth(Mask(kZero, kLess, s.A));
  x86::Xmm negative = Mask(s.A, kLess, kZero);
  cc_.andpd(negative, ConstantMem(-1.0));
  cc_.orpd(r, negative);
  return r;
}

x86::Xmm Emitter::Square(const DoubleStep& s) {
  x86::Xmm r = Copy(s.A);
  cc_.emit(Width(x86::Inst::kIdMulsd, x86::Inst::kIdMulpd), r, r);
  return r;
}

// A base within WholePower's range is multiplied out inline, where the result is always finite;
// any other base (NaN included) takes the helper, whose result is tested there, or, for a pair of
// rows, the scalar loop.
x86::Xmm Emitter::WholePowerOf(const DoubleStep& s, int n) {
  x86::Xmm magnitude = NewXmm();
  cc_.movapd(magnitude, SignBit());
  cc_.andnpd(magnitude, Copy(s.A));  // |x|: the sign bit cleared
  if (packed_) {
    x86::Xmm outside = NewXmm();
    cc_.movapd(outside, magnitude);
    cc_.cmppd(outside, ConstantMem(kWholePowerLow), imm(kLess));
    cc_.cmppd(magnitude, ConstantMem(kWholePowerHigh), imm(kNotLessEqual));
    cc_.orpd(outside, magnitude);
    DeclineIfAny(outside);
    return EmitWholePower(*this, Copy(s.A), n);
  }
  const Label helper = cc_.newLabel(), done = cc_.newLabel();
  cc_.ucomisd(magnitude, ConstantMem(kWholePowerLow));
  cc_.jb(helper);  // below, or unordered
  cc_.ucomisd(magnitude, ConstantMem(kWholePowerHigh));
  cc_.ja(helper);
  x86::Xmm r = NewXmm();
  cc_.movapd(r, EmitWholePower(*this, Copy(s.A), n));
  cc_.jmp(done);
  cc_.bind(helper);
  cc_.movapd(r, Tested(Call(s), true));
  cc_.bind(done);
  return r;
}

// Equal or unordered: a NaN divisor declines here, as its NaN quotient would. A constant power of
// two multiplies by its reciprocal instead (PowerOfTwoReciprocal).
x86::Xmm Emitter::Divide(const DoubleStep& s) {
  if (const double reciprocal = PowerOfTwoReciprocal(program_, s)) {
    x86::Xmm r = Copy(s.A);
    cc_.emit(Width(x86::Inst::kIdMulsd, x86::Inst::kIdMulpd), r, ConstantMem(reciprocal));
    return r;
  }
  if (packed_) {
    x86::Xmm zero = Mask(s.B, kEqual, kZero);
    cc_.orpd(zero, Mask(s.B, kUnordered, s.B));
    DeclineIfAny(zero);
  } else {
    cc_.emit(x86::Inst::kIdUcomisd, Zero(), Source(s.B));
    cc_.je(decline_);
  }
  return Combine(x86::Inst::kIdDivsd, x86::Inst::kIdDivpd, s);
}

x86::Xmm Emitter::Select(const DoubleStep& s) {
  x86::Xmm held = Mask(kZero, kLess, s.A);
  x86::Xmm r = Copy(s.B);
  cc_.andpd(r, held);
  cc_.andnpd(held, Copy(s.C));
  cc_.orpd(r, held);
  return r;
}

x86::Xmm Emitter::Negated(const DoubleStep& s) {
  x86::Xmm r = Copy(s.A);
  cc_.xorpd(r, SignBit());
  return r;
}

// Declines below zero; a NaN passes here and declines as its NaN root.
x86::Xmm Emitter::SquareRoot(const DoubleStep& s) {
  if (packed_) {
    DeclineIfAny(Mask(s.A, kLess, kZero));
  } else {
    cc_.emit(x86::Inst::kIdUcomisd, Zero(), Source(s.A));
    cc_.ja(decline_);
  }
  x86::Xmm r = Copy(s.A);
  cc_.emit(Width(x86::Inst::kIdSqrtsd, x86::Inst::kIdSqrtpd), r, r);
  return r;
}

// 1.0 where the mask is all ones, 0.0 where it is all zeros; Falsity the other way round.
x86::Xmm Emitter::Truth(const x86::Xmm& mask) {
  cc_.andpd(mask, ConstantMem(1.0));
  return mask;
}

x86::Xmm Emitter::Falsity(const x86::Xmm& mask) {
  cc_.andnpd(mask, ConstantMem(1.0));
  return mask;
}

// All ones where a and b differ: one is below the other.
x86::Xmm Emitter::Unequal(const DoubleStep& s) {
  x86::Xmm unequal = Mask(s.A, kLess, s.B);
  cc_.orpd(unequal, Mask(s.B, kLess, s.A));
  return unequal;
}

// A helper call: its result comes back in XMM0, NaN where the program declines, for the caller's
// finiteness test.
x86::Xmm Emitter::Call(const DoubleStep& s) {
  x86::Xmm a = written_[s.A] ? values_[s.A] : Copy(s.A);
  x86::Xmm r = NewXmm();
  InvokeNode* call = nullptr;
  // Power and the other functions have helpers of their own signatures; FACT, SIN, COS and EXP
  // one of one operand each.
  if (s.Op == DoubleOp::Power) {
    x86::Xmm b = written_[s.B] ? values_[s.B] : Copy(s.B);
    cc_.invoke(&call, imm(reinterpret_cast<uintptr_t>(&PowerStep)),
               FuncSignatureT<double, double, double>(CallConvId::kHost));
    call->setArg(0, a);
    call->setArg(1, b);
  } else if (s.Op == DoubleOp::Function) {
    cc_.invoke(&call, imm(reinterpret_cast<uintptr_t>(&FunctionStep)),
               FuncSignatureT<double, double, int32_t>(CallConvId::kHost));
    call->setArg(0, a);
    call->setArg(1, imm(int32_t(s.Opcode)));
  } else {
    cc_.invoke(&call, imm(reinterpret_cast<uintptr_t>(HelperOf(s.Op))),
               FuncSignatureT<double, double>(CallConvId::kHost));
    call->setArg(0, a);
  }
  call->setRet(0, r);
  return r;
}

// A host function's call: the arguments stored in an area of the function's own stack (so that
// the frame's address need not live across the call), then HostValue with the function's body,
// which returns the result in XMM0 (NaN where the body threw).
x86::Xmm Emitter::Host(const DoubleStep&, const DoubleHostCall& call) {
  if (hostArgsOf_ != cc_.func()) {  // one area a function, for its largest call
    size_t most = 1;
    for (const DoubleHostCall& c : program_.Hosts) most = std::max(most, c.Args.size());
    hostArgs_ = cc_.newStack(uint32_t(most * 8), 16);
    hostArgsOf_ = cc_.func();
  }
  for (size_t k = 0; k < call.Args.size(); ++k) {
    const uint8_t reg = call.Args[k];
    x86::Mem at = hostArgs_;
    at.addOffset(int64_t(k * 8));
    cc_.movsd(at, written_[reg] ? values_[reg] : Copy(reg));
  }
  x86::Gp args = cc_.newIntPtr();
  cc_.lea(args, hostArgs_);
  x86::Xmm r = NewXmm();
  InvokeNode* invoke = nullptr;
  cc_.invoke(&invoke, imm(reinterpret_cast<uintptr_t>(&HostValue)),
             FuncSignatureT<double, const HostBody*, const double*, size_t>(CallConvId::kHost));
  invoke->setArg(0, imm(reinterpret_cast<uintptr_t>(&call.Function->Function.Body)));
  invoke->setArg(1, args);
  invoke->setArg(2, imm(int64_t(call.Args.size())));
  invoke->setRet(0, r);
  return r;
}

}  // namespace

bool EmitX86(const DoubleProgram& Program, const Variant* const* Records, CodeHolder& Code, EntryLabels& Labels) {
  return EmitEntries<Emitter>(Program, Records, Code, Labels);
}

}  // namespace qv::native

#endif  // x86-64
