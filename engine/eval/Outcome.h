// What one evaluation on the general loop gives: its value, and the failure it recorded (code,
// description; code 0 when none). The loop writes only here, never into an engine's error state:
// Value records the outcome there once, and an evaluation over columns keeps each row's outcome
// on the thread that ran it.
#pragma once

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"

namespace qv {

struct Outcome {
  Variant Value;       // empty when a failure ended the evaluation
  ErrorState Failure;  // what the evaluation recorded, the last failure under the trap
};

}  // namespace qv
