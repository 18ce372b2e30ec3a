// The ladder of evaluation tiers, in one place. A compiled program runs on the fastest tier it
// has, up to a highest tier that the engine's setting allows: the native form, then the
// all-double program, then the general loop. The fast tiers share one frame of doubles that the
// caller gathers; where one declines (an input that is not a double, a result that would not
// simply be stored) the general loop decides, which gives what every tier would have given.
#pragma once

#include "engine/eval/DoubleProgramRun.h"
#include "engine/eval/Program.h"
#include "engine/native/NativeProgram.h"
#include "engine/qvTier.h"

namespace qv {

using Tier = qvTier;
// Whether this build has the native tier (the CMake option QV_NATIVE, where asmjit is found):
// the one place that asks. Without it, no machine code is ever made and the tier's branches fold
// away.
#if QV_HAVE_NATIVE
inline constexpr bool kNativeBuilt = true;
#else
inline constexpr bool kNativeBuilt = false;
#endif
inline constexpr Tier kHighestTier = kNativeBuilt ? Tier::Native : Tier::AllDouble;

// Makes the machine code of Code's all-double program, or null where none can be made (engine/eval/Tiers.cpp).
const NativeProgram* MakeMachineCode(const Program& Code) noexcept;

// The machine code of Code, counting Runs more evaluations towards its NativeAfter: null until
// then, and where the build, the target or the program has none. The evaluation that reaches the
// count makes it, on its own thread; a thread that meets the generation under way goes on
// without it.
QV_ALWAYS_INLINE const NativeProgram* MachineCode(const Program& Code, uint32_t Runs = 1) noexcept {
  if constexpr (!kNativeBuilt) return nullptr;
  if (const NativeProgram* made = Code.Native.Made()) return made;
  if (!Code.Fast || !Code.Native.Claim(Runs, Code.NativeAfter)) return Code.Native.Made();
  return Code.Native.Publish(MakeMachineCode(Code));
}

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
  if (kNativeBuilt && Native) return Native->Run(Frame, Value);
  return RunDoubleProgram(*Code.Fast, Frame, Value);
}

// The all-double program on the frame gathered from the program's own inputs. Where machine code
// can take over, this is the path of an expression's first evaluations only, kept out of line so
// that the machine code's path through Value stays short (engine/eval/Tiers.cpp).
bool GatherAndRunOutOfLine(const Program& Code, double* Frame, double& Value) noexcept;
QV_ALWAYS_INLINE bool GatherAndRun(const Program& Code, double* Frame, double& Value) noexcept {
  if constexpr (kNativeBuilt) return GatherAndRunOutOfLine(Code, Frame, Value);
  return GatherFrame(Code.FrameInputs.data(), Code.FrameInputs.size(), Frame) &&
         RunDoubleProgram(*Code.Fast, Frame, Value);
}

// The fast tiers up to Highest on the program's own inputs (its variables' records and its
// constants), for one evaluation, which counts towards the machine code: that reads the records
// itself; the all-double program runs on the frame gathered from them.
QV_ALWAYS_INLINE bool RunFastOnRecords(const Program& Code, Tier Highest, double* Frame, double& Value) noexcept {
  if (Highest >= Tier::Native)
    if (const NativeProgram* native = MachineCode(Code)) return native->RunOnRecords(Value);
  return GatherAndRun(Code, Frame, Value);
}

// The same for one evaluation up to Highest, which counts towards the program's machine code.
QV_ALWAYS_INLINE bool RunFastTiers(const Program& Code, Tier Highest, double* Frame, double& Value) noexcept {
  return RunFastTiers(Code, Highest >= Tier::Native ? MachineCode(Code) : nullptr, Frame, Value);
}

}  // namespace qv
