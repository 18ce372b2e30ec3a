// The compiler: infix text to postfix instructions in one left-to-right pass, with an operator
// stack, an argument-count stack and a running count of values (operator precedence parsing
// without a token list). The opcode table's priorities and argument roles drive it.
#include <algorithm>
#include <array>

#include "engine/compile/Compiler.h"

#include "engine/Messages.h"
#include "engine/compile/NearestName.h"
#include "engine/compile/Scanner.h"

namespace qv {
namespace {
constexpr int kStackTop = 40;  // both stacks have entries 0 to 40; entry 0 is never written
// On the operator stack a host function's call waiting for its arguments is kHostEntry + k, k
// its index in the compiler's list of the functions called.
constexpr int16_t kHostEntry = 20000;

// Under the strict profile: the variable or array a misspelt name may have meant; empty when none
// is close.
std::u16string SuggestedName(std::u16string_view Typed, const VariableTable& Variables, const ArrayStore& Arrays) {
  std::vector<std::u16string> known;
  for (int32_t k = 1; k <= Variables.Store().Count(); ++k) known.push_back(Variables.Store().At(k)->Name);
  for (int16_t slot = 1; slot <= Arrays.ArraysCount(); ++slot)
    if (const ArrayEntry* entry = Arrays.Entry(slot)) known.push_back(entry->Name);
  return NearestName(Typed, known);
}
}  // namespace

// One compilation of the record R into which Compile stored the text.
class Compiler {
 public:
  Compiler(const CompileContext& context, CompiledExpression& record)
      : c_(context), errors_(context.Errors), table_(context.Opcodes), r_(record) {}
  bool Run();  // true when the end marker was reached without a failure

 private:
  enum class Step { Go, Stop };  // Stop: the compilation has ended (finished or failed)

  char16_t CharAt(int32_t pos) const { return qv::CharAt(text_, pos); }
  Step ReadOperand();
  Step ReadOperator();
  Step ReadName();
  Step ReadHostName(const std::u16string& upper);
  bool IsHost(int16_t op) const { return op >= kHostEntry; }
  const HostFunction& HostOf(int16_t op) const { return *hosts_[size_t(op - kHostEntry)]; }
  Step Reduce(int16_t arriving);
  Step Close(int16_t op);
  void Push(int16_t op);
  void Emit(int16_t op);
  void Append(int16_t op, Operand operand = {});
  int16_t Top() const { return ops_[size_t(opTop_)]; }
  int16_t ArgsOf(int16_t op) const;
  uint8_t PriorityOf(int16_t op) const;
  int16_t& Frame();
  Step Fail(int32_t code, std::u16string description);
  Step SyntaxError(std::u16string_view detail = {});
  Step WrongArguments();
  void Finish();
  void KeepFullArrays();

  const CompileContext& c_;
  ErrorState& errors_;
  const OpcodeTable& table_;
  CompiledExpression& r_;
  std::u16string text_;  // the working text: the record's text and the end marker
  int32_t cursor_ = 1;
  std::array<int16_t, kStackTop + 1> ops_{};
  std::array<int16_t, kStackTop + 1> args_{};
  int16_t opTop_ = 0;
  int16_t argTop_ = 0;
  std::vector<std::shared_ptr<const HostFunction>> hosts_;  // the host functions called so far
  std::array<int16_t, kStackTop + 1> hostArgs_{};  // a closed host call's argument count, by stack entry
  int32_t values_ = 0;  // values the emitted code leaves on the evaluation stack
  bool expectOperator_ = false;
  bool finished_ = false;  // the end marker was reached without a failure
};

// Main loop: skip blanks, note the position, then read an operand or an operator.
bool Compiler::Run() {
  r_.Compiled.reset();  // the previous code's program must not outlive it
  r_.Count = 0;
  errors_.SetSource(c_.Source);
  // Room for every instruction the text can give (each comes from at least one character of it),
  // so that no array grows during the pass; instruction 0 is never used.
  const size_t room = std::min(r_.Text.size() + 2, size_t(kMaxInstructions) + 1);
  r_.Opcodes.clear();
  r_.Operands.clear();
  r_.Opcodes.reserve(room);
  r_.Operands.reserve(room);
  r_.Opcodes.push_back(OpNone);
  r_.Operands.emplace_back();
  errors_.Set(0, {});
  try {
    text_ = r_.Text;
    text_.push_back(u'\0');
    if (text_.size() > size_t(INT32_MAX) - 2) RaiseRuntimeError(kErrOverflow);
    Push(OpStart);
    cursor_ = 1;
    for (;;) {
      SkipBlanks(errors_, text_, cursor_);
      errors_.SetPos(cursor_);
      if ((expectOperator_ ? ReadOperator() : ReadOperand()) == Step::Stop) break;
    }
  } catch (...) {
    KeepFullArrays();
    throw;
  }
  if (!finished_) KeepFullArrays();
  return finished_;
}

// After a failure the arrays have indices 0 to 300, or to Count when more were counted.
void Compiler::KeepFullArrays() {
  const size_t size = std::max(size_t(kMaxInstructions) + 1, size_t(r_.Count) + 1);
  r_.Opcodes.resize(size, OpNone);
  r_.Operands.resize(size);
}

// <operand> = number | string | "+" | "-" | "(" | name
Compiler::Step Compiler::ReadOperand() {
  const char16_t c = CharAt(cursor_);
  if (IsDigit(c) || c == u'.') {
    Variant v = GetNumber(errors_, text_, cursor_);
    if (Top() == OpNegate) {  // the literal absorbs a pending unary minus
      if (v.kind() == Variant::Kind::Int32) v = Variant(int32_t(-v.asWhole()));
      else if (v.isDouble()) v = Variant(-v.asDouble());
      --opTop_;
    }
    Append(OpLoad, {std::move(v), nullptr});
  } else if (c == u'"') {
    std::u16string s;
    if (!GetString(errors_, text_, cursor_, s)) return SyntaxError(msg::kMissingDelimiter);
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
  std::u16string name = GetName(errors_, text_, cursor_);
  std::u16string upper = UpperCase(name);
  int16_t f = table_.FunctionNamed(upper);
  if (f == 0 && c_.Hosts && (c_.Hosts->Constant(upper) || c_.Hosts->Function(upper))) return ReadHostName(upper);
  if (f == OpNot) {
    Push(OpNot);
    return Step::Go;
  }
  if (f != 0 && table_.Args(f) == 0) {  // PI, DEG, user functions without arguments
    Append(f);
    ++values_;
    expectOperator_ = true;
    if (CharAt(cursor_) == u'(' && CharAt(cursor_ + 1) == u')') cursor_ += 2;
    return Step::Go;
  }
  int16_t callee = f != 0 ? f : int16_t(-c_.Arrays.FindArray(upper));
  if (callee != 0) {
    if (CharAt(cursor_) != u'(') {
      if (f != 0) return SyntaxError(msg::kMissingBrackets);
      return SyntaxError(std::u16string(msg::kArrayExpected) + c_.Arrays.ArrayNameWithDims(Variant(int32_t(-callee))));
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
  bool create = c_.CreateVariables;
  std::shared_ptr<qvVariable> var = c_.Variables.Store().Find(name);
  if (!var) var = c_.Variables.xVariable(Variant(name), create);
  if (!var) {
    std::u16string text = std::u16string(msg::kUndefinedVariable) + u": " + name;
    if (c_.Strict) text += DidYouMean(SuggestedName(name, c_.Variables, c_.Arrays));
    return Fail(3, std::move(text));
  }
  Append(OpLoad, {Variant(), std::move(var)});
  ++values_;
  expectOperator_ = true;
  return Step::Go;
}

// A host constant compiles to a load of its value; a host function's call waits on the operator
// stack like a built-in function's (with a frame as wide as its most arguments), or, without
// arguments, is emitted at once like PI.
Compiler::Step Compiler::ReadHostName(const std::u16string& upper) {
  if (std::optional<double> value = c_.Hosts->Constant(upper)) {
    Append(OpLoad, {Variant(*value), nullptr});
    ++values_;
    expectOperator_ = true;
    return Step::Go;
  }
  std::shared_ptr<const HostFunction> f = c_.Hosts->Function(upper);
  if (!f) return Step::Go;
  const qvFunction& fn = f->Function;
  const bool empty = CharAt(cursor_) == u'(' && CharAt(cursor_ + 1) == u')';
  if (fn.MinArgs <= 0 && (fn.MaxArgs == 0 || empty || CharAt(cursor_) != u'(')) {
    if (empty) cursor_ += 2;
    Append(OpHost, {Variant(), nullptr, HostCall{std::move(f), 0}});
    ++values_;
    expectOperator_ = true;
    return Step::Go;
  }
  if (CharAt(cursor_) != u'(') return SyntaxError(msg::kMissingBrackets);
  if (hosts_.size() >= size_t(kStackTop) * 4) RaiseRuntimeError(kErrSubscript);
  hosts_.push_back(std::move(f));
  Push(int16_t(kHostEntry + int16_t(hosts_.size() - 1)));
  Push(OpOpen);
  ++cursor_;
  --argTop_;
  return Step::Go;
}

// An operator where one is expected: find it, check word-operator spacing, reduce, then act.
Compiler::Step Compiler::ReadOperator() {
  const char16_t before = CharAt(cursor_ - 1);
  const int16_t op = table_.OperatorAt(text_, cursor_);
  if (op == 0) {
    const bool inText = cursor_ >= 1 && size_t(cursor_) <= text_.size();
    std::u16string shown = inText ? std::u16string(1, CharAt(cursor_)) : u"";
    return Fail(4, std::u16string(msg::kUnknownOperator) + u"'" + shown + u"' ");
  }
  if (OpcodeTable::Kind(op) == OpKind::WordOperator) {
    const char16_t after = CharAt(cursor_);
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
      if (opTop_ >= 2 && IsHost(ops_[size_t(opTop_ - 1)])) {
        // The frame counted down from the most arguments: what is left tells how many came.
        const HostFunction& f = HostOf(ops_[size_t(opTop_ - 1)]);
        const int given = ArgsOf(ops_[size_t(opTop_ - 1)]) - Frame();
        if (given < f.Function.MinArgs) return WrongArguments();
        hostArgs_[size_t(opTop_ - 1)] = int16_t(given);
      } else if (Frame() != 0) {
        return WrongArguments();
      }
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
  errors_.SetPos(0);
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
  if (IsHost(op)) {
    const int16_t given = hostArgs_[size_t(opTop_)];
    Append(OpHost, {Variant(), nullptr, HostCall{hosts_[size_t(op - kHostEntry)], given}});
    values_ -= given - 1;
    return;
  }
  Append(op);
  int16_t n = ArgsOf(op);
  if (n > 0) values_ -= n - 1;
  else if (OpcodeTable::Kind(op) == OpKind::Operator || OpcodeTable::Kind(op) == OpKind::WordOperator)
    values_ -= 1;
}

void Compiler::Append(int16_t op, Operand operand) {
  CompiledExpression& r = r_;
  ++r.Count;
  // Past the capacity every further instruction is reported without throwing: a long text may
  // run a million instructions past it, and an exception each would cost seconds.
  if (r.Count > kMaxInstructions) {
    errors_.Report(u"AppendToCompiled", qvRuntimeError(kErrSubscript));
    return;
  }
  errors_.Guarded(u"AppendToCompiled", [&] {
    if (r.Opcodes.size() <= size_t(r.Count)) {  // within the room reserved: no reallocation
      r.Opcodes.resize(size_t(r.Count) + 1, OpNone);
      r.Operands.resize(size_t(r.Count) + 1);
    }
    r.Opcodes[size_t(r.Count)] = op;
    r.Operands[size_t(r.Count)] = std::move(operand);
  });
}

// Argument roles; an array reference takes as many values as the array has dimensions.
// A host function's frame is as wide as its most arguments (the stack's depth for any number).
int16_t Compiler::ArgsOf(int16_t op) const {
  if (IsHost(op)) {
    const int most = HostOf(op).Function.MaxArgs;
    return int16_t(most < 0 || most > kMaxHostArgs ? kMaxHostArgs : std::max(most, 1));
  }
  return op >= 0 ? table_.Args(op) : c_.Arrays.ArrayDims(-op);
}

// Priorities; a waiting array reference binds like a function (the priority of "ARRAY").
uint8_t Compiler::PriorityOf(int16_t op) const {
  return table_.Priority(op < 0 ? int16_t(OpArray) : IsHost(op) ? int16_t(OpHost) : op);
}

int16_t& Compiler::Frame() {
  if (argTop_ < 0) RaiseRuntimeError(kErrSubscript);
  return args_[size_t(argTop_)];
}

Compiler::Step Compiler::Fail(int32_t code, std::u16string description) {
  errors_.Set(code, std::move(description));
  return Step::Stop;
}

Compiler::Step Compiler::SyntaxError(std::u16string_view detail) {
  return Fail(1, std::u16string(msg::kSyntaxError).append(detail));
}

// Names the entry just below the top of the operator stack: a function, an array, or nothing.
Compiler::Step Compiler::WrongArguments() {
  int16_t below = opTop_ >= 1 ? ops_[size_t(opTop_ - 1)] : int16_t(OpNone);
  std::u16string name = below < 0   ? c_.Arrays.ArrayNameWithDims(Variant(int32_t(-below)))
                        : IsHost(below) ? HostOf(below).Name
                                        : table_.Name(below);
  return Fail(5, std::u16string(msg::kWrongArgCount) + name);
}

bool CompilePass(const CompileContext& Context, CompiledExpression& Record) {
  return Compiler(Context, Record).Run();
}

}  // namespace qv
