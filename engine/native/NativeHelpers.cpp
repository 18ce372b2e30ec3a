#include "engine/native/NativeHelpers.h"

#include <limits>

#include "engine/eval/DoubleSemantics.h"

namespace qv::native {

namespace {

// Runs one computation into a local: its result where the step succeeds (always finite then), NaN
// where RunDoubleProgram declines.
template <typename Compute>
double Valued(Compute compute) noexcept {
  double r = 0;
  return compute(r) == Step::Ok && IsFiniteResult(r) ? r : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

double PowerStep(double A, double B) noexcept {
  return Valued([=](double& r) { return PowerValue(A, B, r); });
}

double FactStep(double A) noexcept {
  return Valued([=](double& r) { return FactorialValue(A, r) ? Step::Ok : Step::Failed; });
}

// The commonest functions with their opcode fixed, as RunDoubleProgram calls them; flattened, so
// that RealValue's switch folds to the one case instead of being called (generated code calls
// these once a row). Each starts a cache line, as HostValue does, so that where the linker places
// it never makes the helper straddle two.
[[gnu::flatten, gnu::aligned(64)]] double SinStep(double A) noexcept {
  return Valued([=](double& r) { return RealValue(OpSin, A, r); });
}

[[gnu::flatten, gnu::aligned(64)]] double CosStep(double A) noexcept {
  return Valued([=](double& r) { return RealValue(OpCos, A, r); });
}

[[gnu::flatten, gnu::aligned(64)]] double ExpStep(double A) noexcept {
  return Valued([=](double& r) { return RealValue(OpExp, A, r); });
}

double FunctionStep(double A, int32_t Opcode) noexcept {
  return Valued([=](double& r) { return RealValue(int16_t(Opcode), A, r); });
}

}  // namespace qv::native
