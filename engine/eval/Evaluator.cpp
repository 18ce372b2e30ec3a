// The general loop (GeneralLoop.h): the postfix instructions of a compiled program on an
// accumulator and a 40-slot operand stack. An instruction of k arguments finds argument k in the accumulator and the
// others in the top k-1 slots, leaves its result in the accumulator and pops k-1. A failing
// sub-step has no effect and the instruction goes on (continue on failure); domain failures and
// array bounds are recorded in the evaluation's outcome (Outcome.h), and evaluation still runs to
// the end. The engine's error state takes the outcome once, in Value (engine/Engine.cpp).
#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include "engine/eval/GeneralLoop.h"

#include "engine/Messages.h"
#include "engine/eval/Failures.h"
#include "engine/eval/Inputs.h"
#include "engine/eval/Machine.h"
#include "engine/eval/NumberFormat.h"
#include "engine/eval/NumericFunctions.h"
#include "engine/eval/Operators.h"
#include "engine/eval/Outcome.h"
#include "engine/eval/StringFunctions.h"

namespace qv {
namespace {

// Two-operand operators without a check of their own: compute into the accumulator, then pop.
// A left operand outside the stack fails the computing sub-step.
template <class Operator>
Step Binary(Machine& m, Operator op) {
  const Variant* l = m.Below(0);
  const Step s = l ? op(*l, m.acc) : Step::Failed;
  m.Pop(1);
  return s;
}

// An instruction of n + 1 arguments pops n after its computation, whatever its outcome.
Step Popped(Machine& m, int n, Step s) {
  m.Pop(n);
  return s;
}

// ^, / and \: the operators that check their operands and may record a failure. A left operand
// outside the stack fails the division after its zero test, and fails the power's sign test,
// which then carries on as if it held and fails the power itself.
Step Checked(int16_t op, const Variant* l, Variant& acc) {
  if (!l) return op != OpPower && IsNonZero(acc) == Test::False ? Step::Domain : Step::Failed;
  if (op == OpPower) return Power(*l, acc);
  return op == OpDivide ? Divide(*l, acc) : IntDivide(*l, acc);
}

// A number as the plain number-to-text form writes it: one blank before a value not negative.
std::u16string PlainNumber(double x) {
  return (x < 0 ? u"" : u" ") + NumberToText(x);
}

}  // namespace

// One evaluation's view of its engine, and the instructions' work on it.
class GeneralLoop {
 public:
  explicit GeneralLoop(const LoopContext& Context) : c_(Context) {}
  Outcome Run(const Program& Code, const Variant* const* Values);

 private:
  // One instruction: Failed when a sub-step failed; failures go to Failure.
  Step Execute(Machine& M, const Instruction& Current, const Program& Code, const Variant* const* Values,
               ErrorState& Failure);
  int KeepArguments(const Machine& M, int16_t Op, std::array<Variant, 4>& Args) const;
  void RecordFailure(int16_t Op, const Variant* Args, int Count, bool Memory, ErrorState& Failure);
  Step ArrayElement(Machine& M, int Slot, ErrorState& Failure);  // opcode -Slot: one element of array Slot

  const LoopContext& c_;
};

// The general loop. Under the evaluation trap a failing sub-step has no effect and the loop goes
// on; with the trap off the first failure, recorded by the instruction or hidden by the rule,
// ends the evaluation with an empty result, recorded with what failed and why.
Outcome GeneralLoop::Run(const Program& Code, const Variant* const* Values) {
  Outcome out;
  ErrorState& failure = out.Failure;
  Machine m;
  std::array<Variant, 4> args;  // the instruction's arguments, kept only while the trap is off
  for (const Instruction& instruction : Code.Code) {
    const int n = c_.Trap ? 0 : KeepArguments(m, instruction.Op, args);
    Step s;
    bool memory = false;
    try {
      s = Execute(m, instruction, Code, Values, failure);
    } catch (const std::bad_alloc&) {
      // A text too large for the memory left: the sub-step fails like any other.
      s = Step::Failed;
      memory = true;
    } catch (const std::length_error&) {
      s = Step::Failed;
      memory = true;
    }
    if (c_.Trap || (s != Step::Failed && failure.Code() == 0)) continue;
    if (failure.Code() == 0) RecordFailure(instruction.Op, args.data(), n, memory, failure);
    return out;
  }
  out.Value = std::move(m.acc);
  return out;
}

// One instruction: its effect on the accumulator and the stack, and whether a sub-step failed.
Step GeneralLoop::Execute(Machine& m, const Instruction& instruction, const Program& Code, const Variant* const* Values,
                     ErrorState& Failure) {
  const int16_t op = instruction.Op;
  switch (op) {
    case OpLoad:  // push; acc := the constant, or the variable's current value
      m.Push();
      m.acc = instruction.Variable ? *Values[instruction.Index] : Code.Constants[instruction.Index];
      if (c_.Strict && instruction.Variable) return CheckInput(Code.Variables[instruction.Index]->Name, m.acc, Failure);
      return Step::Ok;
    case OpNegate: return Negate(m.acc);  // acc := -acc
    case OpNot: return Not(m.acc);        // acc := 1 when acc <= 0, else 0
    case OpPower:                         // acc := top ^ acc, pop; or record, no pop
    case OpDivide:                        // acc := top / acc, pop; or record, no pop
    case OpIntDivide: {                   // acc := top \ acc, pop; or record, no pop
      const Variant* l = m.Below(0);
      const Step s = Checked(op, l, m.acc);
      if (s == Step::Domain) RecordDomain(op, l, m.acc, Failure); else m.Pop(1);
      return s;
    }
    case OpMultiply: return Binary(m, Multiply);  // acc := top * acc, pop
    case OpAdd: return Binary(m, Add);            // acc := top + acc, pop
    case OpSubtract: return Binary(m, Subtract);  // acc := top - acc, pop
    case OpMod: return Binary(m, Mod);            // acc := top MOD acc, pop
    case OpConcat: return Binary(m, Concat);      // acc := top & acc, pop
    case OpEqual: case OpNotEqual: case OpLessEqual: case OpLess: case OpGreaterEqual:
    case OpGreater:                               // acc := 1 or 0, pop
      if (const Variant* l = m.Below(0)) Relation(op, *l, m.acc); else m.acc = Variant(int16_t(1));
      m.Pop(1);
      return Step::Ok;
    case OpAnd: case OpOr: case OpXor: {          // acc := 1 or 0, pop
      const Variant* l = m.Below(0);
      const Step s = l ? Logic(op, *l, m.acc) : Step::Failed;
      if (!l) m.acc = Variant(int16_t(1));
      m.Pop(1);
      return s;
    }
    case OpPi: m.Push(); m.acc = Variant(kPi); return Step::Ok;                // push; acc := pi
    case OpDeg: m.Push(); m.acc = Variant(DegreeConstant()); return Step::Ok;  // push; acc := pi/180
    case OpRnd: return Random(m.acc, c_.Random.Next());                        // acc := acc * random
    case OpFact: {                                                            // acc := acc!
      double x, product;
      if (!m.acc.toNumber(x)) return Step::Failed;
      Factorial(x, product, Failure);
      m.acc.setDouble(product);  // 0 when the failure was recorded
      return Step::Ok;
    }
    case OpMin: case OpMax: MinMax(op == OpMax, m.Below(0), m.acc); m.Pop(1); return Step::Ok;
    case OpNcr: case OpNpr: return Combinations(m, op == OpNpr, Failure);  // acc := nCr / nPr, pop
    case OpIif: {                                                 // acc := a or b, pop 2
      const Step s = Iif(m.Below(1), m.Below(0), m.acc);
      m.Pop(2);
      return s;
    }
    case OpLen: return Len(m.acc);
    case OpAsc: return Asc(m.acc);
    case OpSpace: return Space(m.acc);
    case OpString: return Popped(m, 1, StringOf(m.Below(0), m.acc));
    case OpLeft: case OpRight: return Popped(m, 1, LeftRight(op == OpRight, m.Below(0), m.acc));
    case OpMid: return Popped(m, 2, Mid(m.Below(1), m.Below(0), m.acc));
    case OpInstr: return Popped(m, 2, Instr(m.Below(1), m.Below(0), m.acc));
    case OpSgn: return UnaryFunction(op, m.acc);  // acc := -1, 0 or 1
    case OpHost:  // acc := f(args), pop; an instruction without its function has no effect
      return instruction.Index < Code.Hosts.size() ? CallHost(m, Code.Hosts[instruction.Index], !c_.Trap, Failure) : Step::Ok;
    default: break;
  }
  switch (OpcodeTable::Kind(op)) {
    case OpKind::RealFunction: {  // one-argument numeric functions: acc := f(acc)
      const Step s = UnaryFunction(op, m.acc);
      if (s == Step::Domain) RecordDomain(op, nullptr, m.acc, Failure);
      return s;
    }
    case OpKind::UserFunction: c_.Functions.CallUserFunc(m, op, Failure); return Step::Ok;
    case OpKind::None: case OpKind::Opener: case OpKind::Closer: case OpKind::ArrayRow:
      if (op < 0 && -op <= c_.Arrays.ArraysCount()) return ArrayElement(m, -op, Failure);
      // Anything else (ARRAY, markers, unknown opcodes) is an internal error that has no effect
      // under continue on failure: nothing is popped.
      return Step::Ok;
    default:  // a row of the table that the cases above do not compute: never quietly
      Failure.Report(u"Value", qvRuntimeError(kErrInternal));
      return Step::Ok;
  }
}

// The arguments an instruction is about to take, copied (a failing instruction may pop them):
// the accumulator is the last, the slots below it the earlier ones. Returns how many.
int GeneralLoop::KeepArguments(const Machine& M, int16_t Op, std::array<Variant, 4>& Args) const {
  int n = 0;
  const OpKind kind = OpcodeTable::Kind(Op);
  if (Op < 0) n = c_.Arrays.ArrayDims(-Op);
  else if (kind == OpKind::Operator || kind == OpKind::WordOperator) n = 2;
  else if (kind == OpKind::Unary) n = 1;
  else if (kind != OpKind::UserFunction && kind != OpKind::HostFunction) n = std::max<int>(c_.Opcodes.Args(Op), 0);
  n = std::min(n, int(Args.size()));
  for (int k = 0; k < n; ++k) {
    const Variant* v = k == n - 1 ? &M.acc : M.Below(n - 2 - k);
    Args[size_t(k)] = v ? *v : Variant();
  }
  return n;
}

// A failure the evaluation trap would have hidden: its number, as the engine's error code, and
// the instruction written out with the failure's text ("EXP(710): Overflow").
void GeneralLoop::RecordFailure(int16_t Op, const Variant* Args, int Count, bool Memory, ErrorState& Failure) {
  const int32_t number = Memory ? int32_t(kErrOutOfMemory) : FailureNumber(Op, Args, Count);
  const std::u16string name = Op < 0 ? c_.Arrays.ArrayName(Variant(int32_t(-Op))) : c_.Opcodes.Name(Op);
  std::u16string text = WrittenOut(Failure, name, Op, Args, Count);
  Failure.Set(number, text.append(u": ").append(RuntimeErrorText(number)));
}

// The element of array Slot named by the top NumDims values: each index is checked against its
// bounds as a double (the first failing dimension is recorded, code 5), then rounded and fetched
// whether or not the check passed. An index outside the dimension or the storage leaves the
// accumulator with the last index. An index that does not read as a number counts as 0.
Step GeneralLoop::ArrayElement(Machine& M, int Slot, ErrorState& Failure) {
  const ArrayEntry* stored = c_.Arrays.Entry(Slot);
  if (!stored) return Step::Ok;
  const ArrayEntry& entry = *stored;
  const int n = entry.NumDims;
  // An array without dimensions (only a host's SetArrayValues makes one) has no element and no
  // index to take: its reference changes nothing, like an instruction without an action.
  if (n < 1 || n > 4) return Step::Ok;
  std::array<double, 5> index{};
  bool read = true;
  for (int d = 1; d <= n; ++d) {
    const Variant* v = d == n ? &M.acc : M.Below(n - 1 - d);
    read = v && v->toNumber(index[size_t(d)]) && read;
  }
  for (int d = 1; d <= n; ++d) {
    if (index[size_t(d)] >= 0 && index[size_t(d)] <= entry.Dims[size_t(d)]) continue;
    std::u16string text = c_.Arrays.ArrayNameWithDims(Variant(int16_t(Slot)));
    text.append(msg::kArrayElement).append(PlainNumber(d)).append(msg::kOutOfBounds);
    Failure.Set(5, text.append(PlainNumber(index[size_t(d)])));
    break;
  }
  std::array<int32_t, 4> subscripts{};
  bool whole = true;
  for (int d = 1; d <= n; ++d) whole = whole && ToWhole(index[size_t(d)], subscripts[size_t(d - 1)]);
  const int64_t offset = whole ? ArrayStore::ElementOffset(entry, subscripts) : -1;
  if (offset >= 0) M.acc = Variant(entry.Values[size_t(offset)]);
  M.Pop(n - 1);
  if (!read || offset < 0) return Step::Failed;
  return c_.Strict ? CheckInput(ElementName(entry, subscripts), M.acc, Failure) : Step::Ok;
}

Outcome Evaluate(const LoopContext& Context, const Program& Code, const Variant* const* Values) {
  return GeneralLoop(Context).Run(Code, Values);
}

}  // namespace qv
