// Why a sub-step failed, and the failing instruction written out.
#include "engine/eval/Failures.h"

#include <cmath>

#include "engine/Messages.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/eval/Machine.h"
#include "engine/eval/NumberFormat.h"

namespace qv {

namespace {

bool IsNumberlessText(const Variant& v) {
  double x;
  return v.isText() && !v.toNumber(x);
}

// Whether the argument a count, a position or a whole-number operand is read from fits 32 bits.
bool WholeFits(const Variant& v) {
  int32_t n;
  return v.isText() || v.toWhole(n);
}

// The arguments of an instruction that are read as numbers: all of them, but the texts of the
// text functions (LEFT's and RIGHT's text, MID's text, INSTR's two texts, LEN, ASC, STRING's
// character) and both sides of "&", "+" and the comparisons, which take any value.
bool ReadsNumber(int16_t op, int k) {
  switch (op) {
    case OpLen: case OpAsc: case OpConcat: case OpAdd: return false;
    case OpString: return k == 0;
    case OpLeft: case OpRight: return k == 1;
    case OpMid: return k != 0;
    case OpInstr: return k == 0;
    default: return true;
  }
}

std::u16string Shown(ErrorState& errors, const Variant& v) {
  constexpr size_t kShown = 20;  // a long text is cut, so the message stays a line
  if (v.isText()) {
    const std::u16string& t = v.asText();
    return u"\"" + t.substr(0, kShown) + (t.size() > kShown ? u"...\"" : u"\"");
  }
  if (v.isEmpty()) return u"\"\"";
  return FormatReal(errors, v.asDouble());
}

}  // namespace

int32_t FailureNumber(int16_t Op, const Variant* Args, int Count) {
  for (int k = 0; k < Count; ++k)
    if (ReadsNumber(Op, k) && IsNumberlessText(Args[k])) return kErrTypeMismatch;
  const double last = Count > 0 ? Args[Count - 1].asDouble() : 0;
  switch (Op) {
    case OpMod: case OpIntDivide:
      if (!WholeFits(Args[0]) || !WholeFits(Args[1])) return kErrOverflow;
      return kErrDivisionByZero;  // the divisor rounded to 0
    case OpPower:
      return Args[0].asDouble() == 0 && last < 0 ? kErrDivisionByZero : kErrOverflow;
    case OpSqr: return last < 0 ? kErrInvalidArgument : kErrOverflow;
    case OpAsc: return kErrInvalidArgument;  // the empty text has no first character
    case OpAdd: case OpConcat: return kErrOutOfMemory;  // only a text too long fails them
    case OpSpace: case OpString: case OpLeft: case OpRight: case OpMid: case OpInstr:
      for (int k = 0; k < Count; ++k)
        if (ReadsNumber(Op, k) && !WholeFits(Args[k])) return kErrOverflow;
      for (int k = 0; k < Count; ++k)
        if (ReadsNumber(Op, k) && Args[k].asDouble() < (Op == OpMid || Op == OpInstr ? 1 : 0) &&
            !(Op == OpMid && k == 2 && Args[k].asDouble() >= 0))
          return kErrInvalidArgument;
      return Op == OpSpace || Op == OpString ? kErrOutOfMemory : kErrInvalidArgument;
    default:
      return Op < 0 ? kErrSubscript : kErrOverflow;
  }
}

std::u16string WrittenOut(ErrorState& Errors, std::u16string_view Name, int16_t Op, const Variant* Args,
                          int Count) {
  const OpKind kind = OpcodeTable::Kind(Op);
  std::u16string text;
  if ((kind == OpKind::Operator || kind == OpKind::WordOperator) && Count == 2) {
    text.append(u"(").append(Shown(Errors, Args[0])).append(u") ").append(Name).append(u" ");
    return text.append(Shown(Errors, Args[1]));
  }
  if (kind == OpKind::Unary && Count == 1) return std::u16string(Name).append(u" ").append(Shown(Errors, Args[0]));
  text.append(Name).append(u"(");
  for (int k = 0; k < Count; ++k) text.append(k ? u", " : u"").append(Shown(Errors, Args[k]));
  return text.append(u")");
}

void RecordDomain(int16_t Opcode, const Variant* Left, const Variant& Right, ErrorState& Failure) {
  if (Opcode == OpDivide || Opcode == OpIntDivide) {
    Failure.Set(6, std::u16string(msg::kDivByZero));
    return;
  }
  double x = 0, y = 0;
  Right.toNumber(y);
  std::u16string text;
  if (Opcode == OpPower) {
    if (Left) Left->toNumber(x);
    text.append(u"(").append(FormatReal(Failure, x)).append(msg::kPowerOf).append(FormatReal(Failure, y));
  } else {
    text.append(kOpcodeRows[size_t(Opcode)].name).append(u"(").append(FormatReal(Failure, y)).append(u")");
  }
  Failure.Set(6, std::move(text));
}

}  // namespace qv
