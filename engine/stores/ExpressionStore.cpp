// The table of compiled expressions (ExpressionTable.h): counting, reading texts back, emptying.
#include "engine/stores/ExpressionTable.h"

#include "engine/stores/ItemPosition.h"

namespace qv {

// Slots 0 to h count h + 1 once anything was stored (slot 0 never is, so a table filled with k
// expressions counts k + 1); a new or reset table counts 0.
int32_t ExpressionTable::NumExpressions() {
  int32_t count = 0;
  errors.Guarded(u"NumExpressions", [&] {
    int32_t h = int32_t(Records.size()) - 1;
    count = (h > 0 || !Records[0].Text.empty()) ? h + 1 : h;
  });
  return count;
}

std::u16string ExpressionTable::ExpressionText(const Variant& Index) {
  std::u16string text;
  errors.Guarded(u"ExpressionText", [&] {
    // Slot 0 and any index out of range give the empty text; only a text index that is no
    // number is a failure.
    if (int32_t i = ItemPosition(Index, int32_t(Records.size()) - 1)) text = Records[size_t(i)].Text;
  });
  return text;
}

void ExpressionTable::ResetCompiledExpressions() {
  errors.Guarded(u"ResetCompiledExpressions", [&] {
    Records.assign(1, CompiledExpression{});
    Current = 0;
  });
}

}  // namespace qv
