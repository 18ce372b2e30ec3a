// The user's functions. The engine gives each definition the next of its twenty slots and never
// frees one, so the session keeps its own list of definitions and, to replace or remove a
// function or to undo a definition that failed, defines the list afresh.
#include "cli/Names.h"
#include "cli/Session.h"
#include "control/DefinitionText.h"
#include "engine/Utf8.h"

namespace {

std::u16string_view BodyOf(std::u16string_view definition) {
  std::u16string_view body = definition.substr(SplitDefinition(definition).bodyStart);
  return body.substr(0, body.find_last_not_of(u' ') + 1);
}

}  // namespace

int Session::FunctionIndex(std::u16string_view name) const {
  for (size_t i = 0; i < definitions_.size(); ++i)
    if (qv::EqualNoCase(SplitDefinition(definitions_[i]).name, name)) return int(i);
  return -1;
}

// Compiled calls name a function by its slot, so the expressions compiled so far go too.
void Session::Rebuild(std::vector<std::u16string> list) {
  engine_.ResetUserFuncs();
  engine_.ResetCompiledExpressions();
  for (std::u16string& definition : list) engine_.UserFunc(definition);
  definitions_ = std::move(list);
}

// A definition of a name already defined replaces that function in its slot; a definition that
// fails leaves the functions as they were.
bool Session::Define(std::string_view definition) {
  const std::string_view trimmed = Trim(definition);
  if (trimmed.empty() || trimmed[0] == '\'') {
    Problem("expected Name(P, ...) = body");
    return false;
  }
  std::u16string text = FromUtf8(trimmed);
  // ANS holds the last result; a function of that name would hide it from every expression.
  if (const std::string name = ToUtf8(SplitDefinition(text).name); SameName(name, "ANS")) {
    Problem(name + " is the calculator's own name (the last result), not a function's: choose another");
    return false;
  }
  const std::vector<std::u16string> before = definitions_;
  const int replaced = FunctionIndex(SplitDefinition(text).name);
  engine_.ClearError();
  if (replaced >= 0) {
    std::vector<std::u16string> after = before;
    after[size_t(replaced)] = text;
    Rebuild(std::move(after));
  } else {
    engine_.UserFunc(text);  // writes back the text without its comment
    definitions_.push_back(text);
  }
  const size_t slot = replaced >= 0 ? size_t(replaced) + 1 : definitions_.size();
  if (engine_.ErrorCode() != 0) {
    ReportEngineError(BodyOf(definitions_[slot - 1]));
  } else if (settings_.lenient || BodyNamesKnown(definitions_[slot - 1])) {
    return true;
  }
  Rebuild(before);
  return false;
}

// A body sees only its parameters, so any other name in it would read 0 in every call: unless
// the session is lenient, such a name is refused as undefined, as the body's own error.
bool Session::BodyNamesKnown(std::u16string_view definition) {
  const DefinitionParts parts = SplitDefinition(definition);
  qvExpression body;
  body.SetCreateVariables(false);
  KnownNames params;
  for (std::u16string_view param : parts.params) {
    body.Variable(Variant(param), -1.0);
    params.variables.push_back(ToUtf8(param));
  }
  std::u16string text(BodyOf(definition));
  int16_t index = 0;
  body.Compile(text, index);
  if (body.ErrorCode() == 0) return true;
  // A variable of the session is the likely meaning; the note says why it cannot be used.
  const std::u16string description = body.ErrorDescription();
  const std::string name = ToUtf8(description.substr(description.find(u": ") + 2));
  std::string_view note;
  for (const std::string& variable : Names().variables)
    if (SameName(variable, name)) note = "a function's body sees only its parameters";
  Report(body.ErrorCode(), description + u" in User Function '" + std::u16string(parts.name) + u"'",
         text, body.ErrorPos(), params, note);
  return false;
}

bool Session::Undefine(std::string_view name) {
  const int index = FunctionIndex(FromUtf8(name));
  if (index < 0) {
    Problem("no function " + std::string(name) + " (:funcs lists them)");
    return false;
  }
  std::vector<std::u16string> after = definitions_;
  after.erase(after.begin() + index);
  engine_.ClearError();
  Rebuild(std::move(after));
  return true;
}
