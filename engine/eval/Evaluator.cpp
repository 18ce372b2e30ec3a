// The evaluator: selects an expression and runs its compiled program, on the fastest tier that
// takes it (engine/eval/Tiers.h) and otherwise on the general loop here: the postfix instructions
// on an accumulator and a 40-slot operand stack. An instruction of k arguments finds argument k in the accumulator and the
// others in the top k-1 slots, leaves its result in the accumulator and pops k-1. A failing
// sub-step has no effect and the instruction goes on (continue on failure); domain failures and
// array bounds are recorded in the evaluation's outcome (Outcome.h), and evaluation still runs to
// the end. The engine's error state takes the outcome once, in Value.
#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/eval/Failures.h"
#include "engine/eval/Inputs.h"
#include "engine/eval/Machine.h"
#include "engine/eval/NumberFormat.h"
#include "engine/eval/NumericFunctions.h"
#include "engine/eval/Operators.h"
#include "engine/eval/Outcome.h"
#include "engine/eval/StringFunctions.h"
#include "engine/eval/Tiers.h"

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

// Index 0, an index out of range or a negative index select the highest expression; a negative
// Index is overwritten with it. Nothing runs while a failure is recorded or the text is empty.
Variant Engine::Value(int32_t& Index) {
  const int32_t highest = std::max(int32_t(expressions_.Records.size()) - 1, int32_t(0));
  // One unsigned comparison tells an index from 1 to the highest from everything else.
  int32_t selected = Index;
  if (uint32_t(Index) - 1 >= uint32_t(highest)) {
    if (Index < 0) Index = highest;
    selected = highest;
  }
  expressions_.Current = selected;
  errors_.SetSource(selected);
  if (size_t(selected) >= expressions_.Records.size()) return {};
  const CompiledExpression& record = expressions_.Records[size_t(selected)];
  // The steady state of a host's loop, kept short: the machine code exists, nothing is recorded
  // and (under the strict profile) every input is finite. Machine code exists only for a
  // compilation that finished, so the record has no failure to repeat.
  const Program* code = record.Compiled.get();
  const NativeProgram* native = code && highestTier_ >= Tier::Native ? code->Native.Made() : nullptr;
  if (native && errors_.Code() == 0 && !record.Text.empty() && (!strict_ || InputsFinite(*code))) {
    double frame[DoubleProgram::kMaxRegisters], value;
    if (native->RunOnRecords(frame, value)) return DoubleProgramResult(*code->Fast, value);
    return OnGeneralLoop(*code);  // the all-double program declines exactly where the machine code does
  }
  return OnLadder(record, selected);
}

// Value's other cases, out of line so that the steady state above stays short: what refuses
// to run, a failed compilation's failure recorded again, the fast tiers before the machine code
// exists, and the general loop.
[[gnu::noinline]] Variant Engine::OnLadder(const CompiledExpression& Record, int32_t Selected) {
  if (Record.Text.empty() || errors_.Code() != 0 || !Record.Compiled) return {};
  if (Record.Failure) {  // what a failed compilation left is never run: its failure again
    errors_ = *Record.Failure;
    errors_.SetSource(Selected);
    return {};
  }
  const Program& code = *Record.Compiled;
  double frame[DoubleProgram::kMaxRegisters], value;
  if (code.Fast && highestTier_ >= Tier::AllDouble && (!strict_ || InputsFinite(code)) &&
      RunFastOnRecords(code, highestTier_, frame, value))
    return DoubleProgramResult(*code.Fast, value);
  return OnGeneralLoop(code);
}

// The general loop on the program's own inputs, its outcome recorded in the error state.
[[gnu::noinline]] Variant Engine::OnGeneralLoop(const Program& Code) {
  Outcome outcome = Evaluate(Code, Code.FrameInputs.data());
  errors_.Record(outcome.Failure);
  return std::move(outcome.Value);
}

// The general loop. Under the evaluation trap a failing sub-step has no effect and the loop goes
// on; with the trap off the first failure, recorded by the instruction or hidden by the rule,
// ends the evaluation with an empty result, recorded with what failed and why.
Outcome Engine::Evaluate(const Program& Code, const Variant* const* Values) {
  Outcome out;
  ErrorState& failure = out.Failure;
  Machine m;
  std::array<Variant, 4> args;  // the instruction's arguments, kept only while the trap is off
  for (const Instruction& instruction : Code.Code) {
    const int n = evaluationTrap_ ? 0 : KeepArguments(m, instruction.Op, args);
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
    if (evaluationTrap_ || (s != Step::Failed && failure.Code() == 0)) continue;
    if (failure.Code() == 0) RecordFailure(instruction.Op, args.data(), n, memory, failure);
    return out;
  }
  out.Value = std::move(m.acc);
  return out;
}

// One instruction: its effect on the accumulator and the stack, and whether a sub-step failed.
Step Engine::Execute(Machine& m, const Instruction& instruction, const Program& Code, const Variant* const* Values,
                     ErrorState& Failure) {
  const int16_t op = instruction.Op;
  switch (op) {
    case OpLoad:  // push; acc := the constant, or the variable's current value
      m.Push();
      m.acc = instruction.Variable ? *Values[instruction.Index] : Code.Constants[instruction.Index];
      if (strict_ && instruction.Variable) return CheckInput(Code.Variables[instruction.Index]->Name, m.acc, Failure);
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
    case OpRnd: return Random(m.acc, random_->Next());                        // acc := acc * random
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
      return instruction.Index < Code.Hosts.size() ? CallHost(m, Code.Hosts[instruction.Index], !evaluationTrap_, Failure) : Step::Ok;
    default: break;
  }
  switch (OpcodeTable::Kind(op)) {
    case OpKind::RealFunction: {  // one-argument numeric functions: acc := f(acc)
      const Step s = UnaryFunction(op, m.acc);
      if (s == Step::Domain) RecordDomain(op, nullptr, m.acc, Failure);
      return s;
    }
    case OpKind::UserFunction: CallUserFunc(m, op, Failure); return Step::Ok;
    case OpKind::None: case OpKind::Opener: case OpKind::Closer: case OpKind::ArrayRow:
      if (op < 0 && -op <= arrays_.ArraysCount()) return ArrayElement(m, -op, Failure);
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
int Engine::KeepArguments(const Machine& M, int16_t Op, std::array<Variant, 4>& Args) const {
  int n = 0;
  const OpKind kind = OpcodeTable::Kind(Op);
  if (Op < 0) n = arrays_.ArrayDims(-Op);
  else if (kind == OpKind::Operator || kind == OpKind::WordOperator) n = 2;
  else if (kind == OpKind::Unary) n = 1;
  else if (kind != OpKind::UserFunction && kind != OpKind::HostFunction) n = std::max<int>(opcodes_.Args(Op), 0);
  n = std::min(n, int(Args.size()));
  for (int k = 0; k < n; ++k) {
    const Variant* v = k == n - 1 ? &M.acc : M.Below(n - 2 - k);
    Args[size_t(k)] = v ? *v : Variant();
  }
  return n;
}

// A failure the evaluation trap would have hidden: its number, as the engine's error code, and
// the instruction written out with the failure's text ("EXP(710): Overflow").
void Engine::RecordFailure(int16_t Op, const Variant* Args, int Count, bool Memory, ErrorState& Failure) {
  const int32_t number = Memory ? int32_t(kErrOutOfMemory) : FailureNumber(Op, Args, Count);
  const std::u16string name = Op < 0 ? arrays_.ArrayName(Variant(int32_t(-Op))) : opcodes_.Name(Op);
  std::u16string text = WrittenOut(Failure, name, Op, Args, Count);
  Failure.Set(number, text.append(u": ").append(RuntimeErrorText(number)));
}

// The element of array Slot named by the top NumDims values: each index is checked against its
// bounds as a double (the first failing dimension is recorded, code 5), then rounded and fetched
// whether or not the check passed. An index outside the dimension or the storage leaves the
// accumulator with the last index. An index that does not read as a number counts as 0.
Step Engine::ArrayElement(Machine& M, int Slot, ErrorState& Failure) {
  const ArrayEntry* stored = arrays_.Entry(Slot);
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
    std::u16string text = arrays_.ArrayNameWithDims(Variant(int16_t(Slot)));
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
  return strict_ ? CheckInput(ElementName(entry, subscripts), M.acc, Failure) : Step::Ok;
}

// A call of a user function: the arguments go, last first, into the sub-engine's
// variables by position (a position the sub-engine lacks is skipped), then the sub-engine
// evaluates its highest expression, the body. Without arguments the call pushes first, like PI.
// Each call starts with the sub-engine's failure of an earlier call cleared, so one failure does
// not leave the function broken (a body that failed to compile keeps its failure and gives
// nothing). A failure inside the body stays the sub-engine's under the evaluation trap; with the
// trap off it is recorded here, named after the function.
void Engine::CallUserFunc(Machine& M, int16_t Opcode, ErrorState& Failure) {
  const int n = opcodes_.Args(Opcode);
  const int slot = OpcodeTable::UserSlot(Opcode);
  Engine& sub = UserFuncEngine(slot);
  if (userFuncCompiled_[size_t(slot - 1)]) sub.ClearError();
  if (n <= 0) M.Push();
  for (int k = n; k >= 1; --k) {
    const Variant* argument = k == n ? &M.acc : M.Below(n - 1 - k);
    qvVariable* parameter = sub.variables_.Store().At(k);
    if (argument && parameter) parameter->Value = *argument;
  }
  int32_t body = 0;
  M.acc = sub.Value(body);
  if (n > 1) M.Pop(n - 1);
  if (!evaluationTrap_ && sub.errors_.Code() != 0) {
    Failure.Set(sub.errors_.Code(), sub.errors_.Description() + std::u16string(msg::kInUserFunction) +
                                      opcodes_.Name(Opcode) + u"'");
  }
}

// Every sub-engine shares this engine's generator, so RND draws one sequence in the whole tree.
Engine& Engine::UserFuncEngine(int Slot) {
  std::unique_ptr<Engine>& engine = userFuncEngines_[size_t(Slot - 1)];
  if (!engine) {
    engine = std::make_unique<Engine>(random_);
    engine->SetStrict(strict_);
    engine->SetEvaluationTrap(evaluationTrap_);
    engine->SetHighestTier(highestTier_);
    engine->SetNativeAfter(nativeAfter_);
  }
  return *engine;
}

}  // namespace qv
