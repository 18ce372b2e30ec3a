#include "bench/Runners.h"

#include <cstdio>
#include <cstdlib>

QvRunner::QvRunner(const Case& c) {
  Prepare(engine_, c);
  for (char name : c.uses) {
    std::u16string text(1, char16_t(name));
    records_[used_] = engine_.BindVariable(text);
    names_[used_] = Variant(text);
    sources_[used_] = &v[name];
    ++used_;
  }
  CompileCase(engine_, c);
  PushBound();
  // As many evaluations as the engine waits before it generates machine code: what is measured
  // and checked is then the steady state of a host's inner loop.
  for (uint32_t i = 0; i < engine_.NativeAfter(); ++i) Evaluate();
}

MuRunner::MuRunner(const Case& c) {
  for (char name : c.uses) parser_.DefineVar(std::string(1, name), &v[name]);
  parser_.SetExpr(std::string(c.mu));
}

void CompileCase(qvExpression& engine, const Case& c) {
  std::u16string text(c.qv);
  int16_t index = 1;
  engine.Compile(text, index);
  if (engine.ErrorCode() != 0 || index != 1) {
    std::fprintf(stderr, "case %d: qvCalc does not compile it (error %d)\n", c.number, engine.ErrorCode());
    std::abort();
  }
}
