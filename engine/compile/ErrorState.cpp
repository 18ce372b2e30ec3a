// The error state: cleared by ClearError, written by the engine's own checks through SetError
// and by caught run-time failures through ReportError.
#include "engine/Messages.h"
#include "engine/qvExpression.h"

void qvExpression::ClearError() {
  errorCode_ = 0;
  errorDescription_.clear();
  errorPos_ = 0;
  errorSource_ = 0;
}

void qvExpression::SetError(int32_t Code, std::u16string Description) {
  errorCode_ = Code;
  errorDescription_ = std::move(Description);
}

// "Error " N " has occured in " "qvCalcE, " procedure, CR LF, the failure's own text; code 11.
// ErrorPos and ErrorSource keep their values. Failure 94 (use of a null value) is not recorded.
void qvExpression::ReportError(std::u16string_view Procedure, const qvRuntimeError& Failure) {
  if (Failure.Number == kErrNull) return;
  std::u16string text;
  text.append(msg::kErrorWord).append(WholeToText(Failure.Number)).append(msg::kHasOccured);
  text.append(msg::kSourcePrefix).append(Procedure).append(msg::kNewLine).append(Failure.Description);
  SetError(11, std::move(text));
}
