// The compiler: emitted code, every failure with its code, description and position, the limits.
#include <gtest/gtest.h>

#include <string>

#include "engine/qvExpression.h"
#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {
struct Compiled {
  int32_t code;
  std::u16string description;
  int32_t pos;
  std::u16string listing;
};

Compiled CompileText(qvExpression& e, std::u16string text) {
  int16_t index = 0;
  e.Compile(text, index);
  Compiled c{e.ErrorCode(), e.ErrorDescription(), e.ErrorPos(), u""};
  if (c.code == 0) c.listing = e.RPNExpression();
  return c;
}

Compiled CompileText(std::u16string text) {
  qvExpression e;
  return CompileText(e, std::move(text));
}

std::u16string Repeat(std::u16string_view s, int n) {
  std::u16string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
}  // namespace

TEST(Compiler, EmitsPostfixCodeByPriorityGroupingFromTheLeft) {
  EXPECT_EQ(CompileText(u"1+2*3").listing, u" 1 2 3 * +");
  EXPECT_EQ(CompileText(u"2^3^2").listing, u" 2 3 ^ 2 ^");
  EXPECT_EQ(CompileText(u"-2^2").listing, u" -2 2 ^");
  EXPECT_EQ(CompileText(u"-X^2").listing, u" X 2 ^ -");
  EXPECT_EQ(CompileText(u"SIN(X)^2").listing, u" X SIN 2 ^");
  EXPECT_EQ(CompileText(u"MAX(A,B+1)").listing, u" A B 1 + MAX");
  EXPECT_EQ(CompileText(u"NOT A=B").listing, u" A B = NOT");
  EXPECT_EQ(CompileText(u"PI()*2").listing, u" PI 2 *");
  EXPECT_EQ(CompileText(u"A <> B").listing, u" A B <>");
  EXPECT_EQ(CompileText(u"2^-3").listing, u" 2 -3 ^");
  EXPECT_EQ(CompileText(u"A AND NOT B").listing, u" A B NOT AND");
  EXPECT_EQ(CompileText(u"1 & 2 + 3").listing, u" 1 2 3 + &");
  EXPECT_EQ(CompileText(u"-(2)^2").listing, u" 2 2 ^ -");
}

TEST(Compiler, UnaryMinusBeforeAVariableIsAnInstructionOfItsOwn) {
  qvExpression e;
  CompileText(e, u"-X");
  const CompiledExpression* r = e.Expression(1);
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->Count, 2);
  EXPECT_EQ(r->Opcodes[2], OpNegate);
  CompileText(e, u"A-B");
  EXPECT_EQ(e.Expression(2)->Opcodes[3], OpSubtract);
}

TEST(Compiler, LiteralsLoadWholeNumbersOrDoubles) {
  qvExpression e;
  CompileText(e, u"12 + 12.5 + -7");
  const CompiledExpression* r = e.Expression(1);
  EXPECT_EQ(r->Operands[1].Constant.kind(), Variant::Kind::Int32);
  EXPECT_EQ(r->Operands[2].Constant.kind(), Variant::Kind::Double);
  EXPECT_EQ(r->Operands[4].Constant.kind(), Variant::Kind::Int32);
  EXPECT_EQ(r->Operands[4].Constant.asWhole(), -7);
  // after success the arrays are cut to the instructions they hold
  EXPECT_EQ(r->Opcodes.size(), size_t(r->Count) + 1);
}

TEST(Compiler, NamesResolveWithoutRegardToCaseAndBlanksBeforeBrackets) {
  EXPECT_EQ(CompileText(u"sin(x)").listing, u" x SIN");
  EXPECT_EQ(CompileText(u"PI").listing, u" PI");
  EXPECT_EQ(CompileText(u"PI ()").listing, u" PI");
  EXPECT_EQ(CompileText(u"SIN (X)").listing, u" X SIN");
  EXPECT_EQ(CompileText(u"(X)MOD(2)").listing, u" X 2 MOD");
  EXPECT_EQ(CompileText(u"X MOD 2").listing, u" X 2 MOD");
  // operator words in operand position are variables
  EXPECT_EQ(CompileText(u"AND + 1").listing, u" AND 1 +");
  // a free user-function slot is a call without arguments
  EXPECT_EQ(CompileText(u"USER1 + 2").listing, u" USER1 2 +");
}

TEST(Compiler, SyntaxErrorsCarryTheirDetailAndPosition) {
  struct Case { const char16_t* text; const char16_t* description; int32_t pos; };
  const Case cases[] = {
      {u"\"abc", u"Syntax Error: Missing string delimiter", 1},
      {u"1 + \"abc", u"Syntax Error: Missing string delimiter", 5},
      {u"1+", u"Syntax Error: Unexpected end of expression", 3},
      {u"   ", u"Syntax Error: Unexpected end of expression", 4},
      {u"1+*2", u"Syntax Error: Unknown symbol", 3},
      {u"()", u"Syntax Error: Unknown symbol", 2},
      {u"\t1", u"Syntax Error: Unknown symbol", 1},
      {u"SIN X", u"Syntax Error: Missing brackets", 1},
      {u"2 + SIN", u"Syntax Error: Missing brackets", 5},
      {u"X MOD2", u"Syntax Error", 3},
      {u"X AND", u"Syntax Error", 3},
      {u"1+2)", u"Syntax Error", 4},
      {u"(1+2", u"Syntax Error", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str());
    Compiled r = CompileText(c.text);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.description, c.description);
    EXPECT_EQ(r.pos, c.pos);
  }
}

TEST(Compiler, NameAndOperatorAndArgumentFailures) {
  struct Case { const char16_t* text; int32_t code; const char16_t* description; int32_t pos; };
  const Case cases[] = {
      {u"FOO(1)", 2, u"Unknown function: FOO", 1},
      {u"1 + foo (1)", 2, u"Unknown function: foo", 5},
      {u"2 3", 4, u"Unknown operator '3' ", 3},
      {u"2 $ 3", 4, u"Unknown operator '$' ", 3},
      {u"PI(2)", 4, u"Unknown operator '(' ", 3},
      {u"USER1(2)", 4, u"Unknown operator '(' ", 6},
      {u"1,2", 5, u"Wrong number of arguments for ", 2},
      {u"(1,2)", 5, u"Wrong number of arguments for ", 3},
      {u"MIN(1)", 5, u"Wrong number of arguments for MIN", 6},
      {u"MIN(1,2,3)", 5, u"Wrong number of arguments for MIN", 8},
      {u"IIF(1,2)", 5, u"Wrong number of arguments for IIF", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str());
    Compiled r = CompileText(c.text);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.description, c.description);
    EXPECT_EQ(r.pos, c.pos);
  }
}

TEST(Compiler, EmptyTextsAndCommentsAndTheEndMarker) {
  qvExpression e;
  EXPECT_EQ(CompileText(e, u"").listing, u" 0");
  EXPECT_EQ(e.ExpressionText(Variant(int32_t(1))), u"0");
  EXPECT_EQ(CompileText(e, u"   ' only a comment").listing, u" 0");
  std::u16string text = u"X + 1 ' offset";
  int16_t index = 0;
  e.Compile(text, index);
  EXPECT_EQ(text, u"X + 1");  // the caller's text loses its comment
  EXPECT_EQ(e.ExpressionText(Variant(int32_t(3))), u"X + 1");
  // a NUL inside the text ends the expression there
  EXPECT_EQ(CompileText(std::u16string(u"1+2\0garbage", 11)).listing, u" 1 2 +");
}

TEST(Compiler, VariablesNamedInAFailingTextStillExist) {
  qvExpression e;
  Compiled r = CompileText(e, u"Q + )");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(e.NumVariables(), 1);
  EXPECT_EQ(e.VariableName(Variant(int32_t(1))), u"Q");
  std::shared_ptr<qvVariable> q = e.BindVariable(u"q");
  ASSERT_TRUE(q);
  EXPECT_EQ(q->Value.kind(), Variant::Kind::Int16);
  EXPECT_EQ(q->Value.asWhole(), 0);
}

TEST(Compiler, IndicesAreAllottedInOrderOrTakenAsGiven) {
  qvExpression e;
  std::u16string a = u"1", b = u"2", c = u"3";
  int16_t i = 0;
  e.Compile(a, i);
  EXPECT_EQ(i, 1);
  i = -4;
  e.Compile(b, i);
  EXPECT_EQ(i, 2);
  i = 5;
  e.Compile(c, i);
  EXPECT_EQ(i, 5);
  EXPECT_EQ(e.NumExpressions(), 6);
  EXPECT_EQ(e.ExpressionText(Variant(int32_t(4))), u"");
  // recompiling an index replaces its code in place
  std::u16string d = u"4*4";
  i = 2;
  e.Compile(d, i);
  EXPECT_EQ(e.ExpressionText(Variant(int32_t(2))), u"4*4");
  EXPECT_EQ(e.RPNExpression(), u" 4 4 *");
  EXPECT_EQ(e.NumExpressions(), 6);
}

TEST(CompilerLimits, ThreeHundredInstructionsFitAndOneMoreIsReported) {
  // n literals joined by n - 1 "+" make 2n - 1 instructions
  Compiled ok = CompileText(u"1" + Repeat(u"+1", 149));  // 299
  EXPECT_EQ(ok.code, 0);
  Compiled full = CompileText(u"-X" + Repeat(u"+1", 149));  // 300
  EXPECT_EQ(full.code, 0);
  qvExpression e;
  Compiled over = CompileText(e, u"1" + Repeat(u"+1", 150));  // 301
  EXPECT_EQ(over.code, 11);
  EXPECT_EQ(over.description, u"Error 9 has occured in qvCalcE, AppendToCompiled\r\nSubscript out of range");
  // the record stays consistent: the arrays cover every counted instruction
  const CompiledExpression* r = e.Expression(1);
  EXPECT_EQ(r->Count, 301);
  EXPECT_GE(r->Opcodes.size(), size_t(302));
  EXPECT_EQ(r->Opcodes.size(), r->Operands.size());
}

TEST(CompilerLimits, FortyStackEntriesFitAndTheFortyFirstEndsTheCompilation) {
  // the start marker and 39 brackets are 40 entries; one bracket more is 41
  EXPECT_EQ(CompileText(Repeat(u"(", 39) + u"1" + Repeat(u")", 39)).code, 0);
  Compiled over = CompileText(Repeat(u"(", 40) + u"1" + Repeat(u")", 40));
  EXPECT_EQ(over.code, 11);
  EXPECT_EQ(over.description, u"Error 9 has occured in qvCalcE, CompileExpression\r\nSubscript out of range");
  EXPECT_EQ(over.pos, 40);
  // a function and its bracket take two entries each
  EXPECT_EQ(CompileText(Repeat(u"ABS(", 19) + u"1" + Repeat(u")", 19)).code, 0);
  EXPECT_EQ(CompileText(Repeat(u"ABS(", 20) + u"1" + Repeat(u")", 20)).code, 11);
}

TEST(CompilerLimits, AFullTableOfExpressionsReportsTheOverflow) {
  qvExpression e;
  std::u16string text = u"1";
  int16_t index = 32767;
  e.Compile(text, index);
  EXPECT_EQ(e.ErrorCode(), 0);
  index = 0;
  e.Compile(text, index);
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_EQ(e.ErrorDescription(), u"Error 6 has occured in qvCalcE, Compile\r\nOverflow");
  EXPECT_EQ(index, 0);
}

TEST(CompilerLimits, LiteralFailuresLeaveCodeElevenButCompilationGoesOn) {
  qvExpression e;
  Compiled r = CompileText(e, u"2147483648 + 1");
  EXPECT_EQ(r.code, 11);
  EXPECT_EQ(r.description, u"Error 6 has occured in qvCalcE, GetNumber\r\nOverflow");
  EXPECT_EQ(e.Expression(1)->Count, 3);
  EXPECT_EQ(e.ErrorPos(), 0);  // the pass finished
}

TEST(CompilerArrays, ArrayReferencesTakeOneIndexPerDimension) {
  qvExpression e;
  std::u16string def = u"Grid(3, 4)";
  e.DefineArray(def);
  std::u16string text = u"Grid(1, 2) + 1";
  int16_t index = 0;
  e.Compile(text, index);
  EXPECT_EQ(e.ErrorCode(), 0);
  const CompiledExpression* r = e.Expression(1);
  EXPECT_EQ(r->Opcodes[3], -1);
  Compiled noBracket = CompileText(e, u"1 + grid");
  EXPECT_EQ(noBracket.code, 1);
  EXPECT_EQ(noBracket.description, u"Syntax Error: Array expected, Grid(3, 4)");
  EXPECT_EQ(noBracket.pos, 5);
  Compiled wrong = CompileText(e, u"Grid(1)");
  EXPECT_EQ(wrong.code, 5);
  EXPECT_EQ(wrong.description, u"Wrong number of arguments for Grid(3, 4)");
}
