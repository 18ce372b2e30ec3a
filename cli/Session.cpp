#include "cli/Session.h"

#include <algorithm>
#include <utility>

#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "cli/Output.h"
#include "control/DefinitionText.h"
#include "engine/Utf8.h"

namespace {

// Expression numbers are 16 bits wide; a long session starts the store afresh before it runs
// out (variables and functions stay), instead of failing every later expression.
constexpr int32_t kMaxStoredExpressions = 32000;

}  // namespace

// The engine's strict profile unless lenient: a failing step of an evaluation is an error, a
// name is a variable only once it has been given a value, and an input that is no finite number
// fails what reads it.
Session::Session(std::ostream& out, std::ostream& err, const SessionSettings& settings)
    : out_(out), err_(err), settings_(settings) {
  engine_.SetStrict(!settings.lenient);
  if (settings.extended) qvAddExtendedFunctions(engine_);
}

bool Session::TakePrinted() { return std::exchange(printed_, false); }

std::ostream& Session::Out() {
  printed_ = true;
  return out_;
}

KnownNames Session::Names() {
  KnownNames names;
  for (int32_t i = 1; i <= engine_.NumVariables(); ++i)
    names.variables.push_back(ToUtf8(engine_.VariableName(Variant(i))));
  for (int32_t i = 1; i <= engine_.ArraysCount(); ++i)
    names.arrays.push_back(ToUtf8(engine_.ArrayName(Variant(i))));
  for (const std::u16string& definition : Definitions())
    names.functions.push_back(ToUtf8(SplitDefinition(definition).name));
  return names;
}

// Blank lines and lines holding only a comment are skipped. The words other programs leave or
// ask for help with point to the commands, unless the user has a variable of that name.
bool Session::HandleLine(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text[0] == '\'') return true;
  if (text[0] == ':') return RunCommand(text);
  if (const std::string_view command = PromptWordCommand(text); !command.empty()) {
    Problem(std::string(text) + " is not an expression: type " + std::string(command) +
            (command == ":quit" ? " to leave" : " for the commands and functions"));
    return false;
  }
  return Evaluate(text);
}

std::string_view Session::PromptWordCommand(std::string_view text) {
  for (const auto& [word, command] : {std::pair{"exit", ":quit"}, {"quit", ":quit"}, {"help", ":help"}, {"?", ":help"}})
    if (SameName(text, word)) {
      const auto names = Names().variables;
      const bool variable = std::any_of(names.begin(), names.end(), [&](const std::string& name) { return SameName(name, text); });
      return variable ? std::string_view() : std::string_view(command);
    }
  return {};
}

// The result is printed and kept in ANS for the next expression.
bool Session::Evaluate(std::string_view expression) {
  Variant result;
  if (!Compute(expression, result, settings_.showRpn)) return false;
  Out() << ToUtf8(result.toText()) << '\n';
  if (auto ans = engine_.BindVariable(u"ANS")) ans->Value = result;
  return true;
}

// NAME = EXPR creates or sets a variable; NAME(i, ...) = EXPR sets an element of an array.
bool Session::Let(std::string_view assignment) {
  Assignment parts;
  if (!SplitAssignment(assignment, parts)) {
    Problem("expected NAME = EXPR or ARRAY(i, ...) = EXPR");
    return false;
  }
  const std::u16string name = FromUtf8(parts.name);
  if (FunctionIndex(name) >= 0 || FindBuiltin(parts.name)) {
    Problem(std::string(parts.name) + " is a function, not a variable");
    return false;
  }
  if (parts.element) return SetElement(parts.name, parts.subscripts, parts.expression);
  int16_t slot = 0, dims = 0;
  std::vector<int16_t> bounds;
  engine_.GetArrayDetails(name, slot, dims, bounds);
  if (slot != 0) {
    Problem(std::string(parts.name) + " is an array: set one element, as in " + std::string(parts.name) + "(0) = 1");
    return false;
  }
  Variant result;
  if (!Compute(parts.expression, result, false)) return false;
  if (auto variable = engine_.BindVariable(name)) variable->Value = result;
  return true;
}

bool Session::CompileOnly(std::u16string& text, int16_t& index) {
  if (engine_.NumExpressions() >= kMaxStoredExpressions) engine_.ResetCompiledExpressions();
  index = 0;
  engine_.Compile(text, index);
  if (engine_.ErrorCode() == 0) return true;
  ReportEngineError(text);
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
  ReportEngineError({});
  return false;
}

// The listing of the expression last compiled; an array access has no name in the listing,
// which the engine reports as a failure.
bool Session::PrintListing() {
  try {
    const std::string listing = ToUtf8(engine_.RPNExpression());
    Out() << "rpn:" << listing << '\n';
    return true;
  } catch (const qvRuntimeError& failure) {
    Problem("no listing: error " + std::to_string(failure.Number) + ": " + ToUtf8(failure.Description));
    return false;
  }
}

void Session::ReportEngineError(std::u16string_view text) {
  Report(engine_.ErrorCode(), engine_.ErrorDescription(), text, text.empty() ? 0 : engine_.ErrorPos(), Names());
  engine_.ClearError();
}

void Session::Report(int32_t code, const std::u16string& description, std::u16string_view text,
                     int32_t position, const KnownNames& names, std::string_view note) {
  ErrorReport report{where_, code, description, std::u16string(text), position, std::string(note)};
  if (const std::string hint = Hint(code, description, text, position, names); !hint.empty())
    report.hint = "did you mean " + hint + "?";
  PrintError(err_, report, settings_.colour);
}

void Session::Problem(std::string_view message) { PrintProblem(err_, where_, message); }
