// Evaluation over columns: one expression, many rows. Each row runs as a Value call would on an
// engine with no recorded failure, with the columns' variables holding that row's values; the
// result is converted to a number as the control converts it.
#include <cmath>
#include <limits>

#include "engine/Engine.h"

namespace qv {

namespace {

constexpr int32_t kTypeMismatchCode = 13;  // a text result that does not read as a number

// The row's number: empty is 0, a text that reads as a number is that number, any other text is
// NaN with the type-mismatch code.
double RowNumber(const Variant& result, int32_t& status) {
  if (result.isEmpty()) return 0;
  double number = 0;
  if (result.toNumber(number)) return number;
  if (status == 0) status = kTypeMismatchCode;
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

// Rows run one after another in row order on this engine (so RND draws the sequence successive
// Value calls would); the thread count does not change any result.
size_t Engine::ValueColumns(int32_t Index, const std::vector<qvColumn>& Columns, size_t Rows,
                                  double* Out, int32_t* Status, unsigned Threads) {
  (void)Threads;
  if (Rows == 0) return 0;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (errors_.Code != 0) {  // a failure recorded before the call refuses every row, as Value does
    for (size_t r = 0; r < Rows; ++r) {
      Out[r] = nan;
      if (Status) Status[r] = errors_.Code;
    }
    return 0;
  }
  // The columns' records (names the store does not hold are ignored), with their values to put
  // back afterwards.
  std::vector<std::pair<std::shared_ptr<qvVariable>, const double*>> bound;
  std::vector<Variant> saved;
  for (const qvColumn& column : Columns) {
    std::shared_ptr<qvVariable> record = variables_.Find(column.Name);
    if (!record || !column.Values) continue;
    saved.push_back(record->Value);
    bound.emplace_back(std::move(record), column.Values);
  }
  const int32_t source = errors_.Source, position = errors_.Pos, current = currentExpression_;
  const std::u16string description = errors_.Description;
  size_t good = 0;
  for (size_t r = 0; r < Rows; ++r) {
    for (auto& [record, values] : bound) record->Value = Variant(values[r]);
    int32_t index = Index;
    const Variant result = Value(index);
    int32_t status = errors_.Code;
    Out[r] = status == 0 ? RowNumber(result, status) : nan;
    if (Status) Status[r] = status;
    good += status == 0;
    ClearError();
  }
  for (size_t k = 0; k < bound.size(); ++k) bound[k].first->Value = std::move(saved[k]);
  errors_.Source = source;
  errors_.Pos = position;
  errors_.Description = description;
  currentExpression_ = current;
  return good;
}

}  // namespace qv
