#include "engine/RuntimeError.h"

std::u16string RuntimeErrorText(int32_t number) {
  switch (number) {
    case kErrInvalidArgument: return u"Invalid procedure call or argument";
    case kErrOverflow: return u"Overflow";
    case kErrOutOfMemory: return u"Out of memory";
    case kErrSubscript: return u"Subscript out of range";
    case kErrDivisionByZero: return u"Division by zero";
    case kErrTypeMismatch: return u"Type mismatch";
    case kErrNull: return u"Invalid use of Null";
    case kErrUnknownMember: return u"Object doesn't support this property or method";
    case kErrWrongArguments: return u"Wrong number of arguments or invalid property assignment";
    case kErrInternal: return u"Internal Error";
    default: return u"Application-defined error";
  }
}
