// The opcode table: every operator and function of the language, written once as data, and the
// object that owns it for one engine. Only the user-function rows change after creation (their
// names and argument counts, as functions are defined).
//
// Priority: how tightly the item binds; 255 is a barrier the compiler never pops.
// Args: > 0 the number of values the item takes (it opens an argument frame); 0 opens no frame
// (operators, functions without arguments); -1 closes one argument (end marker, ",", ")").
// Kind: what the item is to the compiler and the evaluator. Every test of "which sort of opcode
// is this" asks the kind; no code outside this file tests a range of opcode numbers.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "engine/eval/DoubleOp.h"

namespace qv {

enum Opcode : int16_t {
  OpNone = 0, OpLoad = 1, OpStart = 2, OpOpen = 3, OpNegate = 4, OpNot = 5,
  OpEnd = 6, OpComma = 7, OpClose = 8,
  OpPower = 9, OpMultiply = 10, OpDivide = 11, OpIntDivide = 12, OpAdd = 13, OpSubtract = 14,
  OpEqual = 15, OpNotEqual = 16, OpLessEqual = 17, OpLess = 18, OpGreaterEqual = 19,
  OpGreater = 20, OpMod = 21, OpAnd = 22, OpOr = 23, OpXor = 24, OpConcat = 25,
  OpPi = 26, OpDeg = 27, OpAbs = 28, OpInt = 29, OpFix = 30, OpSgn = 31, OpRnd = 32,
  OpSqr = 33, OpLog = 34, OpLn = 35, OpExp = 36, OpSin = 37, OpAsin = 38, OpCos = 39,
  OpAcos = 40, OpTan = 41, OpAtn = 42, OpSinh = 43, OpCosh = 44, OpTanh = 45, OpAsinh = 46,
  OpAcosh = 47, OpAtanh = 48, OpFact = 49, OpMin = 50, OpMax = 51, OpNcr = 52, OpNpr = 53,
  OpIif = 54, OpArray = 55,
  OpUser1 = 56, OpUser2, OpUser3, OpUser4, OpUser5, OpUser6, OpUser7, OpUser8, OpUser9, OpUser10,
  OpUser11, OpUser12, OpUser13, OpUser14, OpUser15, OpUser16, OpUser17, OpUser18, OpUser19, OpUser20,
  OpLen = 76, OpAsc = 77, OpSpace = 78, OpString = 79, OpLeft = 80, OpRight = 81, OpMid = 82,
  OpInstr = 83, OpHost = 84,
};

inline constexpr int kOpcodeCount = OpHost + 1;  // the last enumerator is the last row
inline constexpr int kMaxUserFuncs = OpUser20 - OpUser1 + 1;
inline constexpr uint8_t kBarrier = 255;
inline constexpr uint8_t kFunctionPriority = 30;

enum class OpKind : uint8_t {
  None,          // no role (0) and the load of an operand (1)
  Opener,        // start marker and "(": barriers at the bottom of a frame
  Closer,        // end marker, "," and ")": each closes one argument
  Unary,         // unary minus and NOT
  Operator,      // a binary operator written with symbols
  WordOperator,  // MOD, AND, OR, XOR: need a blank or a bracket on each side
  Constant,      // PI and DEG
  RealFunction,  // a function of one number whose result is a double (ABS ... ATANH but SGN)
  Function,      // any other numeric function (SGN, RND, FACT, MIN, MAX, NCR, NPR, IIF)
  ArrayRow,      // the name ARRAY, reserved; compiled code never computes with it
  UserFunction,  // the twenty user-function slots
  TextFunction,  // LEN ... INSTR
  HostFunction,  // a call of a function the host defined: its operand holds the function
};

// Step: the operation of the all-double program that computes the opcode (its arguments are the
// accumulator and the slots below it), or none where only the general loop does. Help: one line
// on what the item does, for the calculator's ":help" and the language reference.
struct OpcodeRow {
  Opcode op;
  std::u16string_view name;
  uint8_t priority;
  int16_t args;
  OpKind kind;
  std::optional<DoubleOp> step;
  std::string_view help;
};

inline constexpr std::array<OpcodeRow, kOpcodeCount> kOpcodeRows = [] {
  using K = OpKind;
  using D = DoubleOp;
  constexpr uint8_t F = kFunctionPriority;
  constexpr std::optional<DoubleOp> None;  // the general loop's alone
  std::array<OpcodeRow, kOpcodeCount> r{};
  const auto row = [&r](Opcode op, std::u16string_view name, uint8_t priority, int16_t args, OpKind kind,
                        std::optional<DoubleOp> step, std::string_view help) {
    r[size_t(op)] = {op, name, priority, args, kind, step, help};
  };
  // Markers and the load of an operand.
  row(OpNone, u"", 0, 0, K::None, None, "no operation");
  row(OpLoad, u"", 0, 0, K::None, None, "pushes an operand: a number, a text, a variable or an array element");
  row(OpStart, u"", kBarrier, 1, K::Opener, None, "start of the text: the bottom of the operator stack");
  row(OpOpen, u"(", kBarrier, 1, K::Opener, None, "(x): what the brackets hold is computed first");
  row(OpEnd, std::u16string_view(u"\0", 1), 0, -1, K::Closer, None, "end of the text: closes what is still open");
  row(OpComma, u",", 0, -1, K::Closer, None, "a, b: separates the arguments of a function");
  row(OpClose, u")", 0, -1, K::Closer, None, "closes a bracket or an argument list");
  // Operators, tightest first.
  row(OpNegate, u"-", 18, 0, K::Unary, D::Negate, "-x: x with its sign turned");
  row(OpNot, u"NOT", 8, 0, K::Unary, D::Not, "NOT x: 1 when x is not true (not above 0), else 0");
  row(OpPower, u"^", 20, 0, K::Operator, D::Power, "x ^ y: x to the power y; a negative x takes whole y up to 100");
  row(OpMultiply, u"*", 17, 0, K::Operator, D::Multiply, "x * y: the product");
  row(OpDivide, u"/", 17, 0, K::Operator, D::Divide, "x / y: the quotient, a double; y must not be 0");
  row(OpIntDivide, u"\\", 16, 0, K::Operator, None, "x \\ y: whole-number quotient of x and y rounded, toward zero");
  row(OpAdd, u"+", 14, 0, K::Operator, D::Add, "x + y: the sum; two texts are joined");
  row(OpSubtract, u"-", 14, 0, K::Operator, D::Subtract, "x - y: the difference");
  row(OpEqual, u"=", 10, 0, K::Operator, D::Equal, "x = y: 1 when x equals y, else 0");
  row(OpNotEqual, u"<>", 10, 0, K::Operator, D::NotEqual, "x <> y: 1 when x differs from y, else 0");
  row(OpLessEqual, u"<=", 10, 0, K::Operator, D::LessEqual, "x <= y: 1 when x is not above y, else 0");
  row(OpLess, u"<", 10, 0, K::Operator, D::Less, "x < y: 1 when x is below y, else 0");
  row(OpGreaterEqual, u">=", 10, 0, K::Operator, D::GreaterEqual, "x >= y: 1 when x is not below y, else 0");
  row(OpGreater, u">", 10, 0, K::Operator, D::Greater, "x > y: 1 when x is above y, else 0");
  row(OpMod, u"MOD", 15, 0, K::WordOperator, None, "x MOD y: the remainder of x \\ y, with the sign of x");
  row(OpAnd, u"AND", 7, 0, K::WordOperator, D::And, "x AND y: 1 when both are true (above 0), else 0");
  row(OpOr, u"OR", 6, 0, K::WordOperator, D::Or, "x OR y: 1 when either is true (above 0), else 0");
  row(OpXor, u"XOR", 6, 0, K::WordOperator, D::Xor, "x XOR y: 1 when exactly one is true (above 0), else 0");
  row(OpConcat, u"&", 4, 0, K::Operator, None, "x & y: the two joined as texts");
  // Constants and functions.
  row(OpPi, u"PI", 0, 0, K::Constant, None, "3.14159265358979 (PI and PI() alike)");
  row(OpDeg, u"DEG", 0, 0, K::Constant, None, "pi/180, the radians in a degree: SIN(30 * DEG) is 0.5");
  row(OpAbs, u"ABS", F, 1, K::RealFunction, D::Function, "absolute value");
  row(OpInt, u"INT", F, 1, K::RealFunction, D::Function, "largest whole number not above x: INT(-2.5) is -3");
  row(OpFix, u"FIX", F, 1, K::RealFunction, D::Function, "x without its fraction, toward zero: FIX(-2.5) is -2");
  row(OpSgn, u"SGN", F, 1, K::Function, D::Sgn, "-1, 0 or 1 by the sign of x");
  row(OpRnd, u"RND", F, 1, K::Function, None, "x times a random number from 0 up to but excluding 1");
  row(OpSqr, u"SQR", F, 1, K::RealFunction, D::Sqr, "square root, x >= 0");
  row(OpLog, u"LOG", F, 1, K::RealFunction, D::Function, "base-10 logarithm, x > 0");
  row(OpLn, u"LN", F, 1, K::RealFunction, D::Function, "natural logarithm, x > 0");
  row(OpExp, u"EXP", F, 1, K::RealFunction, D::Exp, "e to the power x");
  row(OpSin, u"SIN", F, 1, K::RealFunction, D::Sin, "sine of x radians");
  row(OpAsin, u"ASIN", F, 1, K::RealFunction, D::Function, "arcsine in radians, -1 <= x <= 1");
  row(OpCos, u"COS", F, 1, K::RealFunction, D::Cos, "cosine of x radians");
  row(OpAcos, u"ACOS", F, 1, K::RealFunction, D::Function, "arccosine in radians, -1 <= x <= 1");
  row(OpTan, u"TAN", F, 1, K::RealFunction, D::Function, "tangent of x radians");
  row(OpAtn, u"ATN", F, 1, K::RealFunction, D::Function, "arctangent in radians, between -pi/2 and pi/2");
  row(OpSinh, u"SINH", F, 1, K::RealFunction, D::Function, "hyperbolic sine");
  row(OpCosh, u"COSH", F, 1, K::RealFunction, D::Function, "hyperbolic cosine");
  row(OpTanh, u"TANH", F, 1, K::RealFunction, D::Function, "hyperbolic tangent");
  row(OpAsinh, u"ASINH", F, 1, K::RealFunction, D::Function, "inverse hyperbolic sine");
  row(OpAcosh, u"ACOSH", F, 1, K::RealFunction, D::Function, "inverse hyperbolic cosine, x >= 1");
  row(OpAtanh, u"ATANH", F, 1, K::RealFunction, D::Function, "inverse hyperbolic tangent, -1 < x < 1");
  row(OpFact, u"FACT", F, 1, K::Function, D::Fact, "factorial of x rounded, 0 <= x <= 169");
  row(OpMin, u"MIN", F, 2, K::Function, D::Min, "the smaller of a and b (on a tie, b)");
  row(OpMax, u"MAX", F, 2, K::Function, D::Max, "the larger of a and b (on a tie, b)");
  row(OpNcr, u"NCR", F, 2, K::Function, None, "combinations: ways to choose r of n");
  row(OpNpr, u"NPR", F, 2, K::Function, None, "permutations: ordered ways to choose r of n");
  row(OpIif, u"IIF", F, 3, K::Function, D::Iif, "a when c is true (above 0), else b; both are evaluated");
  row(OpArray, u"ARRAY", F, 3, K::ArrayRow, None, "a reserved name with no action of its own: gives c");
  // The user-function slots, named USER1 to USER9 and USER_10 to USER_20 until defined; their
  // argument counts come with the definitions.
  constexpr std::u16string_view kUserNames[] = {
      u"USER1", u"USER2", u"USER3", u"USER4", u"USER5", u"USER6", u"USER7",
      u"USER8", u"USER9", u"USER_10", u"USER_11", u"USER_12", u"USER_13", u"USER_14",
      u"USER_15", u"USER_16", u"USER_17", u"USER_18", u"USER_19", u"USER_20"};
  static_assert(std::size(kUserNames) == size_t(kMaxUserFuncs));
  for (int k = 0; k < kMaxUserFuncs; ++k)
    row(Opcode(OpUser1 + k), kUserNames[k], F, 0, K::UserFunction, None, "a slot for a function defined with UserFunc");
  // Functions of texts.
  row(OpLen, u"LEN", F, 1, K::TextFunction, None, "number of characters of s (LEN(1/4) is 4, the length of 0.25)");
  row(OpAsc, u"ASC", F, 1, K::TextFunction, None, "code of the first character of s");
  row(OpSpace, u"SPACE", F, 1, K::TextFunction, None, "n blanks");
  row(OpString, u"STRING", F, 2, K::TextFunction, None, "n copies of character c (a text, or a character code)");
  row(OpLeft, u"LEFT", F, 2, K::TextFunction, None, "the first n characters of s");
  row(OpRight, u"RIGHT", F, 2, K::TextFunction, None, "the last n characters of s");
  row(OpMid, u"MID", F, 3, K::TextFunction, None, "length characters of s from position start (from 1)");
  row(OpInstr, u"INSTR", F, 3, K::TextFunction, None, "position of t in s at or after start, ignoring case; 0 if absent");
  // A host function's call: no name of its own (the lookup never finds it), the function and the
  // number of arguments are in the instruction's operand.
  row(OpHost, u"", F, 0, K::HostFunction, D::Host, "a call of a function the host defined with DefineFunction");
  return r;
}();

// Every opcode has its row, at its own index (a row never written keeps op 0 and no help), and
// every function of one number has its step in the all-double program.
constexpr bool EveryRowWritten() {
  for (int i = 0; i < kOpcodeCount; ++i) {
    const OpcodeRow& row = kOpcodeRows[size_t(i)];
    if (row.op != i || row.help.empty() || (row.kind == OpKind::RealFunction && !row.step)) return false;
  }
  return true;
}
static_assert(EveryRowWritten(), "every opcode has its row, with its help");
static_assert(kOpcodeRows[OpEnd].name.size() == 1 && kOpcodeRows[OpEnd].name[0] == 0);

// The opcodes of the rows of some kinds, in table order: what the name lookups go through.
template <size_t N, class Keep>
constexpr std::array<Opcode, N> RowsWhere(Keep keep) {
  std::array<Opcode, N> out{};
  size_t n = 0;
  for (const OpcodeRow& row : kOpcodeRows)
    if (keep(row.kind) && n < N) out[n++] = row.op;
  return out;
}
template <class Keep>
constexpr size_t CountRowsWhere(Keep keep) {
  size_t n = 0;
  for (const OpcodeRow& row : kOpcodeRows) n += keep(row.kind);
  return n;
}
// Operators, the end marker, "," and ")": what may stand where an operator is expected.
constexpr bool IsOperatorLike(OpKind k) { return k == OpKind::Closer || k == OpKind::Operator || k == OpKind::WordOperator; }
// Everything with a call form: constants, functions, ARRAY and the user-function slots (a host
// function's call is found by the host's table, not by name here).
constexpr bool IsCallable(OpKind k) { return k >= OpKind::Constant && k != OpKind::HostFunction; }
inline constexpr auto kOperatorLikeOps = RowsWhere<CountRowsWhere(IsOperatorLike)>(IsOperatorLike);
inline constexpr auto kCallableOps = RowsWhere<CountRowsWhere(IsCallable)>(IsCallable);

// One engine's table: the rows above, with the user-function rows renamed as functions are
// defined. Lookups compare names without regard to case.
class OpcodeTable {
 public:
  OpcodeTable() { Reset(); }
  void Reset();  // every row as written above; no user functions

  static bool Valid(int16_t op) noexcept { return op >= 0 && op < kOpcodeCount; }
  const std::u16string& Name(int16_t op) const noexcept;
  uint8_t Priority(int16_t op) const noexcept { return Valid(op) ? priority_[size_t(op)] : 0; }
  int16_t Args(int16_t op) const noexcept { return Valid(op) ? args_[size_t(op)] : 0; }
  static OpKind Kind(int16_t op) noexcept { return Valid(op) ? kOpcodeRows[size_t(op)].kind : OpKind::None; }

  // The operator, end marker, "," or ")" whose name stands at the 1-based Cursor of Text (the
  // first in table order, so "<>" and "<=" win over "<"); the cursor moves past it. 0 when none.
  int16_t OperatorAt(std::u16string_view Text, int32_t& Cursor) const noexcept;
  // The function, constant or user-function slot of that name (upper case), NOT for "NOT", or 0.
  int16_t FunctionNamed(std::u16string_view UpperName) const noexcept;

  // User functions: slot 1 to 20 is opcode OpUser1 - 1 + slot.
  int16_t NumUserFuncs() const noexcept { return numUserFuncs_; }
  static int UserSlot(int16_t op) noexcept { return op - OpUser1 + 1; }
  static int16_t UserOpcode(int Slot) noexcept { return int16_t(OpUser1 - 1 + Slot); }
  void DefineUserFunc(int Slot, std::u16string_view Name, int16_t Args);
  void ResetUserFuncs();  // placeholder names, no arguments, count 0

 private:
  void SetName(int16_t op, std::u16string_view Name);
  // The length and first three letters of each name, upper case, in one number: the lookups
  // compare names only where these agree.
  static uint64_t Key(std::u16string_view Name) noexcept;

  std::array<std::u16string, kOpcodeCount> names_;
  std::array<uint64_t, kOpcodeCount> keys_{};
  std::array<uint64_t, kCallableOps.size()> callableKeys_{};  // keys_ of kCallableOps, side by side
  std::array<uint8_t, kOpcodeCount> priority_{};
  std::array<int16_t, kOpcodeCount> args_{};
  int16_t numUserFuncs_ = 0;
};

}  // namespace qv
