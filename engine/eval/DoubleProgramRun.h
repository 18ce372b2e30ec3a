// Running the all-double program, inline so that Value runs it without a call: the variables are
// read once at entry (no instruction of such a program can change them), then each step computes
// into its register. Every test that would make the general loop record a failure or keep an
// argument instead of a result declines.
#pragma once

#include "engine/eval/DoubleProgram.h"

#include <cfloat>
#include <cmath>

#include "engine/eval/NumericFunctions.h"
#include "engine/eval/Operators.h"

inline bool RunDoubleProgram(const DoubleProgram& Program, Variant& Result) noexcept {
  double reg[DoubleProgram::kMaxRegisters];
  size_t n = 0;
  // A NaN compares unlike any number in the general loop, so inputs must be finite doubles too.
  bool plain = true;
  for (const Variant* input : Program.Inputs) {
    const double x = input->asDouble();
    plain &= input->isDouble() & (std::fabs(x) <= DBL_MAX);
    reg[n++] = x;
  }
  if (!plain) return false;
  // Each step stores a finite double, or declines where the general loop would not simply
  // store one.
  for (const DoubleStep& s : Program.Steps) {
    const double a = reg[s.A], b = reg[s.B];
    double r;
    switch (s.Op) {
      case DoubleOp::Add: r = a + b; break;
      case DoubleOp::Subtract: r = a - b; break;
      case DoubleOp::Multiply: r = a * b; break;
      case DoubleOp::Divide:
        if (b == 0) return false;  // "Div by zero" is recorded by the general loop
        r = a / b;
        break;
      case DoubleOp::Power:
        if (PowerValue(a, b, r) != Step::Ok) return false;
        break;
      case DoubleOp::Equal: r = a == b; break;
      case DoubleOp::NotEqual: r = a != b; break;
      case DoubleOp::LessEqual: r = a <= b; break;
      case DoubleOp::Less: r = a < b; break;
      case DoubleOp::GreaterEqual: r = a >= b; break;
      case DoubleOp::Greater: r = a > b; break;
      case DoubleOp::And: r = a > 0 && b > 0; break;
      case DoubleOp::Or: r = a > 0 || b > 0; break;
      case DoubleOp::Xor: r = (a > 0) != (b > 0); break;
      case DoubleOp::Min: r = a < b ? a : b; break;  // a tie gives the right-hand argument
      case DoubleOp::Max: r = a > b ? a : b; break;
      case DoubleOp::Iif: r = a > 0 ? b : reg[s.C]; break;
      case DoubleOp::Negate: r = -a; break;
      case DoubleOp::Not: r = a > 0 ? 0 : 1; break;
      case DoubleOp::Sgn: r = a > 0 ? 1 : (a < 0 ? -1 : 0); break;
      case DoubleOp::Fact:
        if (!FactorialValue(a, r)) return false;
        break;
      case DoubleOp::Function:
        if (RealValue(s.Opcode, a, r) != Step::Ok) return false;
        break;
      default: return false;
    }
    if (!(std::fabs(r) <= DBL_MAX)) return false;
    reg[s.Target] = r;
  }
  const double value = reg[Program.Result];
  switch (Program.ResultKind) {
    case Variant::Kind::Int16: Result = Variant(int16_t(value)); break;
    case Variant::Kind::Int32: Result = Variant(int32_t(value)); break;
    default: Result = Variant(value); break;
  }
  return true;
}
