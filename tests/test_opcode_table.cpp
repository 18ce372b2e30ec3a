// The opcode table as a new engine holds it, and the error state with its report procedure.
#include <gtest/gtest.h>

#include "engine/qvExpression.h"
#include "engine/eval/DoubleSemantics.h"
#include "tests/TestAccess.h"

namespace {
void Report(qvExpression& e, std::u16string_view proc, int32_t number) {
  qvExpressionTestAccess::Errors(e).Report(proc, qvRuntimeError(number));
}
void SetError(qvExpression& e, int32_t code, std::u16string d, int32_t pos, int32_t src) {
  qv::ErrorState& errors = qvExpressionTestAccess::Errors(e);
  errors.Set(code, std::move(d));
  errors.SetPos(pos);
  errors.SetSource(src);
}
}  // namespace

TEST(OpcodeTable, HasEightyFourRowsExactlyAsTabled) {
  qvExpression e;
  struct Row { int16_t op; const char16_t* name; int prio; int args; };
  const Row rows[] = {
      {2, u"", 255, 1},   {3, u"(", 255, 1},  {4, u"-", 18, 0},   {5, u"NOT", 8, 0},
      {7, u",", 0, -1},   {8, u")", 0, -1},   {9, u"^", 20, 0},   {10, u"*", 17, 0},
      {11, u"/", 17, 0},  {12, u"\\", 16, 0}, {13, u"+", 14, 0},  {14, u"-", 14, 0},
      {15, u"=", 10, 0},  {16, u"<>", 10, 0}, {17, u"<=", 10, 0}, {18, u"<", 10, 0},
      {19, u">=", 10, 0}, {20, u">", 10, 0},  {21, u"MOD", 15, 0}, {22, u"AND", 7, 0},
      {23, u"OR", 6, 0},  {24, u"XOR", 6, 0}, {25, u"&", 4, 0},   {26, u"PI", 0, 0},
      {27, u"DEG", 0, 0}, {28, u"ABS", 30, 1}, {33, u"SQR", 30, 1}, {49, u"FACT", 30, 1},
      {50, u"MIN", 30, 2}, {53, u"NPR", 30, 2}, {54, u"IIF", 30, 3}, {55, u"ARRAY", 30, 3},
      {56, u"USER1", 30, 0}, {64, u"USER9", 30, 0}, {65, u"USER_10", 30, 0},
      {75, u"USER_20", 30, 0}, {76, u"LEN", 30, 1}, {78, u"SPACE", 30, 1},
      {79, u"STRING", 30, 2}, {82, u"MID", 30, 3}, {83, u"INSTR", 30, 3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.op);
    EXPECT_EQ(e.OpcodeName(r.op), r.name);
    EXPECT_EQ(e.OpcodePriority(r.op), r.prio);
    EXPECT_EQ(e.OpcodeArgs(r.op), r.args);
  }
  for (int16_t op = 0; op < 2; ++op) {
    EXPECT_EQ(e.OpcodeName(op), u"");
    EXPECT_EQ(e.OpcodePriority(op), 0);
    EXPECT_EQ(e.OpcodeArgs(op), 0);
  }
  EXPECT_EQ(e.OpcodeName(6), std::u16string(1, u'\0'));
  EXPECT_EQ(e.OpcodeArgs(6), -1);
  EXPECT_EQ(e.OpcodeName(84), u"");  // outside the table: nothing
  EXPECT_EQ(e.NumUserFuncs(), 0);
  EXPECT_EQ(e.ArraysCount(), 0);
  EXPECT_TRUE(e.CreateVariables());
}

// Every row of a kind that computes has its computation: called with ordinary arguments on every
// tier, it gives a value without the internal error that marks a row the evaluator cannot run,
// and each function of one number has its double semantics.
TEST(OpcodeTable, EveryRowThatComputesHasItsComputation) {
  using qv::OpKind;
  for (const qv::OpcodeRow& row : qv::kOpcodeRows) {
    const std::u16string name(row.name);
    std::u16string text;
    switch (row.kind) {
      case OpKind::Operator: text = u"2 " + name + u" 3"; break;
      case OpKind::WordOperator: text = u"2 " + name + u" 3"; break;
      case OpKind::Unary: text = name + u" 2"; break;
      case OpKind::Constant: text = name; break;
      case OpKind::RealFunction: case OpKind::Function: case OpKind::TextFunction:
        text = name + u"(0.5";
        for (int k = 1; k < row.args; ++k) text += u", 2";
        text += u")";
        break;
      default: continue;  // markers, ARRAY and the user-function slots compute nothing of their own
    }
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native}) {
      qvExpression e;
      e.SetNativeAfter(0);
      e.SetHighestTier(tier);
      std::u16string compiled = text;
      int16_t index = 0;
      e.Compile(compiled, index);
      ASSERT_EQ(e.ErrorCode(), 0);
      int32_t at = index;
      const Variant value = e.Value(at);
      EXPECT_NE(e.ErrorCode(), 11) << e.ErrorCode();
      EXPECT_FALSE(value.isEmpty());
    }
    if (row.kind == OpKind::RealFunction) {
      bool computes = false;
      for (double x : {0.5, -0.5, 2.0}) {
        double out;
        computes |= qv::RealValue(row.op, x, out) == qv::Step::Ok;
      }
      EXPECT_TRUE(computes);
    }
  }
}

TEST(ErrorState, StartsClearAndClearErrorResetsAllFour) {
  qvExpression e;
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ErrorDescription(), u"");
  SetError(e, 5, u"x", 7, -3);
  EXPECT_EQ(e.ErrorDescription(), u"x");
  EXPECT_EQ(e.ErrorDescription(), u"x");  // reading clears nothing
  e.ClearError();
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ErrorDescription(), u"");
  EXPECT_EQ(e.ErrorPos(), 0);
  EXPECT_EQ(e.ErrorSource(), 0);
}

TEST(ErrorState, ReportErrorComposesCodeElevenAndKeepsPositionAndSource) {
  qvExpression e;
  SetError(e, 1, u"old", 4, 2);
  Report(e, u"GetNumber", kErrOverflow);
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_EQ(e.ErrorDescription(), u"Error 6 has occured in qvCalcE, GetNumber\r\nOverflow");
  EXPECT_EQ(e.ErrorPos(), 4);
  EXPECT_EQ(e.ErrorSource(), 2);
}

TEST(ErrorState, ReportErrorIgnoresUseOfNull) {
  qvExpression e;
  SetError(e, 3, u"kept", 1, 1);
  Report(e, u"Compile", kErrNull);
  EXPECT_EQ(e.ErrorCode(), 3);
  EXPECT_EQ(e.ErrorDescription(), u"kept");
}
