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

// The value of the program as a double; its kind is the program's ResultKind.
inline bool RunDoubleProgram(const DoubleProgram& Program, double& Value) noexcept {
  double reg[DoubleProgram::kMaxRegisters];
  size_t n = 0;
  // Infinities and NaN may enter: an arithmetic step that meets them gives a result that is not
  // finite (and declines) or the finite one the general loop gives too, and the comparisons below
  // treat NaN as the general loop does.
  bool doubles = true;
  for (const Variant* input : Program.Inputs) {
    doubles &= input->isDouble();
    reg[n++] = input->asDouble();
  }
  if (!doubles) return false;
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
      case DoubleOp::Power:  // PowerValue's first branch inline: the same std::pow call
        if (a >= 0) r = std::pow(a, b);
        else if (PowerValue(a, b, r) != Step::Ok) return false;
        break;
      // Steps whose result is always finite store it at once. The general loop's comparison:
      // below when a < b, above when a > b, equal otherwise (so NaN is equal to everything).
      case DoubleOp::Equal: reg[s.Target] = !(a < b) && !(a > b); continue;
      case DoubleOp::NotEqual: reg[s.Target] = a < b || a > b; continue;
      case DoubleOp::LessEqual: reg[s.Target] = !(a > b); continue;
      case DoubleOp::Less: reg[s.Target] = a < b; continue;
      case DoubleOp::GreaterEqual: reg[s.Target] = !(a < b); continue;
      case DoubleOp::Greater: reg[s.Target] = a > b; continue;
      case DoubleOp::And: reg[s.Target] = a > 0 && b > 0; continue;
      case DoubleOp::Or: reg[s.Target] = a > 0 || b > 0; continue;
      case DoubleOp::Xor: reg[s.Target] = (a > 0) != (b > 0); continue;
      case DoubleOp::Min: r = a < b ? a : b; break;  // a tie gives the right-hand argument
      case DoubleOp::Max: r = a > b ? a : b; break;
      case DoubleOp::Iif: r = a > 0 ? b : reg[s.C]; break;
      case DoubleOp::Negate: r = -a; break;
      case DoubleOp::Not: reg[s.Target] = a > 0 ? 0 : 1; continue;
      case DoubleOp::Sgn: reg[s.Target] = a > 0 ? 1 : (a < 0 ? -1 : 0); continue;
      case DoubleOp::Fact:
        if (!FactorialValue(a, r)) return false;
        break;
      // The same library calls as RealValue makes, so the same bits.
      case DoubleOp::Sqr:
        if (a < 0) return false;
        r = std::sqrt(a);
        break;
      case DoubleOp::Sin: r = std::sin(a); break;
      case DoubleOp::Cos: r = std::cos(a); break;
      case DoubleOp::Exp: r = std::exp(a); break;
      case DoubleOp::Function:
        if (RealValue(s.Opcode, a, r) != Step::Ok) return false;
        break;
      default: return false;
    }
    if (!(std::fabs(r) <= DBL_MAX)) return false;
    reg[s.Target] = r;
  }
  Value = reg[Program.Result];
  return true;
}

// The result as the general loop would give it: a double, or a whole number of 16 or 32 bits
// (whose value the program carried exactly).
inline Variant DoubleProgramResult(const DoubleProgram& Program, double Value) noexcept {
  switch (Program.ResultKind) {
    case Variant::Kind::Int16: return Variant(int16_t(Value));
    case Variant::Kind::Int32: return Variant(int32_t(Value));
    default: return Variant(Value);
  }
}

inline bool RunDoubleProgram(const DoubleProgram& Program, Variant& Result) noexcept {
  double value;
  if (!RunDoubleProgram(Program, value)) return false;
  Result = DoubleProgramResult(Program, value);
  return true;
}
