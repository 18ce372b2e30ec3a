// qvFunction: a function of numbers that a host adds to the language (qvExpression::DefineFunction).
// A call of it compiles to one instruction holding the function itself, so an expression keeps
// the function it was compiled against even if the host later removes or replaces the name.
#pragma once

#include <functional>
#include <span>

#include "engine/Variant.h"

struct qvFunction {
  int MinArgs = 1, MaxArgs = 1;  // MaxArgs -1: any number from MinArgs on
  bool Pure = true;              // same arguments, same result: may run on several threads at once and be folded
  std::function<double(std::span<const double>)> Body;  // throws to fail the call; the message is what() says
  // Optional: the same function over a block of rows at once, for calls over columns, where a
  // call per row would cost too much (a function of a scripting language). Args[k][r] is argument
  // k of row r; it writes Out[r] for every row, each what Body gives for that row's arguments. A
  // result that is not finite fails its row alone; when it throws, the engine calls it again on
  // each half of the block, down to single rows, which then fail through Body with their own
  // messages. A pure function's call over columns uses it; Value and qvFormula call Body. A
  // function with a Block and no Body gets a Body that calls the Block on one row. (Initialised
  // here so that hosts listing the four members above in braces, as before, get no warning.)
  std::function<void(std::span<const std::span<const double>> Args, std::span<double> Out)> Block = nullptr;
};

// A function over the engine's values (numbers, texts, empty): it may take or give texts. Names,
// argument counts and failures as for qvFunction; it runs on the general loop only, so an
// expression that calls it has no faster form.
struct qvTextFunction {
  int MinArgs = 1, MaxArgs = 1;
  bool Pure = true;
  std::function<Variant(std::span<const Variant>)> Body;  // throws to fail the call
};
