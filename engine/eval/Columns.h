// Evaluation over columns (Columns.cpp): one compiled program of an engine's expression table
// over many rows, on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/compile/ErrorState.h"
#include "engine/eval/GeneralLoop.h"
#include "engine/eval/Tiers.h"
#include "engine/qvColumn.h"
#include "engine/stores/ExpressionTable.h"

namespace qv {

// What a call over columns reads of its engine.
struct ColumnSource {
  const ExpressionTable& Expressions;
  const ErrorState& Errors;  // a recorded failure refuses every row, as it refuses Value
  LoopContext Loop;          // the general loop, for the rows the fast tiers decline
  std::mutex& Lock;          // held while the table is read, and around the general rows of a
                             // program that calls a user function or RND
  Tier Highest;
};

size_t ValueColumns(const ColumnSource& Source, int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows,
                    double* Out, int32_t* Status, unsigned Threads);

}  // namespace qv
