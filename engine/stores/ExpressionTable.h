// The table of compiled expressions: one record per index (index 0 exists and is never given
// out) and the current index, which compilation, listing and evaluation select. Failures of its
// own members go to the engine's error state, which the table is handed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CompiledExpression.h"
#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"

namespace qv {

struct ExpressionTable {
  explicit ExpressionTable(ErrorState& Errors) : errors(Errors) {}
  ExpressionTable(const ExpressionTable&) = delete;
  ExpressionTable& operator=(const ExpressionTable&) = delete;

  // ---- the members of the facade ----
  int32_t NumExpressions();
  std::u16string ExpressionText(const Variant& Index);
  void ResetCompiledExpressions();

  // The record of Index, or null outside the table.
  const CompiledExpression* Expression(int32_t Index) const {
    return Index >= 0 && size_t(Index) < Records.size() ? &Records[size_t(Index)] : nullptr;
  }
  int32_t HighestIndex() const { return int32_t(Records.size()) - 1; }

  ErrorState& errors;
  std::vector<CompiledExpression> Records = std::vector<CompiledExpression>(1);
  int32_t Current = 0;
};

}  // namespace qv
