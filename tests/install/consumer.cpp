// Uses the installed C++ library: the control with literal and UTF-8 texts, and the engine with a
// bound variable in a loop, from the installed headers.
#include <cstdio>
#include <string>

#include "control/qvCalc.h"

int main() {
  qvCalc calc;
  calc.Variable(u"R", 2);
  const int32_t index = calc.Compile("R * 21");
  const double value = calc.Value(int32_t(index));

  qvExpression engine;
  auto x = engine.BindVariable(u"X");
  engine.Compile(u"X * X");
  double sum = 0;
  for (int i = 1; i <= 3; ++i) {
    x->Value = double(i);
    sum += engine.Value(0).asDouble();
  }
  std::printf("%g %g\n", value, sum);
  return value == 42 && sum == 14 && calc.ErrorCode() == 0 ? 0 : 1;
}
