// Fuzz target: arbitrary expression texts, compiled, evaluated and listed by an engine that has a
// few variables, arrays and user functions defined. Each line of the input is one expression.
// Inputs of odd length run under the strict profile and are compared with the compatible one.
//
// The engine lives across inputs, because defining its user functions costs more than most
// inputs do. Each input starts from the same state all the same: expressions, variables and
// arrays are reset and made again, and the user functions, which no expression can change,
// have their error state cleared, so a run depends only on its input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Engine.h"
#include "engine/qvExpression.h"
#include "fuzz/EngineChecks.h"
#include "fuzz/FuzzInput.h"

// Reaches the sub-engines of the user functions, which hold the only state an input can leave
// behind: a failure recorded while a body was evaluated.
struct qvExpressionTestAccess {
  static void ClearUserFuncErrors(qvExpression& engine) {
    const qv::UserFunctionStore& functions = engine.engine_->UserFunctions();
    for (int slot = 1; slot <= qv::kMaxUserFuncs; ++slot)
      if (qv::FunctionBody* body = functions.Body(slot)) body->Errors().Clear();
  }
};

namespace {

// Two engines alike but for the profile: inputs of odd length run on the strict one, and the
// compatible one compiles the same texts beside it, to compare where the strict one succeeds.
qvExpression& DefinedEngine(bool strict) {
  static qvExpression* engines[2] = {nullptr, nullptr};
  qvExpression*& engine = engines[strict ? 1 : 0];
  if (!engine) engine = [strict] {
    auto* e = new qvExpression;  // lives as long as the process; never destroyed
    e->SetStrict(strict);
    e->SetNativeAfter(0);        // machine code for every expression, to compare with the other tiers
    fuzz::DefineHostFunctions(*e);
    for (std::u16string func : {u"Area(W, H) = W * H", u"Half(X) = X / 2 ' halves",
                                u"Txt(S, N) = LEFT(S, N) & MID(S, N, 2)", u"Two() = 2", u"Ln2(X) = LN(X) * 2"}) {
      e->UserFunc(func);
    }
    return e;
  }();
  return *engine;
}

void StartInput(qvExpression& engine) {
  engine.ResetCompiledExpressions();
  engine.ResetVariables();
  qvExpressionTestAccess::ClearUserFuncErrors(engine);
  for (auto [name, value] : {std::pair{u"X", 2.0}, {u"Y", -0.5}, {u"Big", 1e300}, {u"Tiny", 1e-300}}) {
    double v = value;
    engine.Variable(Variant(name), v);
  }
  for (std::u16string array : {u"A(3, 4)", u"V(10)", u"Q(1, 1, 1, 1)"}) engine.DefineArray(array);
  for (int16_t i = 0; i <= 10; ++i) engine.ArrayValue(2, Variant(int32_t(i * i)), i);
  engine.ClearError();
  engine.SeedRandom(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool strict = size % 2 == 1;
  qvExpression& engine = DefinedEngine(strict);
  qvExpression& compatible = DefinedEngine(false);
  StartInput(engine);
  if (strict) StartInput(compatible);
  for (std::string_view line : fuzz::SplitLines(data, size, 16)) {
    fuzz::Exercise(engine, fuzz::DecodeText(line));
    if (strict) {
      fuzz::CompileChecked(compatible, fuzz::DecodeText(line));
      compatible.ClearError();
    }
  }
  // Evaluate them all again, the earlier ones after the later ones changed shared variables.
  for (int32_t index = 1; index <= fuzz::HighestIndex(engine); ++index) {
    fuzz::ValueChecked(engine, index);
    engine.ClearError();
    if (strict) fuzz::CheckProfilesAgree(engine, compatible, int16_t(index));
  }
  int32_t last = -1;
  fuzz::ValueChecked(engine, last);
  return 0;
}
