// The ladder of evaluation tiers, in one place. A compiled program runs on the fastest tier it
// has, up to a highest tier that the engine's setting allows: the native form, then the
// all-double program, then the general loop. The fast tiers share one frame of doubles that the
// caller gathers; where one declines (an input that is not a double, a result that would not
// simply be stored) the general loop decides, which gives what every tier would have given.
#pragma once

#include "engine/eval/DoubleProgramRun.h"
#include "engine/eval/Program.h"
#include "engine/qvTier.h"
#if QV_HAVE_NATIVE
#include "engine/native/NativeProgram.h"
#endif

namespace qv {

using Tier = qvTier;
#if QV_HAVE_NATIVE
inline constexpr Tier kHighestTier = Tier::Native;
#else
inline constexpr Tier kHighestTier = Tier::AllDouble;
#endif

// Count values into the first registers of the frame; false when one of them is not a double
// (the fast tiers then decline). Value gathers the program's FrameInputs, variables and
// constants together; a caller with values of its own gathers the variables and then calls the
// all-double program's LoadConstants.
QV_ALWAYS_INLINE bool GatherFrame(const Variant* const* Values, size_t Count, double* Frame) noexcept {
  bool doubles = true;
  for (size_t k = 0; k < Count; ++k) {
    doubles &= Values[k]->isDouble();
    Frame[k] = Values[k]->asDouble();
  }
  return doubles;
}

// The fast tiers on a frame that holds the inputs: Native when not null (the program's machine
// code), else the all-double program. True with the value (of the all-double program's result
// kind), or false when the general loop must decide. Code.Fast is not null. A native form
// declines exactly where the all-double program would, so a decline goes straight to the general
// loop.
QV_ALWAYS_INLINE bool RunFastTiers(const Program& Code, const NativeProgram* Native, double* Frame,
                                   double& Value) noexcept {
#if QV_HAVE_NATIVE
  if (Native) return Native->Run(Frame, Value);
#else
  (void)Native;
#endif
  return RunDoubleProgram(*Code.Fast, Frame, Value);
}

// The all-double program on the frame gathered from the program's own inputs. Where machine code
// can take over, this is the path of an expression's first evaluations only, kept out of line so
// that the machine code's path through Value stays short (engine/eval/Tiers.cpp).
#if QV_HAVE_NATIVE
bool GatherAndRun(const Program& Code, double* Frame, double& Value) noexcept;
#else
QV_ALWAYS_INLINE bool GatherAndRun(const Program& Code, double* Frame, double& Value) noexcept {
  return GatherFrame(Code.FrameInputs.data(), Code.FrameInputs.size(), Frame) &&
         RunDoubleProgram(*Code.Fast, Frame, Value);
}
#endif

// The fast tiers up to Highest on the program's own inputs (its variables' records and its
// constants), for one evaluation, which counts towards the machine code: that reads the records
// itself; the all-double program runs on the frame gathered from them.
QV_ALWAYS_INLINE bool RunFastOnRecords(const Program& Code, Tier Highest, double* Frame, double& Value) noexcept {
#if QV_HAVE_NATIVE
  if (Highest >= Tier::Native)
    if (const NativeProgram* native = Code.Native()) return native->RunOnRecords(Frame, Value);
#else
  (void)Highest;
#endif
  return GatherAndRun(Code, Frame, Value);
}

// The same for one evaluation up to Highest, which counts towards the program's machine code.
QV_ALWAYS_INLINE bool RunFastTiers(const Program& Code, Tier Highest, double* Frame, double& Value) noexcept {
#if QV_HAVE_NATIVE
  return RunFastTiers(Code, Highest >= Tier::Native ? Code.Native() : nullptr, Frame, Value);
#else
  (void)Highest;
  return RunDoubleProgram(*Code.Fast, Frame, Value);
#endif
}

}  // namespace qv
