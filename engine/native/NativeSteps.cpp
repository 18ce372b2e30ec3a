#include "engine/native/NativeSteps.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/eval/DoubleSemantics.h"
#include "engine/native/NativeHelpers.h"

namespace qv::native {

bool Supported(DoubleOp Op) {
  switch (Op) {
    case DoubleOp::Add: case DoubleOp::Subtract: case DoubleOp::Multiply: case DoubleOp::Divide:
    case DoubleOp::Power: case DoubleOp::Equal: case DoubleOp::NotEqual: case DoubleOp::LessEqual:
    case DoubleOp::Less: case DoubleOp::GreaterEqual: case DoubleOp::Greater: case DoubleOp::And:
    case DoubleOp::Or: case DoubleOp::Xor: case DoubleOp::Min: case DoubleOp::Max: case DoubleOp::Iif:
    case DoubleOp::Negate: case DoubleOp::Not: case DoubleOp::Sgn: case DoubleOp::Fact: case DoubleOp::Sqr:
    case DoubleOp::Sin: case DoubleOp::Cos: case DoubleOp::Exp: case DoubleOp::Function: case DoubleOp::Host:
      return true;
  }
  return false;
}

bool HostArgumentsFit(const DoubleProgram& Program, const DoubleStep& S) {
  return S.A < Program.Hosts.size() &&
         Program.InputCount() + Program.Hosts[S.A].Args.size() <= size_t(DoubleProgram::kMaxRegisters);
}

int Operands(DoubleOp Op) { return OperandCount(Op); }

std::vector<bool> TestedSteps(const DoubleProgram& Program) {
  const std::vector<DoubleStep>& steps = Program.Steps;
  std::vector<bool> tested(steps.size(), false), read(steps.size(), false);
  std::array<int, DoubleProgram::kMaxRegisters> writer;
  writer.fill(-1);
  const auto use = [&](int reg, bool propagates) {
    const int w = writer[size_t(reg)];
    if (w < 0) return;
    read[size_t(w)] = true;
    if (!propagates) tested[size_t(w)] = true;
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    const DoubleStep& s = steps[i];
    const DoubleOp op = s.Op;
    const bool arithmetic = op == DoubleOp::Add || op == DoubleOp::Subtract || op == DoubleOp::Multiply;
    const int operands = Operands(op);
    if (op == DoubleOp::Host) {
      for (uint8_t reg : Program.Hosts[s.A].Args) use(reg, false);
    } else {
      use(s.A, arithmetic || op == DoubleOp::Divide || op == DoubleOp::Negate);
      if (operands > 1) use(s.B, arithmetic);
      if (operands > 2) use(s.C, false);
    }
    writer[s.Target] = int(i);
  }
  use(Program.Result, false);
  for (size_t i = 0; i < steps.size(); ++i)
    if (!read[i]) tested[i] = true;
  return tested;
}

OneOperandHelper HelperOf(DoubleOp Op) {
  switch (Op) {
    case DoubleOp::Fact: return &FactStep;
    case DoubleOp::Sin: return &SinStep;
    case DoubleOp::Cos: return &CosStep;
    case DoubleOp::Exp: return &ExpStep;
    case DoubleOp::Add: case DoubleOp::Subtract: case DoubleOp::Multiply: case DoubleOp::Divide:
    case DoubleOp::Power: case DoubleOp::Equal: case DoubleOp::NotEqual: case DoubleOp::LessEqual:
    case DoubleOp::Less: case DoubleOp::GreaterEqual: case DoubleOp::Greater: case DoubleOp::And:
    case DoubleOp::Or: case DoubleOp::Xor: case DoubleOp::Min: case DoubleOp::Max: case DoubleOp::Iif:
    case DoubleOp::Negate: case DoubleOp::Not: case DoubleOp::Sgn: case DoubleOp::Sqr: case DoubleOp::Function:
    case DoubleOp::Host:
      break;
  }
  return nullptr;  // computed inline, or by a helper of another signature
}

bool CallsHelper(const DoubleProgram& Program, const DoubleStep& S) {
  switch (S.Op) {
    case DoubleOp::Power: return WholeExponent(Program, S) == 0;
    case DoubleOp::Fact: case DoubleOp::Sin: case DoubleOp::Cos: case DoubleOp::Exp: case DoubleOp::Function:
    case DoubleOp::Host:
      return true;
    case DoubleOp::Add: case DoubleOp::Subtract: case DoubleOp::Multiply: case DoubleOp::Divide:
    case DoubleOp::Equal: case DoubleOp::NotEqual: case DoubleOp::LessEqual: case DoubleOp::Less:
    case DoubleOp::GreaterEqual: case DoubleOp::Greater: case DoubleOp::And: case DoubleOp::Or:
    case DoubleOp::Xor: case DoubleOp::Min: case DoubleOp::Max: case DoubleOp::Iif: case DoubleOp::Negate:
    case DoubleOp::Not: case DoubleOp::Sgn: case DoubleOp::Sqr:
      return false;
  }
  return true;  // not a DoubleOp: Supported admits none
}

size_t ScratchBytes(const DoubleProgram& Program) {
  size_t bytes = 0;
  // AArch64 stores a host call's arguments above the inputs (HostArgumentsFit keeps them in range).
  for (const DoubleStep& s : Program.Steps)
    if (s.Op == DoubleOp::Host && s.A < Program.Hosts.size())
      bytes = std::max(bytes, (Program.InputCount() + Program.Hosts[s.A].Args.size()) * 8);
  return bytes;
}

double PowerOfTwoReciprocal(const DoubleProgram& Program, const DoubleStep& S) {
  const int divisor = int(S.B) - int(Program.Variables);
  if (S.Op != DoubleOp::Divide || divisor < 0 || size_t(divisor) >= Program.Constants.size()) return 0;
  const double y = Program.Constants[size_t(divisor)].asDouble();
  int exponent = 0;
  if (!std::isnormal(y) || std::fabs(std::frexp(y, &exponent)) != 0.5) return 0;
  const double reciprocal = 1 / y;
  return std::isnormal(reciprocal) ? reciprocal : 0;
}

int WholeExponent(const DoubleProgram& Program, const DoubleStep& S) {
  const int exponent = int(S.B) - int(Program.Variables);
  if (S.Op != DoubleOp::Power || exponent < 0 || size_t(exponent) >= Program.Constants.size()) return 0;
  const double y = Program.Constants[size_t(exponent)].asDouble();
  return y == 2 || IsWholePowerExponent(y) ? int(y) : 0;
}

}  // namespace qv::native
