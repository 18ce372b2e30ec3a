// The engine behind a facade, for the tests that reach its components and procedures directly.
#pragma once

#include <vector>

#include "engine/Engine.h"
#include "engine/qvExpression.h"

struct qvExpressionTestAccess {
  static qv::Engine& Inside(qvExpression& e) { return *e.engine_; }
  static qv::ErrorState& Errors(qvExpression& e) { return Inside(e).Errors(); }
  static std::vector<qv::ArrayEntry>& Arrays(qvExpression& e) { return Inside(e).Arrays().Entries(); }
  static void SetArraysCount(qvExpression& e, int16_t count) { Inside(e).Arrays().SetCount(count); }
  static int32_t CurrentExpression(qvExpression& e) { return Inside(e).Expressions().Current; }
  // Stores a hand-built record as the next expression index (its program made as a failed
  // compilation's would be: the general loop only) and returns that index.
  static int32_t Store(qvExpression& e, CompiledExpression code) {
    code.Compiled = qv::BuildProgram(code, false);
    std::vector<CompiledExpression>& records = Inside(e).Expressions().Records;
    records.push_back(std::move(code));
    return int32_t(records.size()) - 1;
  }
  // Adds an array entry as it stands, consistent or not, and returns its slot.
  static int16_t StoreArray(qvExpression& e, qv::ArrayEntry entry) { return Inside(e).Arrays().Store(std::move(entry)); }
  // The fast tiers alone, up to Highest, on the program of an index: true with their result, false
  // when there is no all-double program or they decline.
  static bool Fast(qvExpression& e, int32_t index, qvTier highest, Variant& out) {
    const qv::Program& code = *e.Expression(index)->Compiled;
    double frame[qv::DoubleProgram::kMaxRegisters], value;
    if (!code.Fast || !qv::RunFastOnRecords(code, highest, frame, value)) return false;
    out = qv::DoubleProgramResult(*code.Fast, value);
    return true;
  }
  // The general loop alone, on the program of an index, its failure recorded as Value records it.
  static Variant General(qvExpression& e, int32_t index) {
    const qv::Program& code = *e.Expression(index)->Compiled;
    qv::Outcome outcome = qv::Evaluate(Inside(e).Loop(), code, code.FrameInputs.data());
    Errors(e).Record(outcome.Failure);
    return std::move(outcome.Value);
  }
};
