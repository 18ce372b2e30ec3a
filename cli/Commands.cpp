// The session's ':' commands.
#include <string>

#include "cli/Output.h"
#include "cli/Session.h"
#include "control/Utf8.h"

namespace {

// The command word and the rest of the line after it.
void SplitCommand(std::string_view line, std::string_view& word, std::string_view& rest) {
  const size_t end = line.find_first_of(" \t");
  word = line.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
  const size_t first = rest.find_first_not_of(" \t");
  rest = first == std::string_view::npos ? std::string_view() : rest.substr(first);
}

}  // namespace

bool Session::Command(std::string_view line, bool& quit) {
  std::string_view word, rest;
  SplitCommand(line, word, rest);
  if (word == ":let") return Let(rest);
  if (word == ":def") return Define(rest);
  if (word == ":array") return DefineArray(rest);
  if (word == ":vars") return ListVariables(), true;
  if (word == ":funcs") return ListFunctions(), true;
  if (word == ":exprs") return ListExpressions(), true;
  if (word == ":reset") return engine_.Reset(), true;
  if (word == ":help") return PrintHelp(), true;
  if (word == ":quit" || word == ":q") return quit = true;
  if (word == ":rpn") {
    if (rest.empty()) return PrintListing();
    std::u16string text = FromUtf8(rest);
    int16_t index = 0;
    return CompileOnly(text, index) && PrintListing();
  }
  PrintProblem(err_, Where(), "unknown command " + std::string(word) + " (try :help)");
  return false;
}

void Session::ListVariables() {
  for (int32_t i = 1; i <= engine_.NumVariables(); ++i) {
    const std::u16string name = engine_.VariableName(Variant(i));
    const auto record = engine_.BindVariable(name);  // stored already: nothing is created
    out_ << ToUtf8(name) << " = " << (record ? ResultText(record->Value) : "") << '\n';
  }
}

void Session::ListFunctions() {
  for (int16_t i = 1; i <= engine_.NumUserFuncs(); ++i)
    out_ << ToUtf8(engine_.UserFuncText(Variant(i))) << '\n';
}

void Session::ListExpressions() {
  for (int32_t i = 1; i < engine_.NumExpressions(); ++i)
    out_ << i << ": " << ToUtf8(engine_.ExpressionText(Variant(i))) << '\n';
}

void Session::PrintHelp() {
  out_ << "Type an expression to evaluate it; its result is kept in ANS. Commands:\n"
          "  :let NAME = EXPR          set a variable\n"
          "  :def Name(P, ...) = body  define a function (up to 20)\n"
          "  :array A(3, 4)            define an array (indices from 0 to the bound)\n"
          "  :vars  :funcs  :exprs     list variables, functions, expressions\n"
          "  :rpn [EXPR]               the postfix listing of EXPR or of the last expression\n"
          "  :reset                    forget everything\n"
          "  :help  :quit\n";
}
