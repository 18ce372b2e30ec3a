// The general loop's call of a host function (HostCall.h).
#include "engine/eval/HostCall.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <vector>

#include "engine/RuntimeError.h"
#include "engine/Utf8.h"
#include "engine/eval/DoubleProgram.h"

namespace qv {
namespace {

std::u16string CallText(const HostFunction& F, const double* Args, int Count, std::u16string_view Why) {
  std::u16string text = F.Name + u"(";
  for (int k = 0; k < Count; ++k) text += (k ? u", " : u"") + NumberToText(Args[k]);
  return text.append(u"): ").append(Why);
}

// The text of a failure: the call as written with its arguments' values (texts in quotes).
std::u16string CallText(const HostFunction& F, std::span<const Variant> Args, std::u16string_view Why) {
  std::u16string text = F.Name + u"(";
  for (size_t k = 0; k < Args.size(); ++k)
    text += (k ? u", " : u"") + (Args[k].isText() ? u"\"" + Args[k].asText() + u"\"" : Args[k].toText());
  return text.append(u"): ").append(Why);
}

// Why a call failed, from what it threw.
std::u16string Thrown() {
  try {
    throw;
  } catch (const std::exception& e) {
    return FromUtf8(e.what());
  } catch (...) {
    return u"the function failed";
  }
}

// A function over values: its arguments as the machine holds them, its result as it gives it,
// unless that is a number that is not finite or a text longer than the evaluator builds.
Step CallTextHost(Machine& M, const HostCall& Call, ErrorState& Failure) {
  const int n = std::max<int>(Call.Args, 0);
  if (n == 0) M.Push();
  std::vector<Variant> args(static_cast<size_t>(n));
  for (int k = 1; k <= n; ++k) {
    const Variant* v = M.Argument(k, n);
    if (v) args[size_t(k - 1)] = *v;
  }
  if (n > 1) M.Pop(n - 1);
  const HostFunction& f = *Call.Function;
  std::u16string why;
  try {
    Variant result = f.TextBody(std::span<const Variant>(args));
    if (result.isDouble() && !std::isfinite(result.asDouble())) why = u"the result is not a finite number";
    else if (result.isText() && result.asText().size() > kMaxTextLength) why = u"the text given is too long";
    if (why.empty()) {
      M.acc = std::move(result);
      return Step::Ok;
    }
  } catch (...) {
    why = Thrown();
  }
  Failure.Set(6, CallText(f, args, why));
  return Step::Domain;
}

}  // namespace

// Aligned to a cache line: every host call of the machine code runs it, and where it straddled two
// lines a call cost half a nanosecond more (bench/HostFunctions.cpp).
[[gnu::aligned(64)]] double HostValue(const HostBody* Body, const double* Args, size_t Count) noexcept {
  try {
    return (*Body)(std::span<const double>(Args, Count));
  } catch (...) {
    return std::numeric_limits<double>::quiet_NaN();
  }
}

bool CallHostValue(const DoubleHostCall& Call, const double* Reg, double& Result) noexcept {
  std::array<double, kMaxHostArgs> args;
  const size_t n = Call.Args.size();
  for (size_t k = 0; k < n; ++k) args[k] = Reg[Call.Args[k]];
  Result = HostValue(&Call.Function->Function.Body, args.data(), n);
  return std::isfinite(Result);
}

Step CallHost(Machine& M, const HostCall& Call, bool Record, ErrorState& Failure) {
  if (Call.Function->TextBody) return CallTextHost(M, Call, Failure);
  const int n = Call.Args;
  if (n <= 0) M.Push();
  std::array<double, kMaxHostArgs> args{};
  bool read = n <= kMaxHostArgs;
  for (int k = 1; k <= n && read; ++k) {
    const Variant* v = M.Argument(k, n);
    read = v && v->toNumber(args[size_t(k - 1)]);
  }
  if (n > 1) M.Pop(n - 1);
  const HostFunction& f = *Call.Function;
  if (!read) {
    if (Record) Failure.Set(kErrTypeMismatch, f.Name + u": " + RuntimeErrorText(kErrTypeMismatch));
    return Step::Failed;
  }
  const int count = n > 0 ? n : 0;
  std::u16string why;
  try {
    const double result = f.Function.Body(std::span<const double>(args.data(), size_t(count)));
    if (std::isfinite(result)) {
      M.acc.setDouble(result);
      return Step::Ok;
    }
    why = u"the result is not a finite number";
  } catch (...) {
    why = Thrown();
  }
  Failure.Set(6, CallText(f, args.data(), count, why));
  return Step::Domain;
}

}  // namespace qv
