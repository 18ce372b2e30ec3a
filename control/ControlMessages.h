// The control's own texts: the source prefix of the failures it reports, and the member names that
// appear after it. The words around them ("Error ", " has occured in ") are the engine's.
#pragma once

#include <string_view>

namespace qv::msg {
inline constexpr std::u16string_view kControlSourcePrefix = u"QvCalc.ocx, ";
inline constexpr std::u16string_view kErrorTrapName = u"ErrorTrap";
}  // namespace qv::msg
