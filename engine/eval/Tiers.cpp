// The out-of-line part of the tier ladder (engine/eval/Tiers.h): the making of machine code,
// which only a build with the native tier has.
#include "engine/eval/Tiers.h"

#include <memory>

namespace qv {

bool GatherAndRunOutOfLine(const Program& Code, double* Frame, double& Value) noexcept {
  return GatherFrame(Code.FrameInputs.data(), Code.FrameInputs.size(), Frame) &&
         RunDoubleProgram(*Code.Fast, Frame, Value);
}

#if QV_HAVE_NATIVE
const NativeProgram* MakeMachineCode(const Program& Code) noexcept {
  return NativeProgram::Compile(*Code.Fast, Code.FrameInputs.data()).release();
}

NativeSlot::~NativeSlot() { delete Made(); }
#else
const NativeProgram* MakeMachineCode(const Program&) noexcept { return nullptr; }

NativeSlot::~NativeSlot() = default;  // nothing is ever made
#endif

}  // namespace qv
