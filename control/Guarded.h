// The failure handler of the control's members, shared by the files that define them: a failure
// escaping a member's body goes to ErrorTrap under "QvCalc.ocx, " and the member's name.
#pragma once

#include <string>
#include <string_view>

#include "control/ControlMessages.h"
#include "control/Failure.h"
#include "control/qvCalc.h"

inline std::u16string ControlSource(std::u16string_view Member) {
  std::u16string source(qv::msg::kControlSourcePrefix);
  return source.append(Member);
}

template <class Body>
void qvCalc::Guarded(std::u16string_view Member, Body&& body) {
  try {
    body();
  } catch (...) {
    ErrorTrap(ControlSource(Member), CaughtFailure());
  }
}
