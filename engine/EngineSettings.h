// The switches of one engine, read by its procedures where they apply and set whole
// (Engine::SetSettings), so that one place applies what follows from them: the tier cap held to
// what the build has, and the user functions' sub-engines kept in step.
#pragma once

#include <cstdint>

#include "engine/eval/Tiers.h"

namespace qv {

struct EngineSettings {
  bool EvaluationTrap = true;   // continue on failure (on at creation)
  bool CreateVariables = true;  // the compiler creates the variables a text names
  bool Strict = false;          // the strict profile (qvExpression::SetStrict)
  Tier HighestTier = kHighestTier;
  uint32_t NativeAfter = kNativeAfter;  // evaluations before the machine code is made

  // The strict profile switches the trap and variable creation with it; its own rules (inputs
  // that must be finite, suggestions, definitions that replace or leave nothing, checked array
  // bounds) read Strict where they apply.
  EngineSettings WithStrict(bool On) const {
    EngineSettings changed = *this;
    changed.Strict = On;
    changed.CreateVariables = !On;
    changed.EvaluationTrap = !On;
    return changed;
  }
};

}  // namespace qv
