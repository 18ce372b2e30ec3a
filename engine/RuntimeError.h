// The run-time failure: a number and a description text, thrown by a failing conversion, access
// or allocation on the engine's slow paths and caught by each engine procedure, which hands it
// to its error-report procedure. The hot path of evaluation never throws: its sub-steps return
// a status instead.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The catalogue of run-time failure numbers. 6, 13 and 94 are the numbers the engine and the
// control rely on; the others are this engine's own choice, with plain English texts.
enum RuntimeErrorNumber : int32_t {
  kErrInvalidArgument = 5,   // "Invalid procedure call or argument"
  kErrOverflow = 6,          // "Overflow"
  kErrOutOfMemory = 7,       // "Out of memory"
  kErrSubscript = 9,         // "Subscript out of range"
  kErrDivisionByZero = 11,   // "Division by zero"
  kErrTypeMismatch = 13,     // "Type mismatch"
  kErrNull = 94,             // "Invalid use of Null": never recorded
  kErrUnknownMember = 438,   // "Object doesn't support this property or method"
  kErrWrongArguments = 450,  // "Wrong number of arguments or invalid property assignment"
  kErrInternal = 999,        // "Internal Error"
};

// The description of a run-time failure number ("Application-defined error" when unknown).
std::u16string RuntimeErrorText(int32_t number);

class qvRuntimeError : public std::exception {
 public:
  explicit qvRuntimeError(int32_t number) : Number(number), Description(RuntimeErrorText(number)) {}
  qvRuntimeError(int32_t number, std::u16string description)
      : Number(number), Description(std::move(description)) {}
  const char* what() const noexcept override { return "qvCalc run-time failure"; }

  int32_t Number;
  std::u16string Description;
};

[[noreturn]] inline void RaiseRuntimeError(int32_t number) { throw qvRuntimeError(number); }

