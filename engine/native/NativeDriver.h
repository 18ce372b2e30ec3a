// The driver both emitters share: what machine code each step of an all-double program becomes,
// decided once, over a small interface that each instruction set implements with its own
// instructions (NativeEmitterX86.cpp, NativeEmitterA64.cpp). The emitters keep what differs
// between the instruction sets: the entries' calling conventions, where inputs are loaded from,
// and the row loop (x86-64 runs pairs of rows in vector lanes).
//
// An Isa provides, each returning the register of the step's result (Value):
//   Relation(s, Compare), Logic(s, Connective), Not(s), Sign(s): 1.0 or 0.0 (SGN: -1.0 too)
//   Arithmetic(s, Arith), Divide(s), Select(s) (IIF), Negated(s), SquareRoot(s)
//   Square(s), WholePowerOf(s, n), Call(s) (a helper: power, FACT, the functions; NaN where the
//     program declines)
//   Host(s, call): HostValue (engine/eval/HostCall.h) on the call's arguments, which the Isa
//     stores in order where it chooses; NaN where the host's function throws
//   Tested(r, tested): r, with the finiteness test where asked
//   Define(reg, r): the register now holds r; Result(reg): the register's value at the end.
#pragma once

#include <asmjit/core.h>

#include <vector>

#include "engine/eval/DoubleProgram.h"
#include "engine/native/NativeSteps.h"

namespace qv::native {

// Begins the function of an entry: its signature by where its inputs come from (NativeEmitter.h),
// its arguments bound to From (the caller's values), Frame and Value as that signature has them.
// (On AArch64 the entries without a frame pass host calls' arguments from a scratch area on their
// own stack, ScratchBytes long, which a program without host calls does not have at all.)
template <typename Compiler, typename Gp>
asmjit::FuncNode* AddEntry(Compiler& cc, Inputs inputs, const Gp& from, const Gp& frame, const Gp& value) {
  using asmjit::CallConvId, asmjit::FuncSignatureT;
  asmjit::FuncNode* function = nullptr;
  switch (inputs) {
    case Inputs::Frame:
      function = cc.addFunc(FuncSignatureT<int, double*, double*>(CallConvId::kHost));
      function->setArg(0, frame);
      function->setArg(1, value);
      break;
    case Inputs::Records:
      function = cc.addFunc(FuncSignatureT<int, double*>(CallConvId::kHost));
      function->setArg(0, value);
      break;
    case Inputs::Values:
      function = cc.addFunc(FuncSignatureT<int, const double*, double*>(CallConvId::kHost));
      function->setArg(0, from);
      function->setArg(1, value);
      break;
  }
  return function;
}

enum class Compare { Less, LessEqual, GreaterEqual, Greater, Equal, NotEqual };
enum class Connective { And, Or, Xor };
enum class Arith { Add, Subtract, Multiply, Minimum, Maximum };

template <typename Isa>
auto EmitStep(Isa& e, const DoubleProgram& program, const DoubleStep& s, bool tested) {
  switch (s.Op) {
    // Results 1.0 or 0.0 (SGN: or -1.0), never tested.
    case DoubleOp::Less: return e.Relation(s, Compare::Less);
    case DoubleOp::LessEqual: return e.Relation(s, Compare::LessEqual);
    case DoubleOp::GreaterEqual: return e.Relation(s, Compare::GreaterEqual);
    case DoubleOp::Greater: return e.Relation(s, Compare::Greater);
    case DoubleOp::Equal: return e.Relation(s, Compare::Equal);
    case DoubleOp::NotEqual: return e.Relation(s, Compare::NotEqual);
    case DoubleOp::And: return e.Logic(s, Connective::And);
    case DoubleOp::Or: return e.Logic(s, Connective::Or);
    case DoubleOp::Xor: return e.Logic(s, Connective::Xor);
    case DoubleOp::Not: return e.Not(s);
    case DoubleOp::Sgn: return e.Sign(s);
    // A helper gives NaN where the program declines, and a square may leave the range of a
    // double: both are tested where a product would be. A whole power in its range is always
    // finite; its helper's result, for any other base, is tested on that path alone.
    case DoubleOp::Power: {
      const int n = WholeExponent(program, s);
      return n == 2 ? e.Tested(e.Square(s), tested) : n != 0 ? e.WholePowerOf(s, n) : e.Tested(e.Call(s), tested);
    }
    case DoubleOp::Fact: case DoubleOp::Sin: case DoubleOp::Cos: case DoubleOp::Exp: case DoubleOp::Function:
      return e.Tested(e.Call(s), tested);
    // NaN where the function threw, which declines at its test or at the test of a step it is
    // carried into.
    case DoubleOp::Host: return e.Tested(e.Host(s, program.Hosts[s.A]), tested);
    // The steps whose result may leave the range of a double. MIN and MAX give the second
    // operand on a tie or a NaN, as the program does.
    case DoubleOp::Add: return e.Tested(e.Arithmetic(s, Arith::Add), tested);
    case DoubleOp::Subtract: return e.Tested(e.Arithmetic(s, Arith::Subtract), tested);
    case DoubleOp::Multiply: return e.Tested(e.Arithmetic(s, Arith::Multiply), tested);
    case DoubleOp::Min: return e.Tested(e.Arithmetic(s, Arith::Minimum), tested);
    case DoubleOp::Max: return e.Tested(e.Arithmetic(s, Arith::Maximum), tested);
    case DoubleOp::Divide: return e.Tested(e.Divide(s), tested);
    case DoubleOp::Iif: return e.Tested(e.Select(s), tested);
    case DoubleOp::Negate: return e.Tested(e.Negated(s), tested);
    case DoubleOp::Sqr: return e.Tested(e.SquareRoot(s), tested);
  }
  return e.Call(s);  // not reached: Supported admits only the operations above
}

// The program's steps in order, each result defining its target register; returns the result's.
template <typename Isa>
auto EmitBody(Isa& e, const DoubleProgram& program) {
  const std::vector<bool> tested = TestedSteps(program);
  for (size_t i = 0; i < program.Steps.size(); ++i) {
    const DoubleStep& s = program.Steps[i];
    e.Define(s.Target, EmitStep(e, program, s, tested[i]));
  }
  return e.Result(program.Result);
}

}  // namespace qv::native
