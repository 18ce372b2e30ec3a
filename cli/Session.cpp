#include "cli/Session.h"

#include <cctype>

#include "cli/Output.h"
#include "control/Utf8.h"

namespace {

// Expression numbers are 16 bits wide; a long session starts the store afresh before it runs
// out (variables and functions stay), instead of failing every later expression.
constexpr int32_t kMaxStoredExpressions = 32000;

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsName(std::string_view name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (unsigned char c : name)
    if (!std::isalnum(c) && c != '_' && c < 0x80) return false;
  return true;
}

}  // namespace

bool SplitAssignment(std::string_view text, std::string& name, std::string& expression) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  name = std::string(Trim(text.substr(0, eq)));
  expression = std::string(Trim(text.substr(eq + 1)));
  return IsName(name) && !expression.empty();
}

Session::Session(std::ostream& out, std::ostream& err, bool showRpn)
    : out_(out), err_(err), showRpn_(showRpn) {}

std::string Session::Where() const { return line_ > 0 ? "line " + std::to_string(line_) + ": " : ""; }

// Blank lines and lines holding only a comment are skipped.
bool Session::HandleLine(std::string_view line, bool& quit) {
  const std::string_view text = Trim(line);
  if (text.empty() || text[0] == '\'') return true;
  if (text[0] == ':') return Command(text, quit);
  return Evaluate(text);
}

// The result is printed and kept in ANS for the next expression.
bool Session::Evaluate(std::string_view expression) {
  Variant result;
  if (!Compute(expression, result, showRpn_)) return false;
  out_ << ResultText(result) << '\n';
  if (auto ans = engine_.BindVariable(u"ANS")) ans->Value = result;
  return true;
}

bool Session::Let(std::string_view assignment) {
  std::string name, expression;
  if (!SplitAssignment(assignment, name, expression)) {
    PrintProblem(err_, Where(), "expected NAME = EXPR");
    return false;
  }
  Variant result;
  if (!Compute(expression, result, false)) return false;
  if (auto variable = engine_.BindVariable(FromUtf8(name))) variable->Value = result;
  return true;
}

bool Session::CompileOnly(std::u16string& text, int16_t& index) {
  if (engine_.NumExpressions() >= kMaxStoredExpressions) engine_.ResetCompiledExpressions();
  index = 0;
  engine_.Compile(text, index);
  if (engine_.ErrorCode() == 0) return true;
  PrintError(err_, {Where(), engine_.ErrorCode(), engine_.ErrorDescription(), text, engine_.ErrorPos()});
  engine_.ClearError();
  return false;
}

bool Session::Compute(std::string_view expression, Variant& result, bool listing) {
  std::u16string text = FromUtf8(expression);
  int16_t index = 0;
  if (!CompileOnly(text, index)) return false;
  if (listing) PrintListing();  // an expression without a listing still evaluates
  int32_t which = index;
  result = engine_.Value(which);
  if (engine_.ErrorCode() == 0) return true;
  PrintError(err_, {Where(), engine_.ErrorCode(), engine_.ErrorDescription(), {}, 0});
  engine_.ClearError();
  return false;
}

// The listing of the expression last compiled; an array access has no name in the listing,
// which the engine reports as a failure.
bool Session::PrintListing() {
  try {
    const std::string listing = ToUtf8(engine_.RPNExpression());
    out_ << "rpn:" << listing << '\n';
    return true;
  } catch (const qvRuntimeError& failure) {
    PrintProblem(err_, Where(), "no listing: error " + std::to_string(failure.Number) + ": " +
                                    ToUtf8(failure.Description));
    return false;
  }
}

bool Session::CheckDefinition() {
  if (engine_.ErrorCode() == 0) return true;
  PrintError(err_, {Where(), engine_.ErrorCode(), engine_.ErrorDescription(), {}, 0});
  engine_.ClearError();
  return false;
}

// The engine keeps a failed definition's earlier error, so the state is cleared first.
bool Session::Define(std::string_view definition) {
  std::u16string text = FromUtf8(definition);
  engine_.ClearError();
  engine_.UserFunc(text);
  return CheckDefinition();
}

bool Session::DefineArray(std::string_view definition) {
  std::u16string text = FromUtf8(definition);
  engine_.ClearError();
  engine_.DefineArray(text);
  return CheckDefinition();
}
