// Checks shared by the engine fuzz targets: compile a text, evaluate and list it, and test what
// must hold after each step whatever the text was.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/qvExpression.h"
#include "fuzz/FuzzInput.h"

#include "engine/eval/Program.h"
#ifdef QV_HAVE_NATIVE
#include "engine/eval/Tiers.h"
#endif

namespace fuzz {

// The highest expression index of the engine's table (0 when it holds no expression).
inline int32_t HighestIndex(qvExpression& engine) {
  int32_t count = engine.NumExpressions();
  return count == 0 ? 0 : count - 1;
}

// The error state after any operation: a recorded code always comes with a description.
inline void CheckErrorState(const qvExpression& engine) {
  Check(engine.ErrorCode() == 0 || !engine.ErrorDescription().empty(),
        "an error code without a description");
}

// A value the evaluator returns never carries an infinity or a NaN: arithmetic that leaves the
// range of a double fails instead (the inputs the targets set are all finite).
inline void CheckValue(const Variant& value) {
  Check(!value.isDouble() || std::isfinite(value.asDouble()), "a non-finite value");
}

// Compiles Text under a new index and checks the store and the error state; returns the index.
inline int16_t CompileChecked(qvExpression& engine, std::u16string text) {
  int32_t before = HighestIndex(engine);
  int16_t index = 0;
  engine.Compile(text, index);
  if (before >= INT16_MAX) return index;  // the table is full: the index cannot be allotted
  Check(index == before + 1, "Compile did not allot the next index");
  Check(HighestIndex(engine) == index, "NumExpressions does not count the new expression");
  Check(engine.ErrorSource() == index, "ErrorSource is not the compiled index");
  Check(engine.ExpressionText(Variant(int32_t(index))) == (text.empty() ? u"0" : text),
        "the stored text is not the compiled text");
  Check(engine.ErrorCode() != 0 || engine.ErrorPos() == 0, "success left an error position");
  CheckErrorState(engine);
  return index;
}

// Evaluates an index (negative ones are written back) and checks the result. Under the strict
// profile an evaluation that records a failure gives no value.
inline Variant ValueChecked(qvExpression& engine, int32_t index) {
  int32_t highest = HighestIndex(engine);
  int32_t asked = index;
  Variant value = engine.Value(index);
  Check(asked >= 0 || index == highest, "a negative index was not replaced by the highest");
  CheckValue(value);
  CheckErrorState(engine);
  Check(!engine.Strict() || engine.ErrorCode() == 0 || value.isEmpty(), "strict: a value with a recorded failure");
  return value;
}

// The listing of the current expression; array code makes it fail by design.
inline void ListChecked(qvExpression& engine) {
  try {
    std::u16string listing = engine.RPNExpression();
    Check(listing.empty() || listing.front() == u' ', "a listing that does not start with a blank");
  } catch (const qvRuntimeError&) {
  }
  CheckErrorState(engine);
}

// The host functions every fuzzed engine has: one that fails (an exception below 0, a result
// that is not finite above 1e6), the same with a block form only (its block throws when any row
// is below 0, so that columns split it down to the failing rows), one of any number of
// arguments, and an impure one without arguments (its calls counted apart from its result, which
// stays the same on every tier).
inline void DefineHostFunctions(qvExpression& engine) {
  engine.DefineFunction("HPOS", 1, [](std::span<const double> a) {
    if (a[0] < 0) throw std::domain_error("below 0");
    return a[0] > 1e6 ? std::numeric_limits<double>::infinity() : std::sqrt(a[0]) + 1;
  });
  qvFunction block{1, 1, true, nullptr};
  block.Block = [](std::span<const std::span<const double>> a, std::span<double> out) {
    if (std::any_of(a[0].begin(), a[0].end(), [](double x) { return x < 0; })) throw std::domain_error("below 0");
    for (size_t r = 0; r < out.size(); ++r)
      out[r] = a[0][r] > 1e6 ? std::numeric_limits<double>::infinity() : std::sqrt(a[0][r]) + 1;
  };
  engine.DefineFunction("HBLK", std::move(block));
  engine.DefineFunction("HSUM", -1, [](std::span<const double> a) {
    double s = 0.25;
    for (double x : a) s = s * 0.5 + x;
    return s;
  });
  static std::atomic<uint64_t> ticks{0};
  engine.DefineFunction("HTICK", qvFunction{0, 0, false, [](std::span<const double>) {
                                             ticks.fetch_add(1, std::memory_order_relaxed);
                                             return 3.0;
                                           }});
  engine.DefineConstant("HK", 0.125);
}

// Two values are the same when they have the same kind and the same text or the same bits.
inline bool SameValue(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  if (a.isText()) return a.asText() == b.asText();
  const double x = a.asDouble(), y = b.asDouble();
  return std::memcmp(&x, &y, sizeof x) == 0;
}

// What one evaluation gave: the value and the recorded failure.
struct Outcome {
  Variant Value;
  int32_t Code = 0;
  std::u16string Description;
};

// Evaluates Index on tiers up to Highest from a clear error state with a fixed random seed, and
// clears the error state again; the engine's tier setting is put back.
inline Outcome Evaluated(qvExpression& engine, int16_t index, qvTier highest) {
  const qvTier setting = engine.HighestTier();
  engine.SetHighestTier(highest);
  engine.ClearError();
  engine.SeedRandom(7);
  int32_t run = index;
  Outcome outcome;
  outcome.Value = engine.Value(run);
  outcome.Code = engine.ErrorCode();
  outcome.Description = engine.ErrorDescription();
  engine.SetHighestTier(setting);
  engine.ClearError();
  return outcome;
}

inline bool SameOutcome(const Outcome& a, const Outcome& b) {
  return SameValue(a.Value, b.Value) && a.Code == b.Code && a.Description == b.Description;
}

#ifdef QV_HAVE_NATIVE
// The machine code of a program must decline exactly where its all-double program declines and
// otherwise give its bits: at the variables' present values, and with each of the first four
// variables' registers of the frame in turn at 0, -0, NaN, -inf and the largest double. Host
// functions' calls included: the machine code calls them through its helper.
inline void CheckNativeAgrees(const qv::Program& code) {
  const qv::NativeProgram* native = qv::MachineCode(code, 0);
  Check(native != nullptr, "an all-double program without native code (or the engine waits to make it)");
  std::array<double, qv::DoubleProgram::kMaxRegisters> inputs{};
  double onRecords = 0;
  if (!qv::GatherFrame(code.FrameInputs.data(), code.FrameInputs.size(), inputs.data())) {
    Check(!native->RunOnRecords(onRecords), "the native code runs on a variable that is not a double");
    return;
  }
  const auto compare = [&] {
    auto frame = inputs, scratch = inputs;  // both tiers write their steps into the frame
    double expected = 0, actual = 0;
    const bool ran = qv::RunDoubleProgram(*code.Fast, scratch.data(), expected);
    Check(native->Run(frame.data(), actual) == ran, "the native code and the all-double program decline apart");
    Check(!ran || std::memcmp(&actual, &expected, sizeof actual) == 0,
          "the native code and the all-double program give different bits");
    double onValues = 0;  // the caller's values alone: the variables' registers of the frame
    Check(native->RunOnValues(inputs.data(), onValues) == ran,
          "the native code on the caller's values declines apart");
    Check(!ran || std::memcmp(&onValues, &expected, sizeof expected) == 0,
          "the native code on the caller's values gives different bits");
  };
  compare();
  double expected = 0;
  auto frame = inputs;
  const bool ran = qv::RunDoubleProgram(*code.Fast, frame.data(), expected);
  Check(native->RunOnRecords(onRecords) == ran, "the native code on the records declines apart");
  Check(!ran || std::memcmp(&onRecords, &expected, sizeof expected) == 0,
        "the native code on the records gives different bits");
  const double inf = std::numeric_limits<double>::infinity();
  // Variables only: the constants' registers hold the program's constants, which the machine code
  // may have built in (a square of x ^ 2 is a multiplication).
  for (size_t i = 0; i < code.Fast->Variables && i < 4; ++i) {
    const double kept = inputs[i];
    for (double v : {0.0, -0.0, std::numeric_limits<double>::quiet_NaN(), -inf, 1.7976931348623157e308}) {
      inputs[i] = v;
      compare();
    }
    inputs[i] = kept;
  }
}
#endif

// A call over columns must give, row by row, what assigning the row's values to the variables and
// calling Value gives: the same status, and where it is 0 the same number, bit for bit. Five rows
// (two of them a pair in the machine code's vector lanes): the variables' present values, zeros,
// negative values, the largest doubles and NaN. The variables keep their values afterwards.
inline void CheckColumnsAgree(qvExpression& engine, int16_t index) {
  const CompiledExpression* record = engine.Expression(index);
  if (!record || !record->Compiled || !record->Compiled->Fast || engine.ErrorCode() != 0) return;
  const std::shared_ptr<const qv::Program> code = record->Compiled;
  constexpr size_t kRows = 5;
  std::vector<std::array<double, kRows>> values;
  std::vector<qvColumn> columns;
  std::vector<Variant> kept;
  for (const auto& variable : code->Variables) {
    kept.push_back(variable->Value);
    const double k = double(values.size() + 1);
    values.push_back({variable->Value.asDouble(), 0.0, -1.5 * k, 1.7976931348623157e308 / k,
                      std::numeric_limits<double>::quiet_NaN()});
  }
  for (size_t k = 0; k < values.size(); ++k) columns.push_back({code->Variables[k]->Name, values[k].data()});
  std::array<double, kRows> out;
  std::array<int32_t, kRows> status;
  engine.ValueColumns(index, columns, kRows, out.data(), status.data());
  Check(engine.ErrorCode() == 0, "a call over columns recorded a failure in the engine");
  for (size_t r = 0; r < kRows; ++r) {
    for (size_t k = 0; k < values.size(); ++k) code->Variables[k]->Value = values[k][r];
    int32_t run = index;
    const Variant value = engine.Value(run);
    const int32_t failure = engine.ErrorCode();
    engine.ClearError();
    Check(status[r] == failure, "a row over columns and Value record different failures");
    Check(failure == 0 || std::isnan(out[r]), "a failed row over columns has a number");
    const double number = value.asDouble();
    Check(failure != 0 || value.isText() || std::memcmp(&out[r], &number, sizeof number) == 0,
          "a row over columns and Value give different numbers");
  }
  for (size_t k = 0; k < kept.size(); ++k) code->Variables[k]->Value = kept[k];
}

// Every tier must give exactly what the general loop gives: the same value of the same kind and
// the same recorded failure.
inline void CheckTiersAgree(qvExpression& engine, int16_t index) {
  const CompiledExpression* code = engine.Expression(index);
  if (!code || !code->Compiled || !code->Compiled->Fast || engine.ErrorCode() != 0) return;
  const Outcome general = Evaluated(engine, index, qvTier::General);
  for (qvTier tier : {qvTier::AllDouble, qvTier::Native})
    Check(SameOutcome(Evaluated(engine, index, tier), general), "a fast tier and the general loop disagree");
#ifdef QV_HAVE_NATIVE
  CheckNativeAgrees(*code->Compiled);
#endif
  CheckColumnsAgree(engine, index);
}

// The strict and the compatible profile agree wherever nothing failed: an expression that the
// strict engine compiles and evaluates without a failure gives the same value on a compatible
// engine that holds the same variables, arrays and functions and compiled the same texts.
inline void CheckProfilesAgree(qvExpression& strict, qvExpression& compatible, int16_t index) {
  const Outcome s = Evaluated(strict, index, strict.HighestTier());
  if (s.Code != 0) return;
  Check(SameOutcome(s, Evaluated(compatible, index, compatible.HighestTier())),
        "strict and compatible disagree where nothing failed");
}

// Everything an expression goes through: compile, evaluate, list; then the same after clearing a
// failed compilation, whose failure the evaluator must record again, and which the listing shows
// as far as it went.
inline void Exercise(qvExpression& engine, const std::u16string& text) {
  int16_t index = CompileChecked(engine, text);
  CheckTiersAgree(engine, index);
  ValueChecked(engine, index);
  ListChecked(engine);
  engine.ClearError();
  ValueChecked(engine, index);
  ListChecked(engine);
  engine.ClearError();
}

}  // namespace fuzz
