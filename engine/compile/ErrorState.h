// The error state of one engine: the code, description, character position and source index of
// the last failure. The parts that record failures are handed it by reference; every write goes
// through these members.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/RuntimeError.h"

namespace qv {

struct ErrorState {
  int32_t Code = 0;
  std::u16string Description;
  int32_t Pos = 0;
  int32_t Source = 0;

  void Clear();
  // A failure the engine detected itself, with one of its own descriptions.
  void Set(int32_t code, std::u16string description);
  // A caught run-time failure of the procedure Procedure, recorded as code 11 ("Error N has
  // occured in qvCalcE, Procedure" and the failure's text); failure 94 is not recorded. Pos and
  // Source keep their values.
  void Report(std::u16string_view Procedure, const qvRuntimeError& Failure);
  // The per-procedure guard: runs Body; a run-time failure (or exhausted memory) escaping it is
  // reported under Procedure, and the caller carries on.
  template <class Body>
  void Guarded(std::u16string_view Procedure, Body&& body);
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
