// Running the all-double program, inline so that Value runs it without a call. The caller has
// put the program's inputs into the first registers of the frame; each step computes into its
// register through the one set of double semantics. Every test that would make the general loop
// record a failure or keep an argument instead of a result declines.
#pragma once

#include "engine/eval/DoubleProgram.h"
#include "engine/eval/DoubleSemantics.h"
#include "engine/eval/HostCall.h"

namespace qv {

// Infinities and NaN may enter: an arithmetic step that meets them gives a result that is not
// finite (and declines) or the finite one the general loop gives too, and the comparisons treat
// NaN as the general loop does. Each step stores a finite double, or declines where the general
// loop would not simply store one.
QV_ALWAYS_INLINE bool RunDoubleProgram(const DoubleProgram& Program, double* reg, double& Value) noexcept {
  for (const DoubleStep& s : Program.Steps) {
    const double a = reg[s.A], b = reg[s.B];
    double r = NAN;  // a step of no known operation (never derived) declines
    switch (s.Op) {
      case DoubleOp::Add: r = a + b; break;
      case DoubleOp::Subtract: r = a - b; break;
      case DoubleOp::Multiply: r = a * b; break;
      case DoubleOp::Divide:  // "Div by zero" is the general loop's to record
        if (DivideValue(a, b, r) != Step::Ok) return false;
        break;
      case DoubleOp::Power:
        if (PowerValue(a, b, r) != Step::Ok) return false;
        break;
      // Steps whose result is always finite store it at once (each with a case of its own, so that
      // the opcode folds and no second switch runs).
      case DoubleOp::Equal: reg[s.Target] = RelationHolds(OpEqual, CompareDoubles(a, b)); continue;
      case DoubleOp::NotEqual: reg[s.Target] = RelationHolds(OpNotEqual, CompareDoubles(a, b)); continue;
      case DoubleOp::LessEqual: reg[s.Target] = RelationHolds(OpLessEqual, CompareDoubles(a, b)); continue;
      case DoubleOp::Less: reg[s.Target] = RelationHolds(OpLess, CompareDoubles(a, b)); continue;
      case DoubleOp::GreaterEqual: reg[s.Target] = RelationHolds(OpGreaterEqual, CompareDoubles(a, b)); continue;
      case DoubleOp::Greater: reg[s.Target] = RelationHolds(OpGreater, CompareDoubles(a, b)); continue;
      case DoubleOp::And: reg[s.Target] = LogicHolds(OpAnd, Truth(a), Truth(b)); continue;
      case DoubleOp::Or: reg[s.Target] = LogicHolds(OpOr, Truth(a), Truth(b)); continue;
      case DoubleOp::Xor: reg[s.Target] = LogicHolds(OpXor, Truth(a), Truth(b)); continue;
      case DoubleOp::Min: r = MinOf(a, b); break;
      case DoubleOp::Max: r = MaxOf(a, b); break;
      case DoubleOp::Iif: r = Truth(a) ? b : reg[s.C]; break;
      case DoubleOp::Negate: r = -a; break;
      case DoubleOp::Not: reg[s.Target] = !Truth(a); continue;
      case DoubleOp::Sgn: reg[s.Target] = Sign(a); continue;
      case DoubleOp::Fact:
        if (!FactorialValue(a, r)) return false;
        break;
      // The commonest functions get a case each, so the call of RealValue folds to their branch.
      case DoubleOp::Sqr:
        if (RealValue(OpSqr, a, r) != Step::Ok) return false;
        break;
      case DoubleOp::Sin:
        if (RealValue(OpSin, a, r) != Step::Ok) return false;
        break;
      case DoubleOp::Cos:
        if (RealValue(OpCos, a, r) != Step::Ok) return false;
        break;
      case DoubleOp::Exp:
        if (RealValue(OpExp, a, r) != Step::Ok) return false;
        break;
      case DoubleOp::Function:
        if (RealValue(s.Opcode, a, r) != Step::Ok) return false;
        break;
      case DoubleOp::Host:  // a failing call is the general loop's to record
        if (!CallHostValue(Program.Hosts[s.A], reg, r)) return false;
        break;
    }
    if (!IsFiniteResult(r)) return false;
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

}  // namespace qv
