// The user's functions, as the engine keeps them under its profile: under the strict one (the
// calculator's own unless --lenient) a definition of a name already defined replaces that
// function, one that fails leaves the functions as they were, and a body that names anything but
// its parameters is refused; ":undef" removes a function under either.
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

std::vector<std::u16string> Session::Definitions() {
  std::vector<std::u16string> list;
  for (int32_t i = 1; i <= engine_.NumUserFuncs(); ++i) list.push_back(engine_.UserFuncText(Variant(i)));
  return list;
}

int Session::FunctionIndex(std::u16string_view name) {
  const std::vector<std::u16string> list = Definitions();
  for (size_t i = 0; i < list.size(); ++i)
    if (qv::EqualNoCase(SplitDefinition(list[i]).name, name)) return int(i);
  return -1;
}

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
  engine_.ClearError();
  engine_.UserFunc(text);  // writes back the text without its comment
  if (engine_.ErrorCode() == 0) return true;
  ReportEngineError(BodyOf(text));
  return false;
}

bool Session::Undefine(std::string_view name) {
  engine_.ClearError();
  if (engine_.UndefineUserFunc(FromUtf8(name))) return true;
  Problem("no function " + std::string(name) + " (:funcs lists them)");
  return false;
}
