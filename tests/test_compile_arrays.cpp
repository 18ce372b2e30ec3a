// The instruction arrays of a compiled record: cut to the instructions after a success, indices
// 0 to 300 after any failure (the kept instructions first), however the compilation ended.
#include <gtest/gtest.h>

#include <string>

#include "engine/qvExpression.h"
#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

using namespace qv;  // the engine's internals under test

namespace {

const CompiledExpression& CompileAt(qvExpression& e, std::u16string text, int16_t index = 1) {
  e.Compile(text, index);
  return *e.Expression(index);
}

void ExpectFullAfterFailure(const CompiledExpression& r, int32_t count) {
  EXPECT_EQ(r.Count, count);
  EXPECT_EQ(r.Opcodes.size(), size_t(kMaxInstructions) + 1);
  EXPECT_EQ(r.Operands.size(), size_t(kMaxInstructions) + 1);
  for (size_t i = size_t(count) + 1; i < r.Opcodes.size(); ++i) {
    EXPECT_EQ(r.Opcodes[i], OpNone);
    EXPECT_TRUE(r.Operands[i].Constant.isEmpty() && !r.Operands[i].Var);
  }
}

}  // namespace

TEST(CompileArrays, CutAfterSuccessFullAfterFailure) {
  qvExpression e;
  const CompiledExpression& r = CompileAt(e, u"A + B * 2");
  EXPECT_EQ(r.Count, 5);
  EXPECT_EQ(r.Opcodes.size(), 6u);
  EXPECT_EQ(r.Operands.size(), 6u);
  // A syntax error keeps the instructions appended before it: A 2 *.
  const CompiledExpression& failed = CompileAt(e, u"A * 2 +");
  EXPECT_EQ(e.ErrorCode(), 1);
  ExpectFullAfterFailure(failed, 3);
  EXPECT_EQ(failed.Opcodes[3], OpMultiply);
  EXPECT_EQ(failed.Operands[2].Constant.asWhole(), 2);
  // Recompiling the same index, shorter and longer, cuts again.
  EXPECT_EQ(CompileAt(e, u"1").Opcodes.size(), 2u);
  EXPECT_EQ(CompileAt(e, u"SIN(A) + COS(B) + 1").Opcodes.size(), 8u);  // A SIN B COS + 1 +
}

// More than 40 brackets end the compilation with a run-time failure (code 11) rather than a
// syntax error; the arrays are the same as after any other failure.
TEST(CompileArrays, FullAfterAnInternalFailure) {
  qvExpression e;
  const std::u16string deep = std::u16string(41, u'(') + u"1" + std::u16string(41, u')');
  const CompiledExpression& r = CompileAt(e, deep);
  EXPECT_EQ(e.ErrorCode(), 11);
  ExpectFullAfterFailure(r, 0);
}
