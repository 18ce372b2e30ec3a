#include "engine/native/NativeHelpers.h"

#include "engine/eval/DoubleSemantics.h"

namespace qv::native {

namespace {

// Runs one computation into a local and applies RunDoubleProgram's closing test of every step:
// a finite result is stored, anything else declines.
template <typename Compute>
bool Stored(Compute compute, double* Out) noexcept {
  double r = 0;
  const Step s = compute(r);
  return s == Step::Ok && Finite(r, *Out) == Step::Ok;
}

}  // namespace

bool PowerStep(double A, double B, double* Out) noexcept {
  return Stored([=](double& r) { return PowerValue(A, B, r); }, Out);
}

bool FactStep(double A, double* Out) noexcept {
  return Stored([=](double& r) { return FactorialValue(A, r) ? Step::Ok : Step::Failed; }, Out);
}

// The commonest functions with their opcode fixed, as RunDoubleProgram calls them; flattened, so
// that RealValue's switch folds to the one case instead of being called (generated code calls
// these once a row).
[[gnu::flatten]] bool SinStep(double A, double* Out) noexcept {
  return Stored([=](double& r) { return RealValue(OpSin, A, r); }, Out);
}

[[gnu::flatten]] bool CosStep(double A, double* Out) noexcept {
  return Stored([=](double& r) { return RealValue(OpCos, A, r); }, Out);
}

[[gnu::flatten]] bool ExpStep(double A, double* Out) noexcept {
  return Stored([=](double& r) { return RealValue(OpExp, A, r); }, Out);
}

bool FunctionStep(double A, int32_t Opcode, double* Out) noexcept {
  return Stored([=](double& r) { return RealValue(int16_t(Opcode), A, r); }, Out);
}

}  // namespace qv::native
