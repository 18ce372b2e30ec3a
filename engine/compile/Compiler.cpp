// The compiler: infix text to postfix instructions in one left-to-right pass, with an operator
// stack, an argument-count stack and a running count of values (operator precedence parsing
// without a token list). The opcode table's priorities and argument roles drive it.
#include <algorithm>
#include <array>

#include "engine/Messages.h"
#include "engine/eval/DoubleProgram.h"
#include "engine/qvExpression.h"

namespace {
constexpr int kStackTop = 40;  // both stacks have entries 0 to 40; entry 0 is never written
constexpr int32_t kPastEnd = -1;  // "the character" past the end of a text: the empty text

bool IsDigit(int32_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(int32_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
}  // namespace

// One compilation of the record R into which Compile stored the text.
class Compiler {
 public:
  Compiler(qvExpression& engine, CompiledExpression& record) : e_(engine), r_(record) {}
  void Run();

 private:
  enum class Step { Go, Stop };  // Stop: the compilation has ended (finished or failed)

  int32_t CharAt(int32_t pos) const {
    return pos >= 1 && size_t(pos) <= text_.size() ? text_[size_t(pos - 1)] : kPastEnd;
  }
  Step ReadOperand();
  Step ReadOperator();
  Step ReadName();
  Step Reduce(int16_t arriving);
  Step Close(int16_t op);
  void Push(int16_t op);
  void Emit(int16_t op);
  void Append(int16_t op, ::Operand operand = {});
  int16_t Top() const { return ops_[size_t(opTop_)]; }
  int16_t ArgsOf(int16_t op) const;
  uint8_t PriorityOf(int16_t op) const;
  int16_t& Frame();
  Step Fail(int32_t code, std::u16string description);
  Step SyntaxError(std::u16string_view detail = {});
  Step WrongArguments();
  void Finish();
  void KeepFullArrays();

  qvExpression& e_;
  CompiledExpression& r_;
  std::u16string text_;  // the working text: the record's text and the end marker
  int32_t cursor_ = 1;
  std::array<int16_t, kStackTop + 1> ops_{};
  std::array<int16_t, kStackTop + 1> args_{};
  int16_t opTop_ = 0;
  int16_t argTop_ = 0;
  int32_t values_ = 0;  // values the emitted code leaves on the evaluation stack
  bool expectOperator_ = false;
  bool finished_ = false;  // the end marker was reached without a failure
};

// Main loop: skip blanks, note the position, then read an operand or an operator.
void Compiler::Run() {
  r_.Fast.reset();  // the previous code's derived form must not outlive it
  r_.Count = 0;
  e_.errorSource_ = e_.currentExpression_;
  // Room for every instruction the text can give (each comes from at least one character of it),
  // so that no array grows during the pass; instruction 0 is never used.
  const size_t room = std::min(r_.Text.size() + 2, size_t(kMaxInstructions) + 1);
  r_.Opcodes.clear();
  r_.Operands.clear();
  r_.Opcodes.reserve(room);
  r_.Operands.reserve(room);
  r_.Opcodes.push_back(OpNone);
  r_.Operands.emplace_back();
  e_.errorCode_ = 0;
  e_.errorDescription_.clear();
  try {
    text_ = r_.Text;
    text_.push_back(u'\0');
    if (text_.size() > size_t(INT32_MAX) - 2) RaiseRuntimeError(kErrOverflow);
    Push(OpStart);
    cursor_ = 1;
    for (;;) {
      e_.SkipBlanks(text_, cursor_);
      e_.errorPos_ = cursor_;
      if ((expectOperator_ ? ReadOperator() : ReadOperand()) == Step::Stop) break;
    }
  } catch (...) {
    KeepFullArrays();
    throw;
  }
  if (!finished_) KeepFullArrays();
}

// After a failure the arrays have indices 0 to 300, or to Count when more were counted.
void Compiler::KeepFullArrays() {
  const size_t size = std::max(size_t(kMaxInstructions) + 1, size_t(r_.Count) + 1);
  r_.Opcodes.resize(size, OpNone);
  r_.Operands.resize(size);
}

// <operand> = number | string | "+" | "-" | "(" | name
Compiler::Step Compiler::ReadOperand() {
  int32_t c = CharAt(cursor_);
  if (IsDigit(c) || c == u'.') {
    Variant v = e_.GetNumber(text_, cursor_);
    if (Top() == OpNegate) {  // the literal absorbs a pending unary minus
      if (v.kind() == Variant::Kind::Int32) v = Variant(int32_t(-v.asWhole()));
      else if (v.isDouble()) v = Variant(-v.asDouble());
      --opTop_;
    }
    Append(OpLoad, {std::move(v), nullptr});
  } else if (c == u'"') {
    std::u16string s = e_.GetString(text_, cursor_);
    if (e_.errorCode_ == 1) return SyntaxError(e_.errorDescription_);
    Append(OpLoad, {Variant(std::move(s)), nullptr});
  } else if (c == u'+') {
    ++cursor_;
    return Step::Go;
  } else if (c == u'-' || c == u'(') {
    Push(c == u'-' ? OpNegate : OpOpen);
    ++cursor_;
    return Step::Go;
  } else if (IsLetter(c)) {
    return ReadName();
  } else {
    return SyntaxError(c == 0 ? msg::kUnexpectedEnd : msg::kUnknownSymbol);
  }
  ++values_;
  expectOperator_ = true;
  return Step::Go;
}

// A name in operand position: NOT, a function, an array, or a variable (created when new).
Compiler::Step Compiler::ReadName() {
  std::u16string name = e_.GetName(text_, cursor_);
  std::u16string upper = UpperCase(name);
  int16_t f = e_.FunctionOpcode(upper);
  if (f == OpNot) {
    Push(OpNot);
    return Step::Go;
  }
  if (f != 0 && e_.opcodeArgs_[size_t(f)] == 0) {  // PI, DEG, user functions without arguments
    Append(f);
    ++values_;
    expectOperator_ = true;
    if (CharAt(cursor_) == u'(' && CharAt(cursor_ + 1) == u')') cursor_ += 2;
    return Step::Go;
  }
  int16_t callee = f != 0 ? f : e_.ArrayOpcode(upper);
  if (callee != 0) {
    if (CharAt(cursor_) != u'(') {
      if (f != 0) return SyntaxError(msg::kMissingBrackets);
      return SyntaxError(std::u16string(msg::kArrayExpected) + e_.ArrayNameWithDims(Variant(int32_t(-callee))));
    }
    Push(callee);
    Push(OpOpen);
    ++cursor_;
    --argTop_;  // the callee's frame counts the arguments, not the bracket's
    return Step::Go;
  }
  if (CharAt(cursor_) == u'(')
    return Fail(2, std::u16string(msg::kUnknownFunction) + u": " + name);
  // A name that starts with a letter never reads as a number, so a variable the store holds is
  // what the lookup-or-create operation would return; only a new name goes through it.
  bool create = e_.createVariables_;
  std::shared_ptr<qvVariable> var = e_.variables_.Find(name);
  if (!var) var = e_.xVariable(Variant(name), create);
  if (!var) return Fail(3, std::u16string(msg::kUndefinedVariable) + u": " + name);
  Append(OpLoad, {Variant(), std::move(var)});
  ++values_;
  expectOperator_ = true;
  return Step::Go;
}

// An operator where one is expected: find it, check word-operator spacing, reduce, then act.
Compiler::Step Compiler::ReadOperator() {
  int32_t before = CharAt(cursor_ - 1);
  int16_t op = e_.OperatorOpcode(text_, cursor_);
  if (op == 0) {
    int32_t c = CharAt(cursor_);
    std::u16string shown = c == kPastEnd ? u"" : std::u16string(1, char16_t(c));
    return Fail(4, std::u16string(msg::kUnknownOperator) + u"'" + shown + u"' ");
  }
  if (op >= OpMod && op <= OpXor) {
    int32_t after = CharAt(cursor_);
    if (!(before == u' ' || before == u')') || !(after == u' ' || after == u'('))
      return SyntaxError();
  }
  if (op != OpClose) expectOperator_ = false;
  if (Reduce(op) == Step::Stop) return Step::Stop;
  if (ArgsOf(op) == -1 && --Frame() < 0) return WrongArguments();
  return Close(op);
}

// Emits every waiting operator that binds at least as tightly as the arriving one.
Compiler::Step Compiler::Reduce(int16_t arriving) {
  uint8_t p = PriorityOf(arriving);
  for (;;) {
    int16_t t = Top();
    uint8_t tp = PriorityOf(t);
    if (tp == kBarrier || tp < p) return Step::Go;
    Emit(t);
    --opTop_;
    if (opTop_ < 0 || values_ <= 0) return SyntaxError();
  }
}

// What the end marker, "," and ")" do after reducing; other operators wait on the stack.
Compiler::Step Compiler::Close(int16_t op) {
  switch (op) {
    case OpEnd:
      if (opTop_ != 1) return SyntaxError();
      if (Frame() != 0) return WrongArguments();
      Finish();
      return Step::Stop;
    case OpClose:
      if (Top() != OpOpen) return SyntaxError();
      if (Frame() != 0) return WrongArguments();
      --opTop_;
      --argTop_;
      return Step::Go;
    case OpComma:
      return Frame() > 0 ? Step::Go : WrongArguments();
    default:
      Push(op);
      return Step::Go;
  }
}

// Success: the arrays are cut to the instructions they hold.
void Compiler::Finish() {
  finished_ = true;
  r_.Opcodes.resize(size_t(r_.Count) + 1);
  r_.Operands.resize(size_t(r_.Count) + 1);
  r_.Opcodes.shrink_to_fit();
  r_.Operands.shrink_to_fit();
  r_.Fast = DeriveDoubleProgram(r_);
  e_.errorPos_ = 0;
}

// Push: the entry goes on the operator stack; an item that takes values opens a frame for them.
// More than 40 entries on either stack is a run-time failure that ends the compilation.
void Compiler::Push(int16_t op) {
  if (opTop_ >= kStackTop) RaiseRuntimeError(kErrSubscript);
  ops_[size_t(++opTop_)] = op;
  int16_t n = ArgsOf(op);
  // An array reference opens its frame even for an array of no dimensions, so that A(1) on such
  // an array fails as a wrong argument count instead of closing the frame around it.
  if (n > 0 || op < 0) {
    if (argTop_ >= kStackTop) RaiseRuntimeError(kErrSubscript);
    args_[size_t(++argTop_)] = n;
    expectOperator_ = false;
  }
}

// Emitting an operator lowers the value count by what it consumes.
void Compiler::Emit(int16_t op) {
  Append(op);
  int16_t n = ArgsOf(op);
  if (n > 0) values_ -= n - 1;
  else if (op >= OpPower) values_ -= 1;
}

void Compiler::Append(int16_t op, ::Operand operand) {
  CompiledExpression& r = r_;
  ++r.Count;
  // Past the capacity every further instruction is reported without throwing: a long text may
  // run a million instructions past it, and an exception each would cost seconds.
  if (r.Count > kMaxInstructions) {
    e_.ReportError(u"AppendToCompiled", qvRuntimeError(kErrSubscript));
    return;
  }
  e_.Guarded(u"AppendToCompiled", [&] {
    if (r.Opcodes.size() <= size_t(r.Count)) {  // within the room reserved: no reallocation
      r.Opcodes.resize(size_t(r.Count) + 1, OpNone);
      r.Operands.resize(size_t(r.Count) + 1);
    }
    r.Opcodes[size_t(r.Count)] = op;
    r.Operands[size_t(r.Count)] = std::move(operand);
  });
}

// Argument roles; an array reference takes as many values as the array has dimensions.
int16_t Compiler::ArgsOf(int16_t op) const {
  if (op >= 0) return op < kOpcodeCount ? e_.opcodeArgs_[size_t(op)] : 0;
  int k = -op;
  return k <= e_.arraysCount_ && size_t(k) < e_.arrays_.size() ? e_.arrays_[size_t(k)].NumDims : 0;
}

// Priorities; a waiting array reference binds like a function (the priority of "ARRAY").
uint8_t Compiler::PriorityOf(int16_t op) const {
  if (op < 0) return e_.opcodePriority_[OpArray];
  return op < kOpcodeCount ? e_.opcodePriority_[size_t(op)] : 0;
}

int16_t& Compiler::Frame() {
  if (argTop_ < 0) RaiseRuntimeError(kErrSubscript);
  return args_[size_t(argTop_)];
}

Compiler::Step Compiler::Fail(int32_t code, std::u16string description) {
  e_.SetError(code, std::move(description));
  return Step::Stop;
}

Compiler::Step Compiler::SyntaxError(std::u16string_view detail) {
  return Fail(1, std::u16string(msg::kSyntaxError).append(detail));
}

// Names the entry just below the top of the operator stack: a function, an array, or nothing.
Compiler::Step Compiler::WrongArguments() {
  int16_t below = opTop_ >= 1 ? ops_[size_t(opTop_ - 1)] : int16_t(OpNone);
  std::u16string name = below < 0 ? e_.ArrayNameWithDims(Variant(int32_t(-below))) : e_.OpcodeName(below);
  return Fail(5, std::u16string(msg::kWrongArgCount) + name);
}

// ---- the engine's side ----

// Compile: cut the comment, allot the index (the next one for an index below 1), store the text
// and compile it. An index from 1 to the highest recompiles that record in place.
void qvExpression::Compile(std::u16string& Text, int16_t& Index) {
  Guarded(u"Compile", [&] {
    std::u16string text = StripComments(Text);
    if (text.empty()) text = u"0";
    int32_t upper = int32_t(expressions_.size()) - 1;
    if (Index < 1) {
      if (upper + 1 > INT16_MAX) RaiseRuntimeError(kErrOverflow);
      Index = int16_t(upper + 1);
    }
    if (Index > upper) expressions_.resize(size_t(Index) + 1);
    currentExpression_ = Index;
    expressions_[size_t(Index)].Text = std::move(text);
    CompileExpression();
  });
}

void qvExpression::CompileExpression() {
  Guarded(u"CompileExpression", [&] {
    Compiler(*this, expressions_[size_t(currentExpression_)]).Run();
  });
}

// The first of opcodes 6 to 25 whose name stands at the cursor, compared without regard to case
// (so "<>" and "<=" win over "<"); the cursor moves past it. 0 when none.
int16_t qvExpression::OperatorOpcode(std::u16string_view Text, int32_t& Cursor) {
  int16_t found = 0;
  Guarded(u"OperatorOpcode", [&] {
    if (Cursor < 1 || size_t(Cursor) > Text.size()) return;
    std::u16string_view rest = Text.substr(size_t(Cursor - 1));
    for (int16_t op = OpEnd; op <= OpConcat; ++op) {
      const std::u16string& name = opcodeNames_[size_t(op)];  // upper case
      if (rest.size() >= name.size() && UpperCase(rest[0]) == name[0] &&
          EqualNoCase(rest.substr(0, name.size()), name)) {
        Cursor += int32_t(name.size());
        found = op;
        return;
      }
    }
  });
  return found;
}

// Function names are opcodes 26 to 83 (user functions included); "NOT" is 5.
int16_t qvExpression::FunctionOpcode(std::u16string_view UpperName) {
  for (int16_t op = OpPi; op <= OpInstr; ++op) {
    const std::u16string& name = opcodeNames_[size_t(op)];
    if (name.size() == UpperName.size() && EqualNoCase(name, UpperName)) return op;
  }
  return EqualNoCase(UpperName, u"NOT") ? int16_t(OpNot) : int16_t(0);
}

int16_t qvExpression::ArrayOpcode(std::u16string_view UpperName) {
  return int16_t(-FindArray(UpperName));
}
