#include "engine/eval/Inputs.h"

#include "engine/RuntimeError.h"
#include "engine/eval/NumberFormat.h"

namespace qv {

size_t FirstNonFiniteRow(const std::vector<const double*>& Columns, size_t First, size_t Last) {
  size_t stop = Last;
  for (const double* column : Columns) {
    if (!column) continue;
    for (size_t r = First; r < stop; ++r)
      if (!std::isfinite(column[r])) {
        stop = r;
        break;
      }
  }
  return stop;
}

std::u16string NonFiniteText(std::u16string_view Name, double Value) {
  return std::u16string(Name).append(std::isnan(Value) ? u" is not a number" : u" is infinite");
}

std::u16string ElementName(const ArrayEntry& Entry, const std::array<int32_t, 4>& Subscripts) {
  std::u16string text = Entry.Name + u"(";
  for (int16_t k = 1; k <= Entry.NumDims && k <= 4; ++k)
    text.append(k > 1 ? u", " : u"").append(WholeToText(Subscripts[size_t(k - 1)]));
  return text + u")";
}

// Recorded with the type-mismatch code: the value is of no kind that computes.
Step CheckInput(std::u16string_view Name, const Variant& Value, ErrorState& Failure) {
  if (IsFiniteInput(Value)) return Step::Ok;
  Failure.Set(kErrTypeMismatch, NonFiniteText(Name, Value.asDouble()));
  return Step::Failed;
}

}  // namespace qv
