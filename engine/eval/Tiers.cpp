// The out-of-line part of the tier ladder (engine/eval/Tiers.h).
#include "engine/eval/Tiers.h"

namespace qv {

#if QV_HAVE_NATIVE
bool GatherAndRun(const Program& Code, double* Frame, double& Value) noexcept {
  return GatherFrame(Code.FrameInputs.data(), Code.FrameInputs.size(), Frame) &&
         RunDoubleProgram(*Code.Fast, Frame, Value);
}
#endif

}  // namespace qv
