// The general loop's call of a host function (HostCall.h).
#include "engine/eval/HostCall.h"

#include <array>
#include <cmath>
#include <exception>
#include <limits>

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
  const int n = Call.Args;
  if (n <= 0) M.Push();
  std::array<double, kMaxHostArgs> args{};
  bool read = n <= kMaxHostArgs;
  for (int k = 1; k <= n && read; ++k) {
    const Variant* v = k == n ? &M.acc : M.Below(n - 1 - k);
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
  } catch (const std::exception& e) {
    why = FromUtf8(e.what());
  } catch (...) {
    why = u"the function failed";
  }
  Failure.Set(6, CallText(f, args.data(), count, why));
  return Step::Domain;
}

}  // namespace qv
