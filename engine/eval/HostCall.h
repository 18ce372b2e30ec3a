// A host function as compiled code holds it, and its call on the general loop. The record is
// shared: the engine's table of host functions and every program that calls the function each
// hold it, so removing or replacing a name never changes code compiled before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/compile/ErrorState.h"
#include "engine/eval/Machine.h"
#include "engine/qvFunction.h"

namespace qv {

struct HostFunction {
  std::u16string Name;  // as the host wrote it: the listing and failures show it
  qvFunction Function;  // the counts and purity of either form; the body of a function of numbers
  std::function<Variant(std::span<const Variant>)> TextBody;  // set for a function over values (texts)
};

// One call site: the function and the number of arguments written there.
struct HostCall {
  std::shared_ptr<const HostFunction> Function;
  int16_t Args = 0;
};

// The most arguments one call may pass: what the evaluation stack holds.
inline constexpr int kMaxHostArgs = kStackSlots;

struct DoubleHostCall;
using HostBody = decltype(qvFunction::Body);

// The body's value on Args[0 .. Count), or NaN where it throws: whatever the host throws ends
// here. The fast tiers' one way into a host function, and the helper that machine code calls
// (so nothing unwinds through generated code); a result that is not finite, NaN included,
// makes them decline.
double HostValue(const HostBody* Body, const double* Args, size_t Count) noexcept;

// The all-double program's call: the arguments from the registers Reg; false when the function
// throws or its result is not finite (the general loop then records the failure).
bool CallHostValue(const DoubleHostCall& Call, const double* Reg, double& Result) noexcept;

// Runs the call on the machine: the arguments are the top Args - 1 slots and the accumulator
// (a call without arguments pushes first, like PI). An argument that does not read as a number
// fails the sub-step, recorded as "NAME: Type mismatch" (code 13) when Record (the evaluation
// trap is off); a function that throws or gives a result that is not finite records
// "NAME(a, b): message" (code 6) in Failure and leaves the accumulator as it was.
// A function over values (TextBody) takes its arguments as they are and may give a text; its
// failures read as those of a function of numbers.
Step CallHost(Machine& M, const HostCall& Call, bool Record, ErrorState& Failure);

}  // namespace qv
