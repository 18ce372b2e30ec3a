// User-defined functions: twenty slots, each a row of the opcode table (56 to 75) and a private
// sub-engine whose first variables are the parameters and whose expression 1 is the body.
//
//   definition = name "(" [parameter {"," parameter}] ")" "=" body
#include <vector>

#include "engine/Messages.h"
#include "engine/qvExpression.h"

namespace {
char16_t CharAt(const std::u16string& text, int32_t pos) {
  return pos >= 1 && size_t(pos) <= text.size() ? text[size_t(pos - 1)] : u'\0';
}
}  // namespace

void qvExpression::UserFunc(std::u16string& Definition) {
  // A failure of memory here is reported rather than dropped: the caller must not take an
  // unfinished definition for a finished one.
  Guarded(u"UserFunc", [&] {
    std::u16string text = StripComments(Definition);
    if (text.empty()) return;
    const std::u16string prefix(msg::kUserFuncPrefix);
    auto invalid = [&](const std::u16string& name) {
      SetError(9, std::u16string(msg::kInvalidUserFunc) + name);
    };

    int32_t pos = 1;
    std::u16string name = GetName(text, pos);
    if (ReservedName(name, prefix)) return;
    if (CharAt(text, pos) != u'(') return invalid(name);

    std::vector<std::u16string> params;
    while (CharAt(text, pos) != u')' && pos < int32_t(text.size()) && params.size() < size_t(kMaxUserFuncs)) {
      ++pos;
      SkipBlanks(text, pos);
      params.push_back(GetName(text, pos));
      if (ReservedName(params.back(), prefix)) return;
      char16_t c = CharAt(text, pos);
      if (c != u',' && c != u')') return invalid(name);
    }
    ++pos;
    SkipBlanks(text, pos);
    if (CharAt(text, pos) != u'=') return invalid(name);
    ++pos;
    SkipBlanks(text, pos);
    std::u16string body;
    if (size_t(pos) <= text.size()) body = TrimSpaces(std::u16string_view(text).substr(size_t(pos - 1)));

    int16_t n = int16_t(numUserFuncs_ + 1);
    errorSource_ = -n;
    if (n > kMaxUserFuncs) return SetError(8, std::u16string(msg::kTooManyUserFuncs));
    userFuncTexts_[size_t(n - 1)] = text;
    numUserFuncs_ = n;
    AddOpcode(int16_t(OpUser1 - 1 + n), name, 30, int16_t(params.size()));
    DefineBody(n, params, body, name);
  });
}

// Resets the slot's sub-engine, binds the parameters as its first variables (value -1) and
// compiles the body as its expression 1; a body that fails passes its error up, named.
void qvExpression::DefineBody(int16_t Slot, const std::vector<std::u16string>& Params,
                              std::u16string& Body, const std::u16string& Name) {
  qvExpression& sub = UserFuncEngine(Slot);
  sub.ResetCompiledExpressions();
  sub.ResetVariables();
  for (const std::u16string& p : Params) {
    double initial = -1;
    sub.Variable(Variant(p), initial);
  }
  int16_t index = 0;
  sub.Compile(Body, index);
  if (sub.errorCode_ != 0) {
    errorCode_ = sub.errorCode_;
    errorDescription_ = sub.errorDescription_ + std::u16string(msg::kInUserFunction) + Name + u"'";
    errorPos_ = sub.errorPos_;
  }
}

std::u16string qvExpression::UserFuncText(const Variant& Index) {
  std::u16string text;
  Guarded(u"UserFuncText", [&] {
    if (int32_t i = ItemPosition(Index, numUserFuncs_)) text = userFuncTexts_[size_t(i - 1)];
  });
  return text;
}

// A name is reserved when it names a function row (26 to 83, user functions and placeholders
// included) or is "NOT"; the error then says which kind of name it is.
bool qvExpression::ReservedName(const std::u16string& Name, const std::u16string& Prefix) {
  int16_t op = FunctionOpcode(UpperCase(Name));
  if (op == 0) return false;
  std::u16string_view why = op >= OpUser1 && op <= OpUser20 ? msg::kReservedUserFunc : msg::kReservedName;
  SetError(10, Prefix + u" " + Name + u"(...)" + std::u16string(why));
  return true;
}

// The texts and the sub-engines stay for reuse; only the names and the count go.
void qvExpression::ResetUserFuncs() {
  Guarded(u"ResetUserFuncs", [&] { ResetUserFuncOpcodes(); });
}
