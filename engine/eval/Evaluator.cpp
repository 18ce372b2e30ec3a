// The evaluator: selects an expression and runs its compiled program, on the fastest tier that
// takes it (engine/eval/Tiers.h) and otherwise on the general loop here: the postfix instructions
// on an accumulator and a 40-slot operand stack. An instruction of k arguments finds argument k in the accumulator and the
// others in the top k-1 slots, leaves its result in the accumulator and pops k-1. A failing
// sub-step has no effect and the instruction goes on (continue on failure); domain failures and
// array bounds are recorded in the error state, and evaluation still runs to the end.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/eval/Machine.h"
#include "engine/eval/NumberFormat.h"
#include "engine/eval/NumericFunctions.h"
#include "engine/eval/Operators.h"
#include "engine/eval/StringFunctions.h"
#include "engine/eval/Tiers.h"

namespace qv {
namespace {

// Two-operand operators without a check of their own: compute into the accumulator, then pop.
// A left operand outside the stack fails the computing sub-step.
template <class Operator>
void Binary(Machine& m, Operator op) {
  if (const Variant* l = m.Below(0)) op(*l, m.acc);
  m.Pop(1);
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
  const int32_t highest = std::max(int32_t(expressions_.size()) - 1, int32_t(0));
  // One unsigned comparison tells an index from 1 to the highest from everything else.
  int32_t selected = Index;
  if (uint32_t(Index) - 1 >= uint32_t(highest)) {
    if (Index < 0) Index = highest;
    selected = highest;
  }
  currentExpression_ = selected;
  errors_.Source = selected;
  if (size_t(selected) >= expressions_.size()) return {};
  const CompiledExpression& record = expressions_[size_t(selected)];
  if (record.Text.empty() || errors_.Code != 0 || !record.Compiled) return {};
  const Program& code = *record.Compiled;
  return Run(code, code.VariableValues.data());
}

Variant Engine::Run(const Program& Code, const Variant* const* Values) {
  if (Code.Fast && highestTier_ >= Tier::AllDouble) {
    double frame[DoubleProgram::kMaxRegisters];
    double value;
    if (GatherFrame(Code, Values, frame) && RunFastTiers(Code, highestTier_, frame, value))
      return DoubleProgramResult(*Code.Fast, value);
  }
  return Evaluate(Code, Values);
}

Variant Engine::Evaluate(const Program& Code, const Variant* const* Values) {
  Machine m;
  for (const Instruction& instruction : Code.Code) {
    const int16_t op = instruction.Op;
    try {
      switch (op) {
        case OpLoad:  // push; acc := the constant, or the variable's current value
          m.Push();
          m.acc = instruction.Variable ? *Values[instruction.Index] : Code.Constants[instruction.Index];
          break;
        case OpNegate: Negate(m.acc); break;  // acc := -acc
        case OpNot: Not(m.acc); break;        // acc := 1 when acc <= 0, else 0
        case OpPower:                         // acc := top ^ acc, pop; or record, no pop
        case OpDivide:                        // acc := top / acc, pop; or record, no pop
        case OpIntDivide: {                   // acc := top \ acc, pop; or record, no pop
          const Variant* l = m.Below(0);
          Step s = Checked(op, l, m.acc);
          if (s == Step::Domain) RecordDomain(op, l, m.acc); else m.Pop(1);
          break;
        }
        case OpMultiply: Binary(m, Multiply); break;    // acc := top * acc, pop
        case OpAdd: Binary(m, Add); break;              // acc := top + acc, pop
        case OpSubtract: Binary(m, Subtract); break;    // acc := top - acc, pop
        case OpMod: Binary(m, Mod); break;              // acc := top MOD acc, pop
        case OpConcat: Binary(m, Concat); break;        // acc := top & acc, pop
        case OpEqual: case OpNotEqual: case OpLessEqual: case OpLess: case OpGreaterEqual:
        case OpGreater:                                 // acc := 1 or 0, pop
          if (const Variant* l = m.Below(0)) Relation(op, *l, m.acc); else m.acc = Variant(int16_t(1));
          m.Pop(1);
          break;
        case OpAnd: case OpOr: case OpXor:              // acc := 1 or 0, pop
          if (const Variant* l = m.Below(0)) Logic(op, *l, m.acc); else m.acc = Variant(int16_t(1));
          m.Pop(1);
          break;
        case OpPi: m.Push(); m.acc = Variant(kPi); break;                 // push; acc := pi
        case OpDeg: m.Push(); m.acc = Variant(DegreeConstant()); break;   // push; acc := pi/180
        case OpRnd: Random(m.acc, random_->Next()); break;                // acc := acc * random
        case OpFact: {                                                    // acc := acc!
          double x, product;
          if (m.acc.toNumber(x)) {
            Factorial(x, product);
            m.acc.setDouble(product);  // 0 when the failure was recorded
          }
          break;
        }
        case OpMin: case OpMax: MinMax(op == OpMax, m.Below(0), m.acc); m.Pop(1); break;
        case OpNcr: case OpNpr: Combinations(m, op == OpNpr); break;      // acc := nCr / nPr, pop
        case OpIif: Iif(m.Below(1), m.Below(0), m.acc); m.Pop(2); break;  // acc := a or b, pop 2
        case OpLen: Len(m.acc); break;
        case OpAsc: Asc(m.acc); break;
        case OpSpace: Space(m.acc); break;
        case OpString: StringOf(m.Below(0), m.acc); m.Pop(1); break;
        case OpLeft: case OpRight: LeftRight(op == OpRight, m.Below(0), m.acc); m.Pop(1); break;
        case OpMid: Mid(m.Below(1), m.Below(0), m.acc); m.Pop(2); break;
        case OpInstr: Instr(m.Below(1), m.Below(0), m.acc); m.Pop(2); break;
        case OpSgn:  // acc := -1, 0 or 1
          UnaryFunction(op, m.acc);
          break;
        default:
          switch (OpcodeTable::Kind(op)) {
            case OpKind::RealFunction:  // one-argument numeric functions: acc := f(acc)
              if (UnaryFunction(op, m.acc) == Step::Domain) RecordDomain(op, nullptr, m.acc);
              break;
            case OpKind::UserFunction: CallUserFunc(m, op); break;
            case OpKind::None: case OpKind::Opener: case OpKind::Closer: case OpKind::ArrayRow:
              if (op < 0 && -op <= arraysCount_) ArrayElement(m, -op);
              // Anything else (ARRAY, markers, unknown opcodes) is an internal error that has
              // no effect under continue on failure: nothing is popped.
              break;
            default:  // a row of the table that the cases above do not compute: never quietly
              errors_.Report(u"Value", qvRuntimeError(kErrInternal));
              break;
          }
          break;
      }
    } catch (const std::bad_alloc&) {
      // A text too large for the memory left: the sub-step fails like any other.
    } catch (const std::length_error&) {
    }
  }
  return std::move(m.acc);
}

// "Div by zero" for / and \; "(" L ") ^ " R for a power; NAME "(" x ")" for a function.
void Engine::RecordDomain(int16_t Opcode, const Variant* Left, const Variant& Right) {
  if (Opcode == OpDivide || Opcode == OpIntDivide) {
    errors_.Set(6, std::u16string(msg::kDivByZero));
    return;
  }
  double x = 0, y = 0;
  Right.toNumber(y);
  std::u16string text;
  if (Opcode == OpPower) {
    if (Left) Left->toNumber(x);
    text.append(u"(").append(FormatReal(errors_, x)).append(msg::kPowerOf).append(FormatReal(errors_, y));
  } else {
    text.append(kOpcodeRows[size_t(Opcode)].name).append(u"(").append(FormatReal(errors_, y)).append(u")");
  }
  errors_.Set(6, std::move(text));
}

// The element of array Slot named by the top NumDims values: each index is checked against its
// bounds as a double (the first failing dimension is recorded, code 5), then rounded and fetched
// whether or not the check passed. An index outside the dimension or the storage leaves the
// accumulator with the last index. An index that does not read as a number counts as 0.
void Engine::ArrayElement(Machine& M, int Slot) {
  if (size_t(Slot) >= arrays_.size()) return;
  const ArrayEntry& entry = arrays_[size_t(Slot)];
  const int n = entry.NumDims;
  // An array without dimensions (only a host's SetArrayValues makes one) has no element and no
  // index to take: its reference changes nothing, like an instruction without an action.
  if (n < 1 || n > 4) return;
  std::array<double, 5> index{};
  for (int d = 1; d <= n; ++d) {
    const Variant* v = d == n ? &M.acc : M.Below(n - 1 - d);
    if (v) v->toNumber(index[size_t(d)]);
  }
  for (int d = 1; d <= n; ++d) {
    if (index[size_t(d)] >= 0 && index[size_t(d)] <= entry.Dims[size_t(d)]) continue;
    std::u16string text = ArrayNameWithDims(Variant(int16_t(Slot)));
    text.append(msg::kArrayElement).append(PlainNumber(d)).append(msg::kOutOfBounds);
    errors_.Set(5, text.append(PlainNumber(index[size_t(d)])));
    break;
  }
  std::array<int32_t, 4> subscripts{};
  bool whole = true;
  for (int d = 1; d <= n; ++d) whole = whole && ToWhole(index[size_t(d)], subscripts[size_t(d - 1)]);
  const int64_t offset = whole ? ElementOffset(entry, subscripts) : -1;
  if (offset >= 0) M.acc = Variant(entry.Values[size_t(offset)]);
  M.Pop(n - 1);
}

// A call of a user function: the arguments go, last first, into the sub-engine's
// variables by position (a position the sub-engine lacks is skipped), then the sub-engine
// evaluates its highest expression, the body. Without arguments the call pushes first, like PI.
void Engine::CallUserFunc(Machine& M, int16_t Opcode) {
  const int n = opcodes_.Args(Opcode);
  Engine& sub = UserFuncEngine(OpcodeTable::UserSlot(Opcode));
  if (n <= 0) M.Push();
  for (int k = n; k >= 1; --k) {
    const Variant* argument = k == n ? &M.acc : M.Below(n - 1 - k);
    qvVariable* parameter = sub.variables_.At(k);
    if (argument && parameter) parameter->Value = *argument;
  }
  int32_t body = 0;
  M.acc = sub.Value(body);
  if (n > 1) M.Pop(n - 1);
}

// Every sub-engine shares this engine's generator, so RND draws one sequence in the whole tree.
Engine& Engine::UserFuncEngine(int Slot) {
  std::unique_ptr<Engine>& engine = userFuncEngines_[size_t(Slot - 1)];
  if (!engine) {
    engine = std::make_unique<Engine>(random_);
    engine->SetEvaluationTrap(evaluationTrap_);
    engine->SetHighestTier(highestTier_);
  }
  return *engine;
}

}  // namespace qv
