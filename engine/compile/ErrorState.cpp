// The error state: cleared by ClearError, written by the engine's own checks through Set and by
// caught run-time failures through Report.
#include "engine/compile/ErrorState.h"

#include "engine/Messages.h"
#include "engine/Variant.h"

namespace qv {

void ErrorState::Clear() {
  code_ = 0;
  description_.clear();
  pos_ = 0;
  source_ = 0;
}

void ErrorState::Set(int32_t code, std::u16string description) {
  code_ = code;
  description_ = std::move(description);
}

void ErrorState::SetAt(int32_t code, std::u16string description, int32_t pos) {
  Set(code, std::move(description));
  pos_ = pos;
}

// "Error " N " has occured in " "qvCalcE, " procedure, CR LF, the failure's own text.
void ErrorState::Report(std::u16string_view Procedure, const qvRuntimeError& Failure) {
  if (Failure.Number == kErrNull) return;
  std::u16string text;
  text.append(msg::kErrorWord).append(WholeToText(Failure.Number)).append(msg::kHasOccured);
  text.append(msg::kSourcePrefix).append(Procedure).append(msg::kNewLine).append(Failure.Description);
  Set(11, std::move(text));
}

}  // namespace qv
