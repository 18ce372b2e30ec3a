// The evaluator machine: which expression runs, when it is refused, the 40-slot stack, continue
// on failure, array element references and user-function calls.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/qvExpression.h"
#include "tests/TestAccess.h"
#include "tests/Evaluated.h"
#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {
using K = Variant::Kind;
using Access = qvExpressionTestAccess;


// A record of the given instructions; a Variant operand is a load of that constant.
CompiledExpression Code(std::initializer_list<std::pair<int16_t, Variant>> instructions) {
  CompiledExpression c;
  c.Text = u"hand-built";
  c.Opcodes.push_back(0);
  c.Operands.emplace_back();
  for (const auto& [op, constant] : instructions) {
    c.Opcodes.push_back(op);
    c.Operands.push_back(Operand{constant, nullptr});
  }
  c.Count = int32_t(instructions.size());
  return c;
}

Variant RunCode(qvExpression& e, CompiledExpression c) {
  int32_t index = Access::Store(e, std::move(c));
  return e.Value(index);
}

std::pair<int16_t, Variant> Load(Variant v) { return {OpLoad, v}; }
std::pair<int16_t, Variant> Op(int16_t op) { return {op, Variant()}; }
}  // namespace

TEST(Evaluator, SelectsTheHighestExpressionForZeroOutOfRangeAndNegativeIndices) {
  qvExpression e;
  int32_t index = 0;
  EXPECT_TRUE(e.Value(index).isEmpty());
  EXPECT_EQ(e.ErrorCode(), 0);
  for (std::u16string text : {u"10", u"20", u"30"}) {
    int16_t i = 0;
    e.Compile(text, i);
  }
  index = 2;
  EXPECT_EQ(e.Value(index).asWhole(), 20);
  EXPECT_EQ(e.ErrorSource(), 2);
  EXPECT_EQ(Access::CurrentExpression(e), 2);
  index = 0;
  EXPECT_EQ(e.Value(index).asWhole(), 30);
  EXPECT_EQ(index, 0);
  index = 99;
  EXPECT_EQ(e.Value(index).asWhole(), 30);
  EXPECT_EQ(index, 99);
  index = -5;
  EXPECT_EQ(e.Value(index).asWhole(), 30);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(e.ErrorSource(), 3);
}

TEST(Evaluator, ARecordedFailureRefusesEveryLaterEvaluationUntilCleared) {
  qvExpression e;
  Evaluated(e, u"1");
  ::Outcome o = Evaluated(e, u"2 + LN(-1)");
  EXPECT_EQ(o.code, 6);
  EXPECT_EQ(o.description, u"LN(-1)");
  EXPECT_EQ(o.value.asWhole(), 1);  // the evaluation ran to its end: 2 + (-1)
  int32_t index = 1;
  EXPECT_TRUE(e.Value(index).isEmpty());
  EXPECT_EQ(e.ErrorSource(), 1);  // set also when the evaluation is refused
  e.ClearError();
  EXPECT_EQ(e.Value(index).asWhole(), 1);
  // An empty record text refuses as well.
  CompiledExpression blank = Code({Load(Variant(int32_t(5)))});
  blank.Text.clear();
  EXPECT_TRUE(RunCode(e, blank).isEmpty());
}

TEST(Evaluator, ContinuesAfterFailuresAndTheLastRecordStands) {
  EXPECT_EQ(Evaluated(u"1.5E308 * 10").value.asWhole(), 10);
  ::Outcome o = Evaluated(u"SQR(-4)");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asWhole(), -4);
  o = Evaluated(u"5 MOD 0");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.value.asWhole(), 0);
  o = Evaluated(u"LN(-1) + LOG(-2)");
  EXPECT_EQ(o.description, u"LOG(-2)");
  o = Evaluated(u"7 / 0 + 1");  // nothing popped after the record: 7 + 0 + 1 pairs up as 0 + 1
  EXPECT_EQ(o.description, u"Div by zero");
  EXPECT_EQ(o.value.asWhole(), 1);
  EXPECT_EQ(Evaluated(u"ARRAY(1, 2, 3) + 1").value.asWhole(), 4);
  EXPECT_EQ(Evaluated(u"\"text\"").value.asText(), u"text");
}

TEST(Evaluator, StackBeyondFortySlotsKeepsNothing) {
  qvExpression e;
  // 45 loads and 44 additions: loads 41 to 45 find no slot, so the first five additions fail
  // and the rest add the values 1 to 39 that slots 2 to 40 kept to the last load, 45.
  CompiledExpression c = Code({});
  for (int k = 1; k <= 45; ++k) {
    c.Opcodes.push_back(OpLoad);
    c.Operands.push_back(Operand{Variant(int32_t(k)), nullptr});
  }
  for (int k = 1; k <= 44; ++k) {
    c.Opcodes.push_back(OpAdd);
    c.Operands.emplace_back();
  }
  c.Count = 89;
  EXPECT_EQ(RunCode(e, c).asWhole(), 45 + 39 * 40 / 2);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(Evaluator, ReadsBelowTheStackFailOrCountAsAHeldTest) {
  qvExpression e;
  EXPECT_EQ(RunCode(e, Code({Op(OpAdd), Op(OpAdd), Load(Variant(int32_t(3)))})).asWhole(), 3);
  Variant v = RunCode(e, Code({Op(OpSubtract), Op(OpEqual)}));  // the failed test held
  EXPECT_EQ(v.kind(), K::Int16);
  EXPECT_EQ(v.asWhole(), 1);
  EXPECT_EQ(RunCode(e, Code({Op(OpIif)})).isEmpty(), true);
  EXPECT_EQ(e.ErrorCode(), 0);
  RunCode(e, Code({Op(OpDivide)}));  // an empty divisor: the zero test comes first
  EXPECT_EQ(e.ErrorDescription(), u"Div by zero");
}

TEST(Evaluator, ArrayAndUnknownOpcodesChangeNothing) {
  qvExpression e;
  Variant v = RunCode(e, Code({Load(Variant(int32_t(1))), Load(Variant(int32_t(2))),
                               Op(OpArray), Op(OpAdd), Op(OpStart), Op(99), Op(-7)}));
  EXPECT_EQ(v.asWhole(), 3);
  EXPECT_EQ(e.ErrorCode(), 0);
  // Count beyond the stored instructions runs only those stored.
  CompiledExpression c = Code({Load(Variant(int32_t(8)))});
  c.Count = 50;
  EXPECT_EQ(RunCode(e, c).asWhole(), 8);
}

TEST(Evaluator, ArrayReferencesCheckBoundsAsDoublesThenFetchRounded) {
  qvExpression e;
  std::u16string definition = u"A(10, 20)";
  e.DefineArray(definition);
  ASSERT_EQ(e.ErrorCode(), 0);
  e.ArrayValue(1, Variant(7.5), 2, 4);
  e.ArrayValue(1, Variant(1.25), 0, 0);
  ::Outcome o = Evaluated(e, u"A(2.5, 3.5)");
  EXPECT_EQ(o.value.kind(), K::Double);
  EXPECT_EQ(o.value.asDouble(), 7.5);
  o = Evaluated(e, u"A(3, 25)");
  EXPECT_EQ(o.code, 5);
  EXPECT_EQ(o.description, u"A(10, 20):  Array element 2 is out of bounds, value = 25");
  EXPECT_EQ(o.value.asWhole(), 25);  // outside the storage: the last index stays
  e.ClearError();
  o = Evaluated(e, u"A(-0.4, 0)");
  EXPECT_EQ(o.description, u"A(10, 20):  Array element 1 is out of bounds, value =-0.4");
  EXPECT_EQ(o.value.asDouble(), 1.25);
  e.ClearError();
  o = Evaluated(e, u"A(11, 0) + 100");  // 11 would address element (0, 1) of the storage
  EXPECT_EQ(o.code, 5);
  EXPECT_EQ(o.value.asWhole(), 100);
}

TEST(Evaluator, ArraysWithoutDimensionsOrWithShortStorageReadNothingOutside) {
  qvExpression e;
  ArrayEntry none;
  none.Name = u"N";
  int16_t noDims = Access::StoreArray(e, none);
  EXPECT_EQ(RunCode(e, Code({Load(Variant(int32_t(5))), Op(int16_t(-noDims))})).asWhole(), 5);
  ArrayEntry shortStore;
  shortStore.Name = u"S";
  shortStore.NumDims = 2;
  shortStore.Dims = {0, 3, 3, 0, 0};
  shortStore.Values = {1, 2, 3, 4};
  int16_t slot = Access::StoreArray(e, shortStore);
  Variant v = RunCode(e, Code({Load(Variant(int32_t(1))), Load(Variant(int32_t(0))),
                               Op(int16_t(-slot))}));
  EXPECT_EQ(v.asDouble(), 2);
  v = RunCode(e, Code({Load(Variant(int32_t(3))), Load(Variant(int32_t(3))), Op(int16_t(-slot))}));
  EXPECT_EQ(v.asWhole(), 3);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(Evaluator, UserFunctionsBindArgumentsByPosition) {
  qvExpression e;
  std::u16string f = u"F(X, Y) = X * 10 + Y";
  e.UserFunc(f);
  ASSERT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(Evaluated(e, u"1 + F(3, 4) * 2").value.asWhole(), 69);
  // "a" * 10 fails and keeps 10; 10 + "b" fails too and keeps "b".
  EXPECT_EQ(Evaluated(e, u"F(\"a\", \"b\")").value.asText(), u"b");
  std::u16string twice = u"D(X, X) = X";  // one parameter variable for two arguments
  e.UserFunc(twice);
  EXPECT_EQ(Evaluated(e, u"D(1, 2)").value.asWhole(), 1);
  EXPECT_EQ(Evaluated(u"2 + USER1").value.asWhole(), 2);
}

// One failure inside a body does not break the function: each call starts afresh. Under the
// evaluation trap the caller records nothing; with it off the failure is the caller's, named.
TEST(Evaluator, AUserFunctionRecoversAfterAFailureInItsBody) {
  for (bool trap : {true, false}) {
    qvExpression e;
    e.SetEvaluationTrap(trap);
    std::u16string g = u"G(X) = 1 / X";
    e.UserFunc(g);
    ::Outcome o = Evaluated(e, u"G(0)");
    EXPECT_EQ(o.code, trap ? 0 : 6);
    EXPECT_EQ(o.description, trap ? u"" : u"Div by zero in User Function 'G'");
    EXPECT_TRUE(trap ? o.value.asWhole() == 0 : o.value.isEmpty());
    e.ClearError();
    o = Evaluated(e, u"G(2)");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.value.asDouble(), 0.5);
  }
}

TEST(Evaluator, SubEnginesDrawFromTheCallersGenerator) {
  qvExpression a, b;
  std::u16string r = u"R(X) = RND(X)";
  a.UserFunc(r);
  a.SeedRandom(11);
  b.SeedRandom(11);
  double first = Evaluated(a, u"RND(1)").value.asDouble();
  double second = Evaluated(a, u"R(1)").value.asDouble();
  EXPECT_EQ(first, Evaluated(b, u"RND(1)").value.asDouble());
  EXPECT_EQ(second, Evaluated(b, u"RND(1)").value.asDouble());
  EXPECT_NE(first, second);
}

TEST(Evaluator, ArbitraryCodeNeverLeavesTheStackOrYieldsANonFiniteNumber) {
  qvExpression e;
  std::u16string definition = u"A(2, 3)";
  e.DefineArray(definition);
  std::u16string f = u"F(X, Y) = X ^ Y";
  e.UserFunc(f);
  const Variant pool[] = {Variant(), Variant(int16_t(-32768)), Variant(int32_t(INT32_MIN)),
                          Variant(int32_t(7)), Variant(0.0), Variant(-2.5), Variant(1e308),
                          Variant(u"abc"), Variant(u"-3"), Variant(u"")};
  uint32_t state = 12345;
  auto next = [&state](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  for (int round = 0; round < 3000; ++round) {
    CompiledExpression c = Code({});
    const int count = 1 + int(next(60));
    for (int i = 0; i < count; ++i) {
      const bool load = next(3) == 0;
      c.Opcodes.push_back(load ? int16_t(OpLoad) : int16_t(int(next(90)) - 4));
      c.Operands.push_back(Operand{load ? pool[next(10)] : Variant(), nullptr});
    }
    c.Count = count;
    Variant v = RunCode(e, c);
    if (v.isDouble()) {
      EXPECT_TRUE(std::isfinite(v.asDouble()));
    }
    e.ClearError();
  }
}
