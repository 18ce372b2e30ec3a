// The operations of the all-double program (engine/eval/DoubleProgram.h). Each row of the opcode
// table names the one that computes it, or none; every map of the fast tiers is a switch over
// these without a default, so an operation added here is a compile error (-Wswitch) wherever a
// tier has not learnt it yet.
#pragma once

#include <cstdint>

namespace qv {

enum class DoubleOp : uint8_t {
  Add, Subtract, Multiply, Divide, Power,
  Equal, NotEqual, LessEqual, Less, GreaterEqual, Greater, And, Or, Xor,
  Min, Max, Iif,
  Negate, Not, Sgn, Fact,
  Sqr, Sin, Cos, Exp,  // the commonest functions, computed in the step itself
  Function,            // any other function of RealValue: ABS, INT, FIX, LOG, LN ... ATANH
  Host,                // a host function's call: DoubleProgram::Hosts[A] names it and its arguments
};

// The number of operands a step reads; a step's unused operand fields repeat its first.
constexpr int OperandCount(DoubleOp Op) noexcept {
  switch (Op) {
    case DoubleOp::Negate: case DoubleOp::Not: case DoubleOp::Sgn: case DoubleOp::Fact: case DoubleOp::Sqr:
    case DoubleOp::Sin: case DoubleOp::Cos: case DoubleOp::Exp: case DoubleOp::Function:
      return 1;
    case DoubleOp::Add: case DoubleOp::Subtract: case DoubleOp::Multiply: case DoubleOp::Divide:
    case DoubleOp::Power: case DoubleOp::Equal: case DoubleOp::NotEqual: case DoubleOp::LessEqual:
    case DoubleOp::Less: case DoubleOp::GreaterEqual: case DoubleOp::Greater: case DoubleOp::And:
    case DoubleOp::Or: case DoubleOp::Xor: case DoubleOp::Min: case DoubleOp::Max:
      return 2;
    case DoubleOp::Iif:
      return 3;
    case DoubleOp::Host:
      return 0;  // any number, listed with the call (DoubleProgram::Hosts)
  }
  return 0;  // not a DoubleOp: reads nothing
}

}  // namespace qv
