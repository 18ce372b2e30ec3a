// Deriving the all-double program from a compiled program. Registers 0 to n-1 are the program's
// n variables; a first pass gives every constant a register after them; a second pass replays the general loop's stack discipline on
// shapes instead of values (the accumulator and the 40 slots, the initial empty value at the
// bottom), so each instruction knows which registers hold its arguments and which kind its result
// has. The result of an instruction goes to the register of the stack position it leaves it in.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "engine/compile/OpcodeTable.h"
#include "engine/eval/DoubleProgram.h"
#include "engine/eval/DoubleSemantics.h"
#include "engine/eval/Machine.h"
#include "engine/eval/Program.h"

namespace qv {
namespace {

// The kind a value will have at run time. Number: a number whose kind depends on the values
// (MIN of a double and a whole number); only a double result may come of it.
enum class Shape : uint8_t { Empty, Double, Int16, Int32, Number };

struct Value {
  int reg;
  Shape shape;
};

Shape Join(Shape a, Shape b) { return a == b ? a : Shape::Number; }

// The number of arguments of an instruction the program covers (loads, PI and DEG take none), or
// -1 for an instruction it leaves to the general loop: its row names no step.
int Arguments(int16_t op) {
  if (op == OpLoad || OpcodeTable::Kind(op) == OpKind::Constant) return 0;
  if (!OpcodeTable::Valid(op)) return -1;
  const std::optional<DoubleOp> step = kOpcodeRows[size_t(op)].step;
  return step ? OperandCount(*step) : -1;
}

class Builder {
 public:
  explicit Builder(const Program& code) : code_(code) {}
  std::optional<DoubleProgram> Build();

 private:
  bool Registers();
  bool Replay(const Instruction& instruction);
  bool Push(Value v);
  bool Apply(int16_t op, int args);
  bool ApplyHost(const HostCall& call);
  static Shape ResultShape(int16_t op, const Value* in);
  void AddConstant(double value);  // while the registers are laid out
  size_t FindConstant(double value) const;
  int ConstantRegister(double value) const;

  const Program& code_;
  DoubleProgram p_;
  int temps_ = 0;              // the register of stack position 0; position k is temps_ + k
  std::vector<Value> stack_;  // stack_[0] is the initial empty accumulator; back() the accumulator
};

std::optional<DoubleProgram> Builder::Build() {
  if (code_.Code.empty() || !Registers()) return std::nullopt;
  stack_.assign(1, Value{temps_, Shape::Empty});
  for (const Instruction& instruction : code_.Code)
    if (!Replay(instruction)) return std::nullopt;
  if (stack_.size() != 2) return std::nullopt;
  const Value result = stack_.back();
  if (result.shape == Shape::Empty || result.shape == Shape::Number) return std::nullopt;
  p_.Result = uint8_t(result.reg);
  p_.ResultKind = result.shape == Shape::Double ? Variant::Kind::Double
                  : result.shape == Shape::Int16 ? Variant::Kind::Int16 : Variant::Kind::Int32;
  return std::move(p_);
}

// Variables first, then constants; the stack positions 0 to 40 follow them.
bool Builder::Registers() {
  if (code_.Variables.size() > size_t(DoubleProgram::kMaxRegisters)) return false;
  p_.Variables = uint16_t(code_.Variables.size());
  for (const Instruction& instruction : code_.Code) {
    const int16_t op = instruction.Op;
    if (Arguments(op) < 0) return false;
    // An impure function's call may not run again on the general loop after a decline; a
    // function over values is the general loop's alone.
    if (op == OpHost && (code_.Impure || instruction.Index >= code_.Hosts.size() ||
                         code_.Hosts[instruction.Index].Function->TextBody))
      return false;
    if (op == OpLoad && !instruction.Variable) {
      const Variant& c = code_.Constants[instruction.Index];
      if (!c.isNumber()) return false;  // texts and empty are the general loop's
      AddConstant(c.asDouble());
    } else if (op == OpPi || op == OpDeg) {
      AddConstant(op == OpPi ? kPi : DegreeConstant());
    }
  }
  temps_ = int(p_.InputCount());
  return temps_ + kStackSlots + 1 <= DoubleProgram::kMaxRegisters;
}

// Constants are told apart by their bits (0 and -0 are two constants).
size_t Builder::FindConstant(double value) const {
  const auto same = [value](const Variant& c) {
    const double d = c.asDouble();
    return std::memcmp(&d, &value, sizeof d) == 0;
  };
  return size_t(std::find_if(p_.Constants.begin(), p_.Constants.end(), same) - p_.Constants.begin());
}

void Builder::AddConstant(double value) {
  if (FindConstant(value) == p_.Constants.size()) p_.Constants.emplace_back(value);
}

int Builder::ConstantRegister(double value) const { return int(p_.Variables + FindConstant(value)); }

bool Builder::Replay(const Instruction& instruction) {
  const int16_t op = instruction.Op;
  if (op == OpPi || op == OpDeg) return Push({ConstantRegister(op == OpPi ? kPi : DegreeConstant()), Shape::Double});
  if (op == OpHost) return ApplyHost(code_.Hosts[instruction.Index]);
  if (op != OpLoad) return Apply(op, Arguments(op));
  if (instruction.Variable) return Push({int(instruction.Index), Shape::Double});
  const Variant& c = code_.Constants[instruction.Index];
  const Shape shape = c.isDouble() ? Shape::Double : c.kind() == Variant::Kind::Int16 ? Shape::Int16 : Shape::Int32;
  return Push({ConstantRegister(c.asDouble()), shape});
}

// A push beyond slot 40 keeps nothing in the general loop; such code is left to it.
bool Builder::Push(Value v) {
  if (stack_.size() > size_t(kStackSlots)) return false;
  stack_.push_back(v);
  return true;
}

// The arguments are the accumulator and the slots below it; the initial empty value is never
// one of them in code the program covers.
bool Builder::Apply(int16_t op, int args) {
  if (stack_.size() < size_t(args) + 1) return false;
  const size_t first = stack_.size() - size_t(args);
  const Value* in = &stack_[first];
  const Shape shape = ResultShape(op, in);
  if (shape == Shape::Empty) return false;
  DoubleStep step{};
  step.Target = uint8_t(temps_ + int(first));
  step.A = uint8_t(in[0].reg);
  step.B = uint8_t(args > 1 ? in[1].reg : in[0].reg);
  step.C = uint8_t(args > 2 ? in[2].reg : in[0].reg);
  step.Opcode = op;
  step.Op = *kOpcodeRows[size_t(op)].step;  // Arguments admitted only rows with a step
  p_.Steps.push_back(step);
  stack_.resize(first);
  stack_.push_back({temps_ + int(first), shape});
  return true;
}

// A host function's call: its arguments are the top Args positions (none: it pushes, like PI),
// any numbers; its result is a double in the first of them.
bool Builder::ApplyHost(const HostCall& call) {
  const size_t n = size_t(std::max<int16_t>(call.Args, 0));
  if (stack_.size() < n + 1 || p_.Hosts.size() > 255) return false;
  if (n == 0 && stack_.size() > size_t(kStackSlots)) return false;
  const size_t first = stack_.size() - n;
  DoubleHostCall host{call.Function.get(), {}};
  for (size_t k = first; k < stack_.size(); ++k) {
    if (stack_[k].shape == Shape::Empty) return false;
    host.Args.push_back(uint8_t(stack_[k].reg));
  }
  DoubleStep step{};
  step.Op = DoubleOp::Host;
  step.Target = uint8_t(temps_ + int(first));
  step.A = step.B = step.C = uint8_t(p_.Hosts.size());
  step.Opcode = OpHost;
  p_.Hosts.push_back(std::move(host));
  p_.Steps.push_back(step);
  stack_.resize(first);
  stack_.push_back({temps_ + int(first), Shape::Double});
  return true;
}

// The kind of an instruction's result from its arguments' kinds, or Empty where it depends on
// more than that (whole-number arithmetic widens by value) or the arguments are not numbers.
Shape Builder::ResultShape(int16_t op, const Value* in) {
  const DoubleOp step = *kOpcodeRows[size_t(op)].step;
  for (int k = 0; k < OperandCount(step); ++k)
    if (in[k].shape == Shape::Empty) return Shape::Empty;
  const bool keepsWhole = op == OpAbs || op == OpInt || op == OpFix;  // a whole number stays whole
  switch (step) {
    case DoubleOp::Add: case DoubleOp::Subtract: case DoubleOp::Multiply:
      return in[0].shape == Shape::Double || in[1].shape == Shape::Double ? Shape::Double : Shape::Empty;
    case DoubleOp::Negate:
      return in[0].shape == Shape::Double ? Shape::Double : Shape::Empty;
    case DoubleOp::Function:
      return !keepsWhole || in[0].shape == Shape::Double ? Shape::Double : Shape::Empty;
    case DoubleOp::Min: case DoubleOp::Max: return Join(in[0].shape, in[1].shape);
    case DoubleOp::Iif: return Join(in[1].shape, in[2].shape);
    case DoubleOp::Equal: case DoubleOp::NotEqual: case DoubleOp::LessEqual: case DoubleOp::Less:
    case DoubleOp::GreaterEqual: case DoubleOp::Greater: case DoubleOp::And: case DoubleOp::Or:
    case DoubleOp::Xor: case DoubleOp::Not: case DoubleOp::Sgn:
      return Shape::Int16;  // comparisons and logic: 1 or 0
    case DoubleOp::Divide: case DoubleOp::Power: case DoubleOp::Fact: case DoubleOp::Sqr:
    case DoubleOp::Sin: case DoubleOp::Cos: case DoubleOp::Exp: case DoubleOp::Host:
      return Shape::Double;
  }
  return Shape::Empty;  // not a DoubleOp
}

}  // namespace

std::optional<DoubleProgram> DeriveDoubleProgram(const Program& Code) {
  try {
    return Builder(Code).Build();
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // without the program the general loop runs: nothing is lost
  }
}

}  // namespace qv
