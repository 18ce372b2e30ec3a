// An error state: the code, description, character position and source index of the last
// failure, of one engine or of one evaluation's outcome. The parts that record failures are handed
// it by reference; its fields are private, so every write goes through these members.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/RuntimeError.h"

namespace qv {

class ErrorState {
 public:
  int32_t Code() const { return code_; }
  const std::u16string& Description() const { return description_; }
  int32_t Pos() const { return pos_; }
  int32_t Source() const { return source_; }

  void Clear();
  // A failure the engine detected itself, with one of its own descriptions; position and source
  // keep their values.
  void Set(int32_t code, std::u16string description);
  // A failure found at a character position (the compiler's, or a user function body's).
  void SetAt(int32_t code, std::u16string description, int32_t pos);
  // The failure an evaluation recorded in its outcome, when there is one: its code and
  // description; position and source keep their values.
  void Record(const ErrorState& Outcome) {
    if (Outcome.code_ != 0) Set(Outcome.code_, Outcome.description_);
  }
  void SetPos(int32_t pos) { pos_ = pos; }
  void SetSource(int32_t source) { source_ = source; }
  // A caught run-time failure of the procedure Procedure, recorded as code 11 ("Error N has
  // occured in qvCalcE, Procedure" and the failure's text); failure 94 is not recorded. Pos and
  // Source keep their values.
  void Report(std::u16string_view Procedure, const qvRuntimeError& Failure);
  // The per-procedure guard: runs Body; a run-time failure (or exhausted memory) escaping it is
  // reported under Procedure, and the caller carries on.
  template <class Body>
  void Guarded(std::u16string_view Procedure, Body&& body);

 private:
  int32_t code_ = 0;
  std::u16string description_;
  int32_t pos_ = 0;
  int32_t source_ = 0;
};

template <class Body>
void ErrorState::Guarded(std::u16string_view Procedure, Body&& body) {
  try {
    body();
  } catch (const qvRuntimeError& failure) {
    Report(Procedure, failure);
  } catch (const std::bad_alloc&) {
    Report(Procedure, qvRuntimeError(kErrOutOfMemory));
  } catch (const std::length_error&) {
    Report(Procedure, qvRuntimeError(kErrOutOfMemory));
  }
}

}  // namespace qv
