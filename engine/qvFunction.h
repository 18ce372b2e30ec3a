// qvFunction: a function of numbers that a host adds to the language (qvExpression::DefineFunction).
// A call of it compiles to one instruction holding the function itself, so an expression keeps
// the function it was compiled against even if the host later removes or replaces the name.
#pragma once

#include <functional>
#include <span>

struct qvFunction {
  int MinArgs = 1, MaxArgs = 1;  // MaxArgs -1: any number from MinArgs on
  bool Pure = true;              // same arguments, same result: may run on several threads at once and be folded
  std::function<double(std::span<const double>)> Body;  // throws to fail the call; the message is what() says
};
