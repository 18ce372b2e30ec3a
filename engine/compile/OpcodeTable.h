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
#include <string>
#include <string_view>

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
  OpIif = 54, OpArray = 55, OpUser1 = 56, OpUser20 = 75,
  OpLen = 76, OpAsc = 77, OpSpace = 78, OpString = 79, OpLeft = 80, OpRight = 81, OpMid = 82,
  OpInstr = 83,
};

inline constexpr int kOpcodeCount = 84;
inline constexpr int kMaxUserFuncs = 20;
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
};

struct OpcodeRow {
  Opcode op;
  std::u16string_view name;
  uint8_t priority;
  int16_t args;
  OpKind kind;
};

namespace rows {
using K = OpKind;
constexpr uint8_t F = kFunctionPriority;
}  // namespace rows

inline constexpr std::array<OpcodeRow, kOpcodeCount> kOpcodeRows = [] {
  using namespace rows;
  std::array<OpcodeRow, kOpcodeCount> r = {{
      {OpNone, u"", 0, 0, K::None},
      {OpLoad, u"", 0, 0, K::None},
      {OpStart, u"", kBarrier, 1, K::Opener},
      {OpOpen, u"(", kBarrier, 1, K::Opener},
      {OpNegate, u"-", 18, 0, K::Unary},
      {OpNot, u"NOT", 8, 0, K::Unary},
      {OpEnd, std::u16string_view(u"\0", 1), 0, -1, K::Closer},  // end of text: one NUL
      {OpComma, u",", 0, -1, K::Closer},
      {OpClose, u")", 0, -1, K::Closer},
      {OpPower, u"^", 20, 0, K::Operator},
      {OpMultiply, u"*", 17, 0, K::Operator},
      {OpDivide, u"/", 17, 0, K::Operator},
      {OpIntDivide, u"\\", 16, 0, K::Operator},
      {OpAdd, u"+", 14, 0, K::Operator},
      {OpSubtract, u"-", 14, 0, K::Operator},
      {OpEqual, u"=", 10, 0, K::Operator},
      {OpNotEqual, u"<>", 10, 0, K::Operator},
      {OpLessEqual, u"<=", 10, 0, K::Operator},
      {OpLess, u"<", 10, 0, K::Operator},
      {OpGreaterEqual, u">=", 10, 0, K::Operator},
      {OpGreater, u">", 10, 0, K::Operator},
      {OpMod, u"MOD", 15, 0, K::WordOperator},
      {OpAnd, u"AND", 7, 0, K::WordOperator},
      {OpOr, u"OR", 6, 0, K::WordOperator},
      {OpXor, u"XOR", 6, 0, K::WordOperator},
      {OpConcat, u"&", 4, 0, K::Operator},
      {OpPi, u"PI", 0, 0, K::Constant},
      {OpDeg, u"DEG", 0, 0, K::Constant},
      {OpAbs, u"ABS", F, 1, K::RealFunction},
      {OpInt, u"INT", F, 1, K::RealFunction},
      {OpFix, u"FIX", F, 1, K::RealFunction},
      {OpSgn, u"SGN", F, 1, K::Function},
      {OpRnd, u"RND", F, 1, K::Function},
      {OpSqr, u"SQR", F, 1, K::RealFunction},
      {OpLog, u"LOG", F, 1, K::RealFunction},
      {OpLn, u"LN", F, 1, K::RealFunction},
      {OpExp, u"EXP", F, 1, K::RealFunction},
      {OpSin, u"SIN", F, 1, K::RealFunction},
      {OpAsin, u"ASIN", F, 1, K::RealFunction},
      {OpCos, u"COS", F, 1, K::RealFunction},
      {OpAcos, u"ACOS", F, 1, K::RealFunction},
      {OpTan, u"TAN", F, 1, K::RealFunction},
      {OpAtn, u"ATN", F, 1, K::RealFunction},
      {OpSinh, u"SINH", F, 1, K::RealFunction},
      {OpCosh, u"COSH", F, 1, K::RealFunction},
      {OpTanh, u"TANH", F, 1, K::RealFunction},
      {OpAsinh, u"ASINH", F, 1, K::RealFunction},
      {OpAcosh, u"ACOSH", F, 1, K::RealFunction},
      {OpAtanh, u"ATANH", F, 1, K::RealFunction},
      {OpFact, u"FACT", F, 1, K::Function},
      {OpMin, u"MIN", F, 2, K::Function},
      {OpMax, u"MAX", F, 2, K::Function},
      {OpNcr, u"NCR", F, 2, K::Function},
      {OpNpr, u"NPR", F, 2, K::Function},
      {OpIif, u"IIF", F, 3, K::Function},
      {OpArray, u"ARRAY", F, 3, K::ArrayRow},
  }};
  // The user-function slots, named USER1 to USER9 and USER_10 to USER_20 until defined.
  constexpr std::u16string_view kUserNames[kMaxUserFuncs] = {
      u"USER1", u"USER2", u"USER3", u"USER4", u"USER5", u"USER6", u"USER7",
      u"USER8", u"USER9", u"USER_10", u"USER_11", u"USER_12", u"USER_13", u"USER_14",
      u"USER_15", u"USER_16", u"USER_17", u"USER_18", u"USER_19", u"USER_20"};
  for (int k = 0; k < kMaxUserFuncs; ++k)
    r[size_t(OpUser1 + k)] = {Opcode(OpUser1 + k), kUserNames[k], F, 0, K::UserFunction};
  const OpcodeRow text[] = {
      {OpLen, u"LEN", F, 1, K::TextFunction},     {OpAsc, u"ASC", F, 1, K::TextFunction},
      {OpSpace, u"SPACE", F, 1, K::TextFunction}, {OpString, u"STRING", F, 2, K::TextFunction},
      {OpLeft, u"LEFT", F, 2, K::TextFunction},   {OpRight, u"RIGHT", F, 2, K::TextFunction},
      {OpMid, u"MID", F, 3, K::TextFunction},     {OpInstr, u"INSTR", F, 3, K::TextFunction},
  };
  for (const OpcodeRow& row : text) r[size_t(row.op)] = row;
  return r;
}();

// Each row sits at the index of its opcode: the enumeration and the table cannot drift apart.
constexpr bool RowsInOrder() {
  for (int i = 0; i < kOpcodeCount; ++i)
    if (kOpcodeRows[size_t(i)].op != i || (i > 0 && kOpcodeRows[size_t(i)].name.empty() && i != OpLoad && i != OpStart))
      return false;
  return true;
}
static_assert(RowsInOrder(), "every opcode has its row, at its own index");
static_assert(kOpcodeRows[OpEnd].name.size() == 1 && kOpcodeRows[OpEnd].name[0] == 0);
static_assert(OpUser20 - OpUser1 + 1 == kMaxUserFuncs);

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
// Everything with a call form: constants, functions, ARRAY and the user-function slots.
constexpr bool IsCallable(OpKind k) { return k >= OpKind::Constant; }
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
