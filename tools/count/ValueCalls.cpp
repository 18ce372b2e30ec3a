// Calls Value on bound variables the way a host's inner loop does (each variable the expression
// reads assigned to its record, then Value), or the plain callable qvFormula on an array of the
// values, for counting the instructions one call costs under callgrind
// (tools/count-value-instructions.sh). The machine code is generated before the calls that are
// counted, so they measure the steady state.
//
// Usage: value-calls CASE CALLS [formula]   (CASE 0 to 3, the expressions listed below)
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "engine/qvExpression.h"

namespace {

struct Case {
  const char16_t* text;
  int variables;  // reads A, B, C, X: the first this many of them
};

constexpr Case kCases[] = {
    {u"A + B * C", 3},
    {u"A * X ^ 3 + B * X ^ 2 + C * X + 1", 4},
    {u"SQR(A * A + B * B) / (1 + C)", 3},
    {u"IIF(A > B, A - B, B - A) * 2", 2},
};

// Kept out of line, so that callgrind counts every call under this one name.
__attribute__((noinline)) double CountedCall(qvExpression& engine, int32_t& index) {
  double result = 0;
  engine.Value(index).toNumber(result);
  return result;
}

__attribute__((noinline)) double CountedFormulaCall(const qvFormula& formula, const double* values) {
  double result = 0;
  formula(values, result);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s CASE CALLS [formula]\n", argv[0]);
    return 2;
  }
  const Case& c = kCases[std::strtoul(argv[1], nullptr, 10) % std::size(kCases)];
  const long calls = std::strtol(argv[2], nullptr, 10);
  qvExpression engine;
  std::shared_ptr<qvVariable> records[4];
  const char16_t* names[] = {u"A", u"B", u"C", u"X"};
  for (int k = 0; k < c.variables; ++k) records[k] = engine.BindVariable(names[k]);
  std::u16string text(c.text);
  int16_t compiled = 1;
  engine.Compile(text, compiled);
  if (engine.ErrorCode() != 0) return 1;
  int32_t index = compiled;
  double sum = 0;
  for (uint32_t k = 0; k <= engine.NativeAfter(); ++k) sum += engine.Value(index).asDouble();
  if (argc == 4) {  // the callable, on the variables in its Inputs' order
    const qvFormula formula = engine.Formula(index);
    double values[4] = {};
    for (long k = 0; k < calls; ++k) {
      for (int v = 0; v < c.variables; ++v) values[v] = 1.5 + double(v) + double(k % 7);
      sum += CountedFormulaCall(formula, values);
    }
  } else {
    for (long k = 0; k < calls; ++k) {
      for (int v = 0; v < c.variables; ++v) records[v]->Value = 1.5 + double(v) + double(k % 7);
      sum += CountedCall(engine, index);
    }
  }
  std::printf("%g\n", sum);
  return 0;
}
