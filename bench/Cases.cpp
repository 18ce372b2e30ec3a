#include "bench/Cases.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/qvExpression.h"

double& Vars::operator[](char name) noexcept {
  switch (name) {
    case 'a': return a;
    case 'b': return b;
    case 'c': return c;
    case 'x': return x;
    default: return y;
  }
}

void Prepare(qvExpression& engine, const Case& c) {
  if (c.needs == Needs::UserFunction) {
    std::u16string definition = u"HYPOT(P, Q) = SQR(P*P + Q*Q)";
    engine.UserFunc(definition);
  } else if (c.needs == Needs::Array) {
    std::u16string definition = u"T(10)";
    engine.DefineArray(definition);
    int16_t slot = 0, dims = 0;
    std::vector<int16_t> bounds;
    engine.GetArrayDetails(u"T", slot, dims, bounds);
    for (int16_t i = 0; i <= 10; ++i) engine.ArrayValue(slot, Variant(native::TableAt(i)), i);
  }
  if (engine.ErrorCode() != 0) {
    std::fprintf(stderr, "case %d: the definition failed (error %d)\n", c.number, engine.ErrorCode());
    std::abort();
  }
}
