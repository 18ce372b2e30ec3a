// A host program may include the engine's and the control's public headers and still declare
// common names of its own: the engine's internals live in their own namespace.
#include <gtest/gtest.h>

#include "control/qvCalc.h"
#include "engine/qvExpression.h"

struct Machine {};
struct Step {};
struct Test {};
struct Compiler {};
struct Operand {};
struct Engine {};
struct Program {};
enum HostOpcodes { OpAdd = 1, OpLoad = 2 };
bool IsDigit(char c) { return c == '7'; }

TEST(PublicNames, AHostDeclaresItsOwnGenericNames) {
  qvExpression e;
  std::u16string text = u"X * 2";
  int16_t index = 0;
  e.Compile(text, index);
  Machine m;
  (void)m;
  EXPECT_EQ(OpAdd + OpLoad, 3);
  EXPECT_TRUE(IsDigit('7'));
  EXPECT_EQ(index, 1);
}
