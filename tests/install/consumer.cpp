// Uses the installed C++ library: the control, from its installed headers.
#include <cstdio>
#include <string>

#include "control/qvCalc.h"

int main() {
  qvCalc calc;
  std::u16string name = u"R";
  double radius = 2;
  calc.Variable(name, radius);
  std::u16string expression = u"R * 21";
  calc.Compile(expression);
  const double value = calc.Value();
  std::printf("%g\n", value);
  return value == 42 && calc.ErrorCode() == 0 ? 0 : 1;
}
