// User-defined functions: twenty slots, each a row of the opcode table and a private
// sub-engine whose first variables are the parameters and whose expression 1 is the body.
//
//   definition = name "(" [parameter {"," parameter}] ")" "=" body
#include <vector>

#include "engine/Messages.h"
#include "engine/compile/Scanner.h"
#include "engine/Engine.h"

namespace qv {


void Engine::UserFunc(std::u16string& Definition) {
  // A failure of memory here is reported rather than dropped: the caller must not take an
  // unfinished definition for a finished one.
  errors_.Guarded(u"UserFunc", [&] {
    std::u16string text = StripComments(errors_, Definition);
    if (text.empty()) return;
    const std::u16string prefix(msg::kUserFuncPrefix);
    auto invalid = [&](const std::u16string& name) {
      errors_.Set(9, std::u16string(msg::kInvalidUserFunc) + name);
    };

    int32_t pos = 1;
    std::u16string name = GetName(errors_, text, pos);
    if (ReservedName(name, prefix)) return;
    if (CharAt(text, pos) != u'(') return invalid(name);

    std::vector<std::u16string> params;
    while (CharAt(text, pos) != u')' && pos < int32_t(text.size()) && params.size() < size_t(kMaxUserFuncs)) {
      ++pos;
      SkipBlanks(errors_, text, pos);
      params.push_back(GetName(errors_, text, pos));
      if (ReservedName(params.back(), prefix)) return;
      char16_t c = CharAt(text, pos);
      if (c != u',' && c != u')') return invalid(name);
    }
    ++pos;
    SkipBlanks(errors_, text, pos);
    if (CharAt(text, pos) != u'=') return invalid(name);
    ++pos;
    SkipBlanks(errors_, text, pos);
    std::u16string body;
    if (size_t(pos) <= text.size()) body = TrimSpaces(std::u16string_view(text).substr(size_t(pos - 1)));

    int16_t n = int16_t(NumUserFuncs() + 1);
    errors_.Source = -n;
    if (n > kMaxUserFuncs) return errors_.Set(8, std::u16string(msg::kTooManyUserFuncs));
    userFuncTexts_[size_t(n - 1)] = text;
    opcodes_.DefineUserFunc(n, name, int16_t(params.size()));
    DefineBody(n, params, body, name);
  });
}

// Resets the slot's sub-engine, binds the parameters as its first variables (value -1) and
// compiles the body as its expression 1; a body that fails passes its error up, named.
void Engine::DefineBody(int16_t Slot, const std::vector<std::u16string>& Params,
                              std::u16string& Body, const std::u16string& Name) {
  Engine& sub = UserFuncEngine(Slot);
  sub.ResetCompiledExpressions();
  sub.ResetVariables();
  for (const std::u16string& p : Params) {
    double initial = -1;
    sub.Variable(Variant(p), initial);
  }
  int16_t index = 0;
  sub.Compile(Body, index);
  userFuncCompiled_[size_t(Slot - 1)] = sub.errors_.Code == 0;
  if (sub.errors_.Code != 0) {
    errors_.Code = sub.errors_.Code;
    errors_.Description = sub.errors_.Description + std::u16string(msg::kInUserFunction) + Name + u"'";
    errors_.Pos = sub.errors_.Pos;
  }
}

std::u16string Engine::UserFuncText(const Variant& Index) {
  std::u16string text;
  errors_.Guarded(u"UserFuncText", [&] {
    if (int32_t i = ItemPosition(Index, NumUserFuncs())) text = userFuncTexts_[size_t(i - 1)];
  });
  return text;
}

// A name is reserved when it names a function row (user functions and their placeholders
// included) or is "NOT"; the error then says which kind of name it is.
bool Engine::ReservedName(const std::u16string& Name, const std::u16string& Prefix) {
  int16_t op = opcodes_.FunctionNamed(UpperCase(Name));
  if (op == 0) return false;
  std::u16string_view why = OpcodeTable::Kind(op) == OpKind::UserFunction ? msg::kReservedUserFunc : msg::kReservedName;
  errors_.Set(10, Prefix + u" " + Name + u"(...)" + std::u16string(why));
  return true;
}

// The texts and the sub-engines stay for reuse; only the names and the count go.
void Engine::ResetUserFuncs() {
  errors_.Guarded(u"ResetUserFuncs", [&] { opcodes_.ResetUserFuncs(); });
}

}  // namespace qv
