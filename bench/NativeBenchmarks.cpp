#include "bench/NativeBenchmarks.h"

#ifdef QV_HAVE_NATIVE

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/Benchmarks.h"
#include "bench/Runners.h"
#include "engine/CompiledExpression.h"
#include "engine/eval/Tiers.h"

namespace {

// A case's compiled program and a frame laid out as a caller gathers it: each of the program's
// variables is copied in from Vars before every run; the constants are loaded once.
class NativeRunner {
 public:
  explicit NativeRunner(const Case& c) : qv_(c) {
    const CompiledExpression* record = qv_.Engine().Expression(1);
    code_ = record && record->Compiled && record->Compiled->Fast ? record->Compiled.get() : nullptr;
    if (!code_) return;
    native_ = qv::NativeProgram::Compile(*code_->Fast, code_->FrameInputs.data());
    code_->Fast->LoadConstants(frame_.data());
    for (size_t k = 0; k < code_->Variables.size(); ++k)
      for (char name : c.uses)
        if (qv_.Engine().BindVariable(std::u16string(1, char16_t(name))) == code_->Variables[k])
          sources_[used_++] = {k, &v[name]};
  }

  Vars v = kStart;
  const qv::Program* Code() const noexcept { return code_; }
  const qv::NativeProgram* Native() const noexcept { return native_.get(); }
  QvRunner& Qv() noexcept { return qv_; }

  void Gather() noexcept {
    for (size_t k = 0; k < used_; ++k) frame_[sources_[k].input] = *sources_[k].value;
  }
  bool Run(double& value) noexcept { return native_->Run(frame_.data(), value); }
  bool RunProgram(double& value) noexcept { return qv::RunDoubleProgram(*code_->Fast, frame_.data(), value); }

 private:
  struct Source {
    size_t input;
    const double* value;
  };
  QvRunner qv_;
  const qv::Program* code_ = nullptr;
  std::unique_ptr<qv::NativeProgram> native_;
  std::array<double, qv::DoubleProgram::kMaxRegisters> frame_{};
  std::array<Source, 5> sources_{};
  size_t used_ = 0;
};

// Gather the frame, run: the machine code alone, or (Machine false) the all-double program alone
// on the same frame, for comparison.
template <bool Machine>
void FrameRun(benchmark::State& state, const Case& c) {
  NativeRunner runner(c);
  for (auto _ : state) {
    Advance(runner.v);
    runner.Gather();
    double r = 0;
    if constexpr (Machine) runner.Run(r);
    else runner.RunProgram(r);
    benchmark::DoNotOptimize(r);
  }
}

// The public plain callable over the caller's doubles (qvFormula), as a host that keeps its
// variables in an array in the order of Inputs() calls it: the five values (those the formula does
// not read after the others) moved on in place, as Advance moves the other engines' variables,
// then one call. Nothing is gathered per call.
void FormulaRun(benchmark::State& state, const Case& c) {
  QvRunner qv(c);  // evaluated until its machine code exists
  const qvFormula formula = qv.Engine().Formula(1);
  std::string order;
  for (const std::u16string& name : formula.Inputs()) order += char(std::tolower(int(name[0])));
  for (char name : {'a', 'b', 'c', 'x', 'y'})
    if (order.find(name) == std::string::npos) order += name;
  std::array<double, 5> values{};
  for (size_t k = 0; k < values.size(); ++k) values[k] = qv.v[order[k]];
  for (auto _ : state) {
    values[0] += kStep;
    values[1] += kStep;
    values[2] += kStep;
    values[3] += kStep;
    values[4] += kStep;
    double r = 0;
    formula(values.data(), r);
    benchmark::DoNotOptimize(r);
  }
}

// Generating the machine code of a compiled expression, its code memory mapped and released.
void NativeCompile(benchmark::State& state, const Case& c) {
  QvRunner qv(c);
  const qv::Program& code = *qv.Engine().Expression(1)->Compiled;
  for (auto _ : state) {
    auto native = qv::NativeProgram::Compile(*code.Fast, code.FrameInputs.data());
    benchmark::DoNotOptimize(native.get());
  }
}

// The code must run the case and give the all-double program's bits, at the start and after a
// step of the variables.
bool Checked(const Case& c) {
  NativeRunner runner(c);
  if (!runner.Code()) return false;
  for (int k = 0; k < 2; ++k) {
    runner.Gather();
    double expected = 0, got = 0;
    const bool ran = runner.RunProgram(expected);
    if (!runner.Native() || !ran || !runner.Run(got) || std::memcmp(&got, &expected, sizeof got) != 0) {
      std::fprintf(stderr, "case %d: the native code does not give the all-double program's %.17g\n", c.number,
                   expected);
      std::abort();
    }
    Advance(runner.v);
  }
  return true;
}

}  // namespace

void RegisterNativeBenchmarks() {
  for (const Case& c : kCases) {
    if (!Checked(c)) continue;  // no all-double program: no native code either
    benchmark::RegisterBenchmark(BenchmarkName("native_code", c.number).c_str(), FrameRun<true>, c);
    benchmark::RegisterBenchmark(BenchmarkName("formula", c.number).c_str(), FormulaRun, c);
    benchmark::RegisterBenchmark(BenchmarkName("double_program", c.number).c_str(), FrameRun<false>, c);
    benchmark::RegisterBenchmark(BenchmarkName("native_code_compile", c.number).c_str(), NativeCompile, c);
  }
}

#else

void RegisterNativeBenchmarks() {}

#endif
