// The opcode table: every operator and function of the language, written once as data. The
// engine copies it at creation; only the user-function rows 56 to 75 change afterwards.
//
// Priority: how tightly the item binds; 255 is a barrier the compiler never pops.
// Args: > 0 the number of values the item takes (it opens an argument frame); 0 opens no frame
// (operators, functions without arguments); -1 closes one argument (end marker, ",", ")").
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

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

struct OpcodeRow {
  std::u16string_view name;
  uint8_t priority;
  int16_t args;
};

inline constexpr std::array<OpcodeRow, kOpcodeCount> kOpcodeRows = {{
    {u"", 0, 0},                          // 0  no role
    {u"", 0, 0},                          // 1  load operand
    {u"", kBarrier, 1},                   // 2  start marker: bottom of the operator stack
    {u"(", kBarrier, 1},                  // 3  opening parenthesis
    {u"-", 18, 0},                        // 4  unary minus
    {u"NOT", 8, 0},                       // 5  unary NOT
    {std::u16string_view(u"\0", 1), 0, -1},  // 6  end of text: one NUL character
    {u",", 0, -1},                        // 7  argument separator
    {u")", 0, -1},                        // 8  closing parenthesis
    {u"^", 20, 0},   {u"*", 17, 0},   {u"/", 17, 0},   {u"\\", 16, 0},  // 9..12
    {u"+", 14, 0},   {u"-", 14, 0},                                       // 13, 14
    {u"=", 10, 0},   {u"<>", 10, 0},  {u"<=", 10, 0},  {u"<", 10, 0},    // 15..18
    {u">=", 10, 0},  {u">", 10, 0},                                       // 19, 20
    {u"MOD", 15, 0}, {u"AND", 7, 0},  {u"OR", 6, 0},   {u"XOR", 6, 0},   // 21..24
    {u"&", 4, 0},                                                         // 25
    {u"PI", 0, 0},   {u"DEG", 0, 0},                                      // 26, 27: constants
    {u"ABS", 30, 1}, {u"INT", 30, 1}, {u"FIX", 30, 1}, {u"SGN", 30, 1}, {u"RND", 30, 1},
    {u"SQR", 30, 1}, {u"LOG", 30, 1}, {u"LN", 30, 1},  {u"EXP", 30, 1}, {u"SIN", 30, 1},
    {u"ASIN", 30, 1}, {u"COS", 30, 1}, {u"ACOS", 30, 1}, {u"TAN", 30, 1}, {u"ATN", 30, 1},
    {u"SINH", 30, 1}, {u"COSH", 30, 1}, {u"TANH", 30, 1}, {u"ASINH", 30, 1},
    {u"ACOSH", 30, 1}, {u"ATANH", 30, 1}, {u"FACT", 30, 1},           // 28..49
    {u"MIN", 30, 2}, {u"MAX", 30, 2}, {u"NCR", 30, 2}, {u"NPR", 30, 2},   // 50..53
    {u"IIF", 30, 3}, {u"ARRAY", 30, 3},                                   // 54, 55
    {u"USER1", 30, 0}, {u"USER2", 30, 0}, {u"USER3", 30, 0}, {u"USER4", 30, 0},
    {u"USER5", 30, 0}, {u"USER6", 30, 0}, {u"USER7", 30, 0}, {u"USER8", 30, 0},
    {u"USER9", 30, 0}, {u"USER_10", 30, 0}, {u"USER_11", 30, 0}, {u"USER_12", 30, 0},
    {u"USER_13", 30, 0}, {u"USER_14", 30, 0}, {u"USER_15", 30, 0}, {u"USER_16", 30, 0},
    {u"USER_17", 30, 0}, {u"USER_18", 30, 0}, {u"USER_19", 30, 0}, {u"USER_20", 30, 0},
    {u"LEN", 30, 1}, {u"ASC", 30, 1}, {u"SPACE", 30, 1}, {u"STRING", 30, 2},  // 76..79
    {u"LEFT", 30, 2}, {u"RIGHT", 30, 2}, {u"MID", 30, 3}, {u"INSTR", 30, 3},   // 80..83
}};

static_assert(kOpcodeRows[OpEnd].name.size() == 1 && kOpcodeRows[OpEnd].name[0] == 0);
static_assert(kOpcodeRows[OpConcat].name == u"&" && kOpcodeRows[OpPi].name == u"PI");
static_assert(kOpcodeRows[OpArray].name == u"ARRAY" && kOpcodeRows[OpArray].args == 3);
static_assert(kOpcodeRows[OpUser1].name == u"USER1" && kOpcodeRows[OpUser20].name == u"USER_20");
static_assert(kOpcodeRows[OpLen].name == u"LEN" && kOpcodeRows[OpInstr].name == u"INSTR");
static_assert(OpUser20 - OpUser1 + 1 == kMaxUserFuncs);
