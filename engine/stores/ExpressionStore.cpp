// The table of compiled expressions: counting, reading texts back, emptying; and the engine-wide
// reset that empties every store.
#include "engine/Engine.h"

namespace qv {

// Slots 0 to h count h + 1 once anything was stored (slot 0 never is, so a table filled with k
// expressions counts k + 1); a new or reset table counts 0.
int32_t Engine::NumExpressions() {
  int32_t count = 0;
  errors_.Guarded(u"NumExpressions", [&] {
    int32_t h = int32_t(expressions_.size()) - 1;
    count = (h > 0 || !expressions_[0].Text.empty()) ? h + 1 : h;
  });
  return count;
}

std::u16string Engine::ExpressionText(const Variant& Index) {
  std::u16string text;
  errors_.Guarded(u"ExpressionText", [&] {
    // Slot 0 and any index out of range give the empty text; only a text index that is no
    // number is a failure.
    if (int32_t i = ItemPosition(Index, int32_t(expressions_.size()) - 1)) text = expressions_[size_t(i)].Text;
  });
  return text;
}

void Engine::ResetCompiledExpressions() {
  errors_.Guarded(u"ResetCompiledExpressions", [&] {
    expressions_.assign(1, CompiledExpression{});
    currentExpression_ = 0;
  });
}

// Each step runs as an operation of its own, so a failing step leaves the later ones to run.
void Engine::Reset() {
  ClearError();
  ResetCompiledExpressions();
  ResetUserFuncs();
  ResetVariables();
}

}  // namespace qv
