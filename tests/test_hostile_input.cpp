// Hostile input: texts, definitions and calls at and past every limit of the engine and the
// control. Each must give its documented result or a clear recorded error; none may crash, hang,
// read or write outside memory or take unbounded memory (the sanitizer build checks the last
// three). Regression tests for failures the fuzzers found are marked "Fuzzer finding".
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/qvCalc.h"
#include "engine/CompiledExpression.h"
#include "engine/eval/Machine.h"
#include "engine/qvExpression.h"
#include "fuzz/EngineChecks.h"  // Evaluated: one evaluation by either path

using namespace qv;  // the engine's internals under test

namespace {

constexpr size_t kOneMegabyte = size_t(1) << 20;

std::u16string Repeat(std::u16string_view piece, size_t times) {
  std::u16string text;
  text.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) text.append(piece);
  return text;
}

// A comma-separated list of the names or numbers First..Last, each written as Prefix + number.
std::u16string List(std::u16string_view prefix, int first, int last) {
  std::u16string list;
  for (int i = first; i <= last; ++i) {
    if (i > first) list += u", ";
    list.append(prefix);
    for (char c : std::to_string(i)) list.push_back(char16_t(c));
  }
  return list;
}

int16_t Compile(qvExpression& engine, std::u16string text) {
  int16_t index = 0;
  engine.Compile(text, index);
  return index;
}

Variant Eval(qvExpression& engine, const std::u16string& text) {
  int32_t index = Compile(engine, text);
  return engine.Value(index);
}

// The value of Text in a fresh engine: the reference the hostile forms are compared with.
Variant Reference(const std::u16string& text) {
  qvExpression engine;
  return Eval(engine, text);
}

bool Contains(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

void Define(qvExpression& engine, std::u16string definition) { engine.UserFunc(definition); }
void DefineArray(qvExpression& engine, std::u16string definition) { engine.DefineArray(definition); }

// After a hostile step the engine must still work: clearing the error lets a plain expression
// compile and evaluate to its value.
void ExpectUsable(qvExpression& engine) {
  engine.ClearError();
  EXPECT_EQ(Eval(engine, u"6 * 7").asDouble(), Reference(u"6 * 7").asDouble());
  EXPECT_EQ(engine.ErrorCode(), 0) << ToNarrow(engine.ErrorDescription());
}

// A value the engine returns is empty, text, or a finite number: never an infinity or NaN.
void ExpectSane(const Variant& value) {
  EXPECT_TRUE(!value.isDouble() || std::isfinite(value.asDouble())) << value.asDouble();
}

}  // namespace

TEST(HostileInput, OneMegabyteExpressionTexts) {
  qvExpression engine;
  // Blanks are skipped however many there are.
  EXPECT_EQ(Eval(engine, Repeat(u" ", kOneMegabyte) + u"1").asDouble(), 1);
  EXPECT_EQ(engine.ErrorCode(), 0);

  // A string literal and a name of a megabyte each are kept whole.
  EXPECT_EQ(Eval(engine, u"LEN(\"" + Repeat(u"x", kOneMegabyte) + u"\")").asDouble(), double(kOneMegabyte));
  const std::u16string longName = Repeat(u"N", kOneMegabyte);
  Eval(engine, longName + u" + 1");
  EXPECT_EQ(engine.ErrorCode(), 0);
  EXPECT_EQ(engine.VariableName(Variant(engine.NumVariables())), longName);

  // Half a million terms overflow the instruction capacity: one clear error. Each instruction past
  // 300 is reported under AppendToCompiled; when each report cost a thrown exception this line
  // took about a second in a release build and about a minute under AddressSanitizer.
  Compile(engine, Repeat(u"1+", kOneMegabyte / 2) + u"1");
  EXPECT_EQ(engine.ErrorCode(), 11);
  EXPECT_TRUE(Contains(engine.ErrorDescription(), u"AppendToCompiled"));
  int32_t last = -1;
  EXPECT_TRUE(engine.Value(last).isEmpty());

  // A megabyte of brackets stops at the operator stack's limit.
  Compile(engine, Repeat(u"(", kOneMegabyte));
  EXPECT_EQ(engine.ErrorCode(), 11);
  EXPECT_TRUE(Contains(engine.ErrorDescription(), u"CompileExpression"));

  // A syntax error at the end of a megabyte: the position is past what 16 bits hold. The engine
  // keeps it; the control's 16-bit ErrorPos reports the overflow through ErrorMsg and gives 0.
  std::u16string text = Repeat(u" ", kOneMegabyte) + u"1+";
  Compile(engine, text);
  EXPECT_EQ(engine.ErrorCode(), 1);
  EXPECT_EQ(engine.ErrorPos(), int32_t(text.size()) + 1);
  qvCalc calc;
  std::vector<std::u16string> events;
  calc.Advise([&](std::u16string& source, std::u16string&) { events.push_back(source); });
  calc.Compile(text);
  EXPECT_EQ(calc.ErrorCode(), 1);
  EXPECT_EQ(calc.ErrorPos(), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], u"Error 6 has occured in QvCalc.ocx, ErrorPos");
  ExpectUsable(engine);
}

// The operator stack holds 40 entries, the start marker included: 39 brackets fit, 40 do not.
// A function call takes two entries (the function and its bracket), a unary minus one.
TEST(HostileInput, NestingAtAndPastTheStackLimits) {
  qvExpression engine;
  EXPECT_EQ(Eval(engine, Repeat(u"(", 39) + u"7" + Repeat(u")", 39)).asDouble(), 7);
  EXPECT_EQ(engine.ErrorCode(), 0);
  Compile(engine, Repeat(u"(", 40) + u"7" + Repeat(u")", 40));
  EXPECT_EQ(engine.ErrorCode(), 11);
  EXPECT_TRUE(Contains(engine.ErrorDescription(), u"CompileExpression"));
  EXPECT_EQ(engine.ErrorPos(), 40);  // the bracket that did not fit

  EXPECT_EQ(Eval(engine, Repeat(u"ABS(", 19) + u"-3" + Repeat(u")", 19)).asDouble(), 3);
  EXPECT_EQ(engine.ErrorCode(), 0);
  Compile(engine, Repeat(u"ABS(", 20) + u"-3" + Repeat(u")", 20));
  EXPECT_EQ(engine.ErrorCode(), 11);

  EXPECT_EQ(Eval(engine, Repeat(u"-(", 19) + u"X" + Repeat(u")", 19)).asDouble(), 0);
  EXPECT_EQ(engine.ErrorCode(), 0);
  Compile(engine, Repeat(u"-(", 20) + u"X" + Repeat(u")", 20));
  EXPECT_EQ(engine.ErrorCode(), 11);

  // Closing more than was opened, and "," at depth, are syntax and argument errors, not crashes.
  Compile(engine, u"1" + Repeat(u")", 100));
  EXPECT_EQ(engine.ErrorCode(), 1);
  Compile(engine, Repeat(u"(", 39) + u"1,2" + Repeat(u")", 39));
  EXPECT_EQ(engine.ErrorCode(), 5);
  ExpectUsable(engine);
}

// The evaluator's operand stack has 40 slots. Code the compiler accepts can still need more:
// every argument but the last of a pending call waits on the stack, and nesting calls of many
// arguments costs only two operator entries a level. Reads beyond slot 40 fail under the
// continue-on-failure rule; nothing may be read or written outside the stack.
TEST(HostileInput, EvaluationStackPastFortySlots) {
  qvExpression engine;
  Define(engine, u"Wide(" + List(u"P", 1, 20) + u") = P1 + P20");
  ASSERT_EQ(engine.ErrorCode(), 0);
  std::u16string call = u"1";
  for (int level = 0; level < 4; ++level) call = u"Wide(" + List(u"", 1, 19) + u", " + call + u")";
  ExpectSane(Eval(engine, call));

  DefineArray(engine, u"Q(1, 1, 1, 1)");
  std::u16string index = u"1";
  for (int level = 0; level < 18; ++level) index = u"Q(1, 1, 1, " + index + u")";
  ExpectSane(Eval(engine, index));

  std::u16string choice = u"1";
  for (int level = 0; level < 19; ++level) choice = u"IIF(1, 2, " + choice + u")";
  EXPECT_EQ(Eval(engine, choice).asDouble(), Reference(u"2").asDouble());
  ExpectUsable(engine);
}

// One expression holds at most 300 instructions.
TEST(HostileInput, ThreeHundredAndThreeHundredAndOneInstructions) {
  qvExpression engine;
  const std::u16string sum = Repeat(u"1+", 149) + u"1";  // 150 loads and 149 additions
  int16_t index = Compile(engine, u"NOT " + sum);
  ASSERT_EQ(engine.ErrorCode(), 0);
  EXPECT_EQ(engine.Expression(index)->Count, kMaxInstructions);
  int32_t run = index;
  EXPECT_EQ(engine.Value(run).asDouble(), Reference(u"NOT 150").asDouble());

  Compile(engine, u"NOT NOT " + sum);
  EXPECT_EQ(engine.ErrorCode(), 11);
  EXPECT_TRUE(Contains(engine.ErrorDescription(), u"AppendToCompiled"));
  int32_t last = -1;
  EXPECT_TRUE(engine.Value(last).isEmpty());
  EXPECT_EQ(engine.RPNExpression(), u"");
  ExpectUsable(engine);
}

// Expression indices are 16 bits: 32767 expressions fit, the next Compile reports an overflow
// and the table keeps what it had.
TEST(HostileInput, ThirtyTwoThousandCompiledExpressions) {
  qvExpression engine;
  for (int i = 1; i <= 32767; ++i) {
    ASSERT_EQ(Compile(engine, u"X + 1"), i);
  }
  EXPECT_EQ(engine.NumExpressions(), 32768);
  EXPECT_EQ(engine.ErrorCode(), 0);

  std::u16string text = u"2 * 3";
  int16_t index = 0;
  engine.Compile(text, index);
  EXPECT_EQ(engine.ErrorCode(), 11);
  EXPECT_TRUE(Contains(engine.ErrorDescription(), u"Compile"));
  EXPECT_EQ(engine.NumExpressions(), 32768);

  engine.ClearError();
  int32_t highest = 32767;
  EXPECT_EQ(engine.Value(highest).asDouble(), 1);
  index = 32767;
  engine.Compile(text, index);  // recompiling in place still works
  EXPECT_EQ(engine.Value(highest).asDouble(), 6);
  engine.ResetCompiledExpressions();
  EXPECT_EQ(Compile(engine, u"1"), 1);

  // Through the control the 32768th Compile is the engine's recorded error, not an event.
  qvCalc calc;
  int events = 0;
  calc.Advise([&](std::u16string&, std::u16string&) { ++events; });
  for (int i = 1; i <= 32768; ++i) calc.Compile(text);
  EXPECT_EQ(calc.ErrorCode(), 11);
  EXPECT_EQ(calc.NumExpressions().asWhole(), 32768);
  EXPECT_EQ(events, 0);
  calc.ClearError();
  EXPECT_EQ(calc.Value(), 6);
}

TEST(HostileInput, TwentyOneUserFunctions) {
  qvExpression engine;
  for (int k = 1; k <= 20; ++k) {
    Define(engine, u"F" + List(u"", k, k) + u"(X) = X * " + List(u"", k, k));
    ASSERT_EQ(engine.ErrorCode(), 0) << k;
  }
  Define(engine, u"F21(X) = X");
  EXPECT_EQ(engine.ErrorCode(), 8);
  EXPECT_EQ(engine.ErrorDescription(), u"Too Many User Functions");
  EXPECT_EQ(engine.NumUserFuncs(), 20);
  engine.ClearError();
  EXPECT_EQ(Eval(engine, u"F20(2) + F1(3)").asDouble(), Reference(u"2 * 20 + 3 * 1").asDouble());
  Compile(engine, u"F21(1)");
  EXPECT_EQ(engine.ErrorCode(), 2);
  ExpectUsable(engine);
}

// A definition reads at most 20 parameters; a 21st leaves no "=" where one must be.
TEST(HostileInput, TwentyAndTwentyOneParameters) {
  qvExpression engine;
  std::u16string body;
  for (int i = 1; i <= 20; ++i) body += (i > 1 ? u" + A" : u"A") + List(u"", i, i);
  Define(engine, u"Sum(" + List(u"A", 1, 20) + u") = " + body);
  ASSERT_EQ(engine.ErrorCode(), 0);
  EXPECT_EQ(engine.OpcodeArgs(56), 20);
  EXPECT_EQ(Eval(engine, u"Sum(" + List(u"", 1, 20) + u")").asDouble(),
            Reference(u"(1 + 20) * 10").asDouble());

  Define(engine, u"Over(" + List(u"A", 1, 21) + u") = A1");
  EXPECT_EQ(engine.ErrorCode(), 9);
  EXPECT_EQ(engine.ErrorDescription(), u"Invalid User Function Definition: Over");
  EXPECT_EQ(engine.NumUserFuncs(), 1);
  ExpectUsable(engine);
}

// Duplicate, numeric and empty parameter names leave fewer parameter variables than arguments;
// a call with all its arguments must bind only the variables that exist.
TEST(HostileInput, ParametersThatAreNotDistinctNames) {
  qvExpression engine;
  Define(engine, u"Dup(X, X, X) = X * 10");
  Define(engine, u"Num(1, 2, Y) = Y");
  Define(engine, u"Blank() = 5");
  Define(engine, u"Mixed(X, 1, x, 25, Z) = X + Z");
  ASSERT_EQ(engine.NumUserFuncs(), 4);
  ASSERT_EQ(engine.ErrorCode(), 0) << ToNarrow(engine.ErrorDescription());
  for (const char16_t* call : {u"Dup(1, 2, 3)", u"Num(7, 8, 9)", u"Blank(4)", u"Mixed(1, 2, 3, 4, 5)"}) {
    Variant value = Eval(engine, call);
    ExpectSane(value);
    EXPECT_EQ(engine.ErrorCode(), 0) << ToNarrow(call) << ": " << ToNarrow(engine.ErrorDescription());
  }
  EXPECT_EQ(engine.NumVariables(), 0);  // nothing leaked into the calling engine's store
  ExpectUsable(engine);
}

// Negative bounds, zero dimensions, storage no machine has, and arrays whose shape changes under
// compiled code: every access stays inside the storage that exists.
TEST(HostileInput, ArraysWithImpossibleShapes) {
  qvExpression engine;
  DefineArray(engine, u"Neg(-5, 2)");
  ASSERT_EQ(engine.ArraysCount(), 1);
  ExpectSane(Eval(engine, u"Neg(0, 0) + Neg(-3, 1)"));
  engine.ClearError();
  engine.ArrayValue(1, Variant(1.0), 0, 0);
  EXPECT_EQ(engine.GetArrayValue(1, 0, 0).asDouble(), 0);
  engine.ClearError();

  // Four bounds of 32767 ask for 2^60 elements: refused, and every element access misses.
  DefineArray(engine, u"Huge(32767, 32767, 32767, 32767)");
  int16_t slot = engine.ArraysCount();
  ExpectSane(Eval(engine, u"Huge(32767, 32767, 32767, 32767) + Huge(1, 2, 3, 4)"));
  engine.ArrayValue(slot, Variant(2.0), 32767, 32767, 32767, 32767);
  EXPECT_EQ(engine.GetArrayValue(slot, 32767, 32767, 32767, 32767).asDouble(), 0);
  engine.ClearError();

  // Zero dimensions, and blocks whose bounds and values disagree.
  qvArrayValues block{{0}, {3}, {1, 2, 3, 4}};
  engine.SetArrayValues(Variant(u"Z"), 1, block);
  int16_t z = engine.ArraysCount();
  int16_t index = Compile(engine, u"Z(2) + 1");
  ASSERT_EQ(engine.ErrorCode(), 0);
  engine.SetArrayValues(Variant(u"Z"), 0, qvArrayValues{});
  int32_t run = index;
  ExpectSane(engine.Value(run));
  EXPECT_EQ(engine.GetArrayValue(z, 0).asDouble(), 0);
  engine.SetArrayValues(Variant(u"Z"), 3, qvArrayValues{{5}, {9}, {1}});
  ExpectSane(engine.Value(run));
  engine.SetArrayValues(Variant(u"Z"), 2, qvArrayValues{{0, 0}, {100, 100}, {1, 2}});
  ExpectSane(engine.Value(run));
  EXPECT_EQ(engine.GetArrayValue(z, 100, 100).asDouble(), 0);
  engine.ArrayValue(z, Variant(9.0), 100, 100);
  engine.SetArrayValues(Variant(u"Z"), 5, block);
  EXPECT_EQ(engine.ErrorCode(), 10);
  engine.ClearError();

  // The shape changes under compiled code: four indices read by a one-dimensional array, one
  // index read by a four-dimensional one.
  DefineArray(engine, u"M(2, 2, 2, 2)");
  int32_t four = Compile(engine, u"M(1, 1, 1, 1) + 5");
  DefineArray(engine, u"M(3)");
  ExpectSane(engine.Value(four));
  int32_t one = Compile(engine, u"M(1) + 5");
  DefineArray(engine, u"M(2, 2, 2, 2)");
  ExpectSane(engine.Value(one));
  engine.ResetVariables();
  ExpectSane(engine.Value(one));  // compiled code names a slot that no longer exists
  ExpectUsable(engine);
}

// Regression (found by this suite under UBSan): an array that gains dimensions after an
// expression indexing it was compiled makes the reference pop more values than the operand stack
// holds; the next load then pushed into the slot before the first one (Machine::Push stored at
// a count below 1).
TEST(HostileInput, RegressionPushAfterPoppingBelowAnEmptyStack) {
  qvExpression engine;
  DefineArray(engine, u"M(3)");
  int32_t index = Compile(engine, u"M(1) + 5");
  DefineArray(engine, u"M(2, 2, 2, 2)");
  ExpectSane(engine.Value(index));
  ExpectUsable(engine);
}

// Counts in the billions: a whole-number reading beyond 32 bits fails the step, a count within
// 32 bits but beyond the longest text fails it too; neither allocates the text.
TEST(HostileInput, TextCountsInTheBillions) {
  qvExpression engine;
  for (const char16_t* text : {u"LEN(SPACE(2000000000))", u"LEN(SPACE(3.0E9))", u"LEN(STRING(2147483647, 65))",
                               u"LEN(STRING(1.0E10, \"x\"))", u"LEN(LEFT(\"abc\", 3.0E9))",
                               u"LEN(MID(\"abc\", 2, 2000000000))", u"INSTR(3.0E9, \"abc\", \"b\")"}) {
    Variant value = Eval(engine, text);
    EXPECT_NE(engine.ErrorCode(), 11) << ToNarrow(engine.ErrorDescription());
    ExpectSane(value);
    EXPECT_NE(value.asDouble(), 2000000000) << ToNarrow(text);
    engine.ClearError();
  }
  // Doubling a text by "&" stops at the longest text the evaluator builds.
  std::u16string doubling = u"SPACE(" + List(u"", int(kMaxTextLength / 2), int(kMaxTextLength / 2)) + u")";
  Variant twice = Eval(engine, u"LEN(" + doubling + u" & " + doubling + u" & \"x\")");
  EXPECT_LE(twice.asDouble(), double(kMaxTextLength));
  ExpectUsable(engine);
}

// Regression (found by this suite): INSTR searched in time proportional to the product of the two
// lengths, so one short expression on texts of a few million characters ran for hours (a
// million characters and half a million took minutes). The search must take time proportional
// to their sum.
TEST(HostileInput, RegressionInstrSearchesInLinearTime) {
  qvExpression engine;
  Variant found = Eval(engine, u"INSTR(1, STRING(1000000, \"a\"), STRING(500000, \"a\") & \"b\")");
  EXPECT_EQ(engine.ErrorCode(), 0);
  EXPECT_EQ(found.asDouble(), 0);
  found = Eval(engine, u"INSTR(1, STRING(1000000, \"a\") & \"b\", STRING(500000, \"a\") & \"b\")");
  EXPECT_EQ(found.asDouble(), 500001);
}

// FACT takes 0 to 169, "^" a whole exponent up to 100 for a negative base; beyond a double's
// range every result fails instead of becoming an infinity.
TEST(HostileInput, FactorialAndPowerAtAndPastTheirLimits) {
  qvExpression engine;
  Variant top = Eval(engine, u"FACT(169)");
  EXPECT_EQ(engine.ErrorCode(), 0);
  EXPECT_TRUE(std::isfinite(top.asDouble()) && top.asDouble() > 1e304);
  for (const char16_t* text : {u"FACT(170)", u"FACT(169.4)", u"FACT(-0.1)", u"FACT(1.0E300)", u"(-2) ^ 101"}) {
    ExpectSane(Eval(engine, text));
    EXPECT_EQ(engine.ErrorCode(), 6) << ToNarrow(text);
    engine.ClearError();
  }
  EXPECT_EQ(Eval(engine, u"(-2) ^ 100").asDouble(), std::pow(2.0, 100));
  for (const char16_t* text : {u"10 ^ 309", u"2 ^ 1024", u"0 ^ -1", u"1.0E308 * 10", u"-1.0E308 - 1.0E308",
                               u"1 / 1.0E-308 / 1.0E-308", u"EXP(710)", u"SINH(710)", u"COSH(-710)", u"TANH(1000)",
                               u"NCR(169, 1) * FACT(169)", u"(1.0E200 * 1.0E200) ^ 2", u"NPR(1.0E10, 2)"}) {
    ExpectSane(Eval(engine, text));
    EXPECT_NE(engine.ErrorCode(), 11) << ToNarrow(text) << ": " << ToNarrow(engine.ErrorDescription());
    engine.ClearError();
  }
  ExpectUsable(engine);
}

// Characters above 255 are never name characters; inside string literals every 16-bit
// character is kept, NUL and lone surrogates included.
TEST(HostileInput, CharactersAbove255) {
  qvExpression engine;
  Compile(engine, u"X\u03B1");
  EXPECT_EQ(engine.ErrorCode(), 4);
  EXPECT_EQ(engine.ErrorPos(), 2);
  Compile(engine, u"\u0100");
  EXPECT_EQ(engine.ErrorCode(), 1);

  const std::u16string odd{u'"', u'\u0100', char16_t(0xD800), u'\0', char16_t(0xFFFF), u'"'};
  EXPECT_EQ(Eval(engine, u"LEN(" + odd + u")").asDouble(), 4);
  EXPECT_EQ(engine.ErrorCode(), 0);
  Variant text = Eval(engine, odd + u" & " + odd);
  EXPECT_EQ(text.asText().size(), 8u);
  EXPECT_EQ(Eval(engine, u"STRING(3, 321) = \"AAA\"").asDouble(), Reference(u"1 = 1").asDouble());
  ExpectSane(Eval(engine, u"ASC(\"\u0100\") + ASC(\"\uFFFF\")"));
  ExpectSane(Eval(engine, odd + u" = " + u"\"\u0101\""));
  std::u16string listed = engine.RPNExpression();
  EXPECT_TRUE(Contains(listed, u"\u0101"));

  // A NUL outside a string ends the expression.
  std::u16string cut = u"1 + 2";
  cut.push_back(u'\0');
  cut += u" garbage (((";
  EXPECT_EQ(Eval(engine, cut).asDouble(), 3);
  ExpectUsable(engine);
}

// Variables a host sets directly through BindVariable may hold anything: infinities, NaN, texts,
// whole numbers of either width. The all-double program of an expression must then give exactly
// what the general loop gives, value, kind and recorded failure alike (it declines to run
// rather than differ). The general loop runs by taking the program away from the record.
TEST(HostileInput, AllDoubleProgramAgreesWithTheGeneralLoopOnHostileVariables) {
  const std::vector<Variant> values{Variant(std::nan("")), Variant(HUGE_VAL), Variant(-HUGE_VAL), Variant(-0.0),
                                    Variant(1e308), Variant(4.9e-324), Variant(u"5"), Variant(u" 2.5E1 "),
                                    Variant(u"abc"), Variant(), Variant(int16_t(-32768)), Variant(int32_t(INT32_MAX))};
  const std::vector<std::u16string> texts{u"X * 2 + 1", u"X / Y", u"X ^ Y", u"SQR(X) + LN(Y)", u"MAX(X, Y) - MIN(Y, X)",
                                          u"IIF(X > Y, X, Y)", u"X = Y", u"NOT X AND Y", u"FACT(X)", u"ACOS(X) + ATANH(Y)",
                                          u"SGN(X) * -Y", u"X - X", u"(X + 0.5) * (Y - 0.5)"};
  for (const Variant& x : values) {
    for (const Variant& y : values) {
      qvExpression engine;
      engine.SetNativeAfter(0);
      engine.BindVariable(u"X")->Value = x;
      engine.BindVariable(u"Y")->Value = y;
      for (const std::u16string& text : texts) {
        int16_t index = Compile(engine, text);
        const fuzz::Outcome fast = fuzz::Evaluated(engine, index, qvTier::Native);
        const fuzz::Outcome general = fuzz::Evaluated(engine, index, qvTier::General);
        EXPECT_TRUE(fuzz::SameOutcome(fast, general))
            << ToNarrow(text) << " with X = " << ToNarrow(x.toText()) << ", Y = " << ToNarrow(y.toText()) << ": "
            << ToNarrow(fast.Value.toText()) << " / " << ToNarrow(general.Value.toText()) << ", "
            << ToNarrow(fast.Description) << " / " << ToNarrow(general.Description);
      }
    }
  }
}

namespace {

// Every public operation with ordinary and hostile arguments; read-only ones must not change
// the error state. Leaves the engine with whatever the mutating ones did.
void UseEveryOperation(qvExpression& engine) {
  const int32_t code = engine.ErrorCode();
  const std::u16string description = engine.ErrorDescription();
  engine.NumUserFuncs();
  engine.ArraysCount();
  EXPECT_TRUE(engine.CreateVariables());
  engine.ErrorPos();
  engine.ErrorSource();
  EXPECT_EQ(engine.ExpressionText(Variant(int32_t(-1))), u"");
  EXPECT_EQ(engine.VariableName(Variant(int32_t(0))), u"");
  EXPECT_EQ(engine.UserFuncText(Variant(int32_t(21))), u"");
  EXPECT_EQ(engine.UserFuncText(Variant()), u"");
  EXPECT_EQ(engine.ArrayName(Variant(int32_t(-5))), u"");
  EXPECT_EQ(engine.GetArrayValue(32767, 0).asDouble(), 0);
  engine.ArrayValue(-1, Variant(1.0), 0);
  int16_t slot = 7, dims = 7;
  std::vector<int16_t> bounds{1};
  engine.GetArrayDetails(u"NoSuchArray", slot, dims, bounds);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(dims, 7);
  EXPECT_EQ(engine.OpcodeName(-1), u"");
  EXPECT_EQ(engine.OpcodeName(kOpcodeCount), u"");
  EXPECT_EQ(engine.OpcodePriority(-32768), 0);
  EXPECT_EQ(engine.OpcodeArgs(32767), 0);
  EXPECT_EQ(engine.Expression(-1), nullptr);
  EXPECT_EQ(engine.Expression(engine.NumExpressions() + 1), nullptr);
  EXPECT_EQ(engine.BindVariable(u"12.5"), nullptr);
  engine.NumVariables();
  engine.VariablesCount();
  engine.NumExpressions();
  EXPECT_EQ(engine.ErrorCode(), code);
  EXPECT_EQ(engine.ErrorDescription(), description);

  // Evaluation and listing are refused while an error is recorded.
  int32_t last = -1;
  Variant value = engine.Value(last);
  ExpectSane(value);
  if (code != 0) {
    EXPECT_TRUE(value.isEmpty());
  }
  try {
    std::u16string listing = engine.RPNExpression();
    if (code != 0) {
      EXPECT_EQ(listing, u"");
    }
  } catch (const qvRuntimeError&) {
    // array code has no name in the opcode table: the listing fails by design
  }
  EXPECT_EQ(engine.ErrorCode(), code);

  // The mutating ones.
  double x = 1.5;
  engine.Variable(Variant(u"Hx"), x);
  engine.Variable(Variant(u""), x);
  EXPECT_EQ(engine.VariableValue(Variant(u"hX")), 1.5);
  engine.VariableValue(Variant(u"NeverSet"));
  engine.VariableName(Variant(u"not a number"));
  EXPECT_EQ(engine.ExpressionText(Variant(1e300)), u"");  // a huge index names nothing
  DefineArray(engine, u"HArr(2)");
  engine.SetArrayValues(Variant(u"HSet"), 1, qvArrayValues{{0}, {1}, {4, 5}});
  Define(engine, u"HFun(A) = A + 1");
  engine.ReservedName(u"SIN", u"prefix");
  engine.ResetCompiledExpressions();
  engine.SeedRandom(0);
  std::shared_ptr<qvVariable> bound = engine.BindVariable(u"HBound");
  ASSERT_NE(bound, nullptr);
  bound->Value = Variant(2.0);
  ExpectUsable(engine);
  EXPECT_EQ(Eval(engine, u"HBound + HArr(1) + HSet(1)").asDouble(), 7);
  engine.ResetUserFuncs();
  engine.ResetVariables();
  engine.Reset();
  EXPECT_EQ(engine.NumExpressions(), 0);
  ExpectUsable(engine);
}

struct ErrorMaker {
  const char* name;
  int32_t code;
  std::function<void(qvExpression&)> make;
};

std::vector<ErrorMaker> EveryKindOfError() {
  auto compile = [](const char16_t* text) { return [text](qvExpression& e) { Compile(e, text); }; };
  auto evaluate = [](const char16_t* text) { return [text](qvExpression& e) { Eval(e, text); }; };
  auto define = [](const char16_t* text) { return [text](qvExpression& e) { Define(e, text); }; };
  return {
      {"syntax", 1, compile(u"(1 + 2")},
      {"unknown function", 2, compile(u"FOO(1)")},
      {"unknown operator", 4, compile(u"2 3")},
      {"argument count", 5, compile(u"MIN(1)")},
      {"array bounds", 5, [](qvExpression& e) { DefineArray(e, u"B(2)"); Eval(e, u"B(9)"); }},
      {"domain", 6, evaluate(u"LN(-1)")},
      {"too many functions", 8,
       [](qvExpression& e) {
         for (int k = 1; k <= 21; ++k) Define(e, u"G" + List(u"", k, k) + u"(X) = X");
       }},
      {"invalid definition", 9, define(u"F X = 1")},
      {"reserved name", 10, define(u"Sin(X) = X")},
      {"dimensions", 10, [](qvExpression& e) { e.SetArrayValues(Variant(u"D"), 9, qvArrayValues{}); }},
      {"internal failure", 11, compile(u"2147483648")},
      {"unknown variable", 11, [](qvExpression& e) { e.VariableValue(Variant(u"Nobody")); }},
      {"array definition", 12, [](qvExpression& e) { DefineArray(e, u"V 3"); }},
      {"body", 1, define(u"H(X) = X +")},
  };
}

}  // namespace

TEST(HostileInput, EveryOperationOnAFreshEngineAfterResetAndAfterEveryError) {
  {
    qvExpression fresh;
    UseEveryOperation(fresh);
  }
  {
    qvExpression engine;
    Define(engine, u"F(X) = X");
    DefineArray(engine, u"A(3)");
    Compile(engine, u"A(1) + F(2) + Q");
    engine.Reset();
    UseEveryOperation(engine);
  }
  for (const ErrorMaker& maker : EveryKindOfError()) {
    SCOPED_TRACE(maker.name);
    qvExpression engine;
    Compile(engine, u"1 + 1");
    maker.make(engine);
    ASSERT_EQ(engine.ErrorCode(), maker.code) << ToNarrow(engine.ErrorDescription());
    EXPECT_FALSE(engine.ErrorDescription().empty());
    UseEveryOperation(engine);
  }
}

namespace {

// Every member of the control; only ErrorMsg may come out of them, never an exception.
void UseEveryMember(qvCalc& calc) {
  Variant index(int32_t(-3)), text(u"x");
  std::u16string name = u"Cx", func = u"Cf(A) = A * 2", expr = u"Cf(Cx) + 1";
  double value = 4;
  EXPECT_TRUE(calc.All_Math_Functions().isEmpty());
  calc.NumUserFuncs();
  calc.UserFunc(index);
  calc.UserFunc(text);
  calc.NumExpressions();
  calc.Expression(index);
  calc.NumVariables();
  calc.VariableName(text);
  calc.ErrorCode();
  calc.ErrorDescription();
  calc.ErrorSource();
  calc.ErrorPos();
  int32_t negative = -9;
  calc.Value(negative);
  calc.ClearError();
  calc.Variable(name, value);
  calc.DefineUserFunc(func);
  calc.Compile(expr);
  EXPECT_EQ(calc.Value(), 9);
  EXPECT_EQ(calc.Variable(name), 4);
  calc.SetSize(-1, 1 << 30);
  EXPECT_EQ(calc.Width(), 600);
  calc.Reset();
  EXPECT_EQ(calc.NumExpressions().asWhole(), 0);
}

}  // namespace

TEST(HostileInput, EveryControlMemberOnAFreshControlAndAfterFailures) {
  qvCalc calc;
  int events = 0;
  calc.Advise([&](std::u16string&, std::u16string&) { ++events; });
  UseEveryMember(calc);
  EXPECT_EQ(events, 0);

  std::u16string text = u"\"not a number\"";
  calc.Compile(text);
  EXPECT_EQ(calc.Value(), 0);
  EXPECT_EQ(events, 1);
  UseEveryMember(calc);

  // A sink that resets the control from inside the event it receives.
  int cookie = calc.Advise([&](std::u16string&, std::u16string&) { calc.Reset(); });
  calc.Compile(text);
  EXPECT_EQ(calc.Value(), 0);
  EXPECT_EQ(calc.NumExpressions().asWhole(), 0);
  calc.Unadvise(cookie);
  UseEveryMember(calc);
}

// ErrorMsg sinks are host code and may do anything inside the event: call the member that raised
// it again, throw, connect or disconnect sinks. The event stays bounded and nothing escapes the
// member; the control stays usable.
TEST(HostileInput, ErrorMsgSinksThatReenterTheControl) {
  qvCalc calc;
  std::u16string text = u"\"not a number\"";
  calc.Compile(text);
  int reentered = 0, thrown = 0, added = 0;
  int again = calc.Advise([&](std::u16string&, std::u16string&) {
    ++reentered;
    calc.Value();  // raises the same event again, inside this one
  });
  EXPECT_EQ(calc.Value(), 0);
  EXPECT_GT(reentered, 0);
  EXPECT_LT(reentered, 100);  // the nesting is bounded
  calc.Unadvise(again);

  int throwing = calc.Advise([&](std::u16string&, std::u16string&) {
    ++thrown;
    throw std::runtime_error("a failing sink");
  });
  int self = 0;
  self = calc.Advise([&](std::u16string&, std::u16string&) {
    calc.Unadvise(self);
    calc.Advise([&](std::u16string&, std::u16string&) { ++added; });
  });
  EXPECT_NO_THROW(EXPECT_EQ(calc.Value(), 0));
  EXPECT_GT(thrown, 0);
  EXPECT_LT(thrown, 100);
  calc.Unadvise(throwing);
  EXPECT_NO_THROW(calc.Value());
  EXPECT_GT(added, 0);

  std::u16string number = u"6 * 7";
  calc.Compile(number);
  EXPECT_EQ(calc.Value(), 42);
}
