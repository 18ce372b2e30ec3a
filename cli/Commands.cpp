// The session's ':' commands: one table drives their dispatch, ":help" and Tab completion.
#include <algorithm>
#include <array>
#include <string>

#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "cli/Session.h"
#include "engine/Utf8.h"

std::span<const Session::Command> Session::Commands() {
  static constexpr std::array<Command, 13> kCommands = {{
      {":let", &Session::Let, "NAME = EXPR", "set a variable; ARRAY(i, ...) = EXPR sets an element"},
      {":def", &Session::Define, "Name(P, ...) = body", "define a function, or replace one (up to 20)"},
      {":undef", &Session::Undefine, "Name", "remove a function"},
      {":array", &Session::DefineArray, "A(3, 4)", "define an array: 1 to 4 bounds, indices from 0"},
      {":load", &Session::Load, "FILE", "read definitions and assignments, one a line (# comments)"},
      {":vars", &Session::ListVariables, "", "list the variables"},
      {":funcs", &Session::ListFunctions, "", "list the functions defined"},
      {":exprs", &Session::ListExpressions, "", "list the expressions compiled"},
      {":rpn", &Session::ShowListing, "[EXPR]", "the postfix listing of EXPR or of the last expression"},
      {":reset", &Session::Reset, "", "forget all variables, arrays, functions and expressions"},
      {":help", &Session::Help, "[NAME]", "this list, or one line on a function or a command"},
      {":quit", &Session::Quit, "", "leave"},
      {":q", &Session::Quit, "", "short for :quit"},
  }};
  return kCommands;
}

namespace {

// The command word and the rest of the line after it.
void SplitCommand(std::string_view line, std::string_view& word, std::string_view& rest) {
  const size_t end = line.find_first_of(" \t");
  word = line.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : Trim(line.substr(end));
}

const Session::Command* FindCommand(std::string_view word) {
  for (const Session::Command& command : Session::Commands())
    if (command.word == word) return &command;
  return nullptr;
}

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + ' ';
}

}  // namespace

bool Session::RunCommand(std::string_view line) {
  std::string_view word, rest;
  SplitCommand(line, word, rest);
  if (const Session::Command* command = FindCommand(word)) return (this->*command->run)(rest);
  Problem("unknown command " + std::string(word) + " (try :help)");
  return false;
}

bool Session::ListVariables(std::string_view) {
  for (int32_t i = 1; i <= engine_.NumVariables(); ++i) {
    const std::u16string name = engine_.VariableName(Variant(i));
    const auto record = engine_.BindVariable(name);  // stored already: nothing is created
    Out() << ToUtf8(name) << " = " << (record ? ToUtf8(record->Value.toText()) : "") << '\n';
  }
  return true;
}

bool Session::ListFunctions(std::string_view) {
  for (const std::u16string& definition : Definitions()) Out() << ToUtf8(definition) << '\n';
  return true;
}

bool Session::ListExpressions(std::string_view) {
  for (int32_t i = 1; i < engine_.NumExpressions(); ++i)
    Out() << i << ": " << ToUtf8(engine_.ExpressionText(Variant(i))) << '\n';
  return true;
}

bool Session::ShowListing(std::string_view expression) {
  if (expression.empty()) return PrintListing();
  std::u16string text = FromUtf8(expression);
  int16_t index = 0;
  return CompileOnly(text, index) && PrintListing();
}

bool Session::Reset(std::string_view) {
  engine_.Reset();
  return true;
}

bool Session::Quit(std::string_view) { return quit_ = true; }

// The lines of the operator name (two for "-"); false when it is none.
bool Session::ShowOperator(std::string_view name) {
  bool shown = false;
  for (const FunctionHelp& row : Operators())
    if (SameName(row.name, name)) Out() << row.usage << ": " << row.help << '\n', shown = true;
  return shown;
}

// One line on a function (built-in or the user's), an operator or a command; without a name, the
// commands and the names of the built-in functions and operators.
bool Session::Help(std::string_view name) {
  if (name.empty()) {
    Out() << "Type an expression to evaluate it; its result is kept in ANS. Commands:\n";
    for (const Session::Command& command : Commands())
      Out() << "  " << Padded(std::string(command.word) + " " + std::string(command.usage), 26) << command.help << '\n';
    Out() << "Functions (:help NAME explains one):\n";
    std::string line = " ";
    for (const FunctionHelp& row : BuiltinFunctions()) {
      if (line.size() + row.name.size() > 78) Out() << line << '\n', line = " ";
      line.append(" ").append(row.name);
    }
    if (settings_.extended)
      for (const FunctionHelp& row : ExtendedFunctions()) {
        if (line.size() + row.name.size() > 78) Out() << line << '\n', line = " ";
        line.append(" ").append(row.name);
      }
    Out() << line << '\n' << "Operators, tightest first (:help MOD explains one):\n ";
    const std::span<const FunctionHelp> operators = Operators();
    for (auto row = operators.begin(); row != operators.end(); ++row)
      if (std::none_of(operators.begin(), row, [&](const FunctionHelp& before) { return before.name == row->name; }))
        Out() << ' ' << row->name;
    Out() << '\n';
    return true;
  }
  const std::string word = name[0] == ':' ? std::string(name) : ":" + std::string(name);
  if (ShowOperator(name)) return true;
  const auto extended = [&]() -> const FunctionHelp* {
    if (settings_.extended)
      for (const FunctionHelp& row : ExtendedFunctions())
        if (ToUtf8(qv::UpperCase(FromUtf8(name))) == row.name) return &row;
    return nullptr;
  };
  if (const FunctionHelp* row = FindBuiltin(name)) {
    Out() << row->usage << ": " << row->help << '\n';
  } else if (const FunctionHelp* more = extended()) {
    Out() << more->usage << ": " << more->help << '\n';
  } else if (int index = FunctionIndex(FromUtf8(name)); index >= 0) {
    Out() << ToUtf8(Definitions()[size_t(index)]) << ": a function of yours\n";
  } else if (const Session::Command* command = FindCommand(word)) {
    Out() << command->word << ' ' << command->usage << ": " << command->help << '\n';
  } else if (const FunctionHelp* alias = FindAlias(name)) {
    Out() << name << " is called " << alias->name << " here. " << alias->usage << ": " << alias->help << '\n';
  } else {
    Problem("no function or command " + std::string(name) + " (try :help)");
    return false;
  }
  return true;
}
