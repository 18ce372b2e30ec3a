// User-defined functions: their definitions, slots, sub-engines and calls.
//
//   definition = name "(" [parameter {"," parameter}] ")" "=" body
#include "engine/stores/UserFunctionStore.h"

#include <algorithm>

#include "engine/Messages.h"
#include "engine/compile/Scanner.h"
#include "engine/eval/Machine.h"
#include "engine/stores/ItemPosition.h"

namespace qv {

UserFunctionStore::UserFunctionStore(FunctionOwner Owner)
    : errors_(Owner.Errors),
      opcodes_(Owner.Opcodes),
      settings_(Owner.Settings),
      variables_(Owner.Variables),
      expressions_(Owner.Expressions),
      compileCurrent_(std::move(Owner.CompileCurrent)),
      newBody_(std::move(Owner.NewBody)) {}

void UserFunctionStore::UserFunc(std::u16string& Definition) {
  if (settings_.Strict) return ReplacingUserFunc(Definition);
  AddUserFunc(Definition);
}

// The next slot for Definition. A failure of memory here is reported rather than dropped: the
// caller must not take an unfinished definition for a finished one.
void UserFunctionStore::AddUserFunc(std::u16string& Definition) {
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
    errors_.SetSource(-n);
    if (n > kMaxUserFuncs) return errors_.Set(8, std::u16string(msg::kTooManyUserFuncs));
    texts_[size_t(n - 1)] = text;
    opcodes_.DefineUserFunc(n, name, int16_t(params.size()));
    DefineBody(n, params, body, name);
  });
}

// Under the strict profile a definition takes effect whole or not at all: one of a name defined
// already replaces that function in its slot, and one that fails is taken out again, leaving
// the functions as they were, with the definition's failure recorded.
void UserFunctionStore::ReplacingUserFunc(std::u16string& Definition) {
  errors_.Guarded(u"UserFunc", [&] {
    const std::vector<std::u16string> before(texts_.begin(), texts_.begin() + NumUserFuncs());
    std::u16string text = StripComments(errors_, Definition);
    int32_t pos = 1;
    const int16_t slot = UserFuncSlot(GetName(errors_, text, pos));
    if (slot == 0) {
      AddUserFunc(Definition);
      if (errors_.Code() == 0 || size_t(NumUserFuncs()) == before.size()) return;
      const ErrorState failure = errors_;
      RebuildUserFuncs(before, 0, false);  // no code calls the slot just added
      errors_ = failure;
      return;
    }
    std::vector<std::u16string> after = before;
    after[size_t(slot - 1)] = text;
    const ErrorState failure = RebuildUserFuncs(after, slot, true);
    if (failure.Code() != 0) RebuildUserFuncs(before, 0, true);
    errors_ = failure;
    errors_.SetSource(-slot);
  });
}

bool UserFunctionStore::UndefineUserFunc(std::u16string_view Name) {
  bool removed = false;
  errors_.Guarded(u"UndefineUserFunc", [&] {
    const int16_t slot = UserFuncSlot(Name);
    if (slot == 0) return;
    std::vector<std::u16string> after(texts_.begin(), texts_.begin() + NumUserFuncs());
    after.erase(after.begin() + (slot - 1));
    RebuildUserFuncs(after, 0, true);
    removed = true;
  });
  return removed;
}

int16_t UserFunctionStore::UserFuncSlot(std::u16string_view Name) const {
  for (int16_t slot = 1; slot <= NumUserFuncs(); ++slot)
    if (EqualNoCase(opcodes_.Name(OpcodeTable::UserOpcode(slot)), Name)) return slot;
  return 0;
}

// The error state is left as it was; the failure of slot Watched's definition (code 0 for none)
// is returned.
ErrorState UserFunctionStore::RebuildUserFuncs(const std::vector<std::u16string>& Texts, int16_t Watched,
                                               bool Recompile) {
  const ErrorState kept = errors_;
  ErrorState watched;
  opcodes_.ResetUserFuncs();
  for (size_t k = 0; k < Texts.size(); ++k) {
    errors_.Clear();
    std::u16string text = Texts[k];
    AddUserFunc(text);
    if (int16_t(k + 1) == Watched) watched = errors_;
  }
  errors_ = kept;
  if (Recompile) RecompileCallers();
  return watched;
}

// Compiled code names a user function by its slot; the expressions that call one, and those
// that failed to compile (perhaps for want of a function), are compiled again from their texts,
// under the same indices, against the functions as they now are.
void UserFunctionStore::RecompileCallers() {
  const ErrorState kept = errors_;
  const int32_t current = expressions_.Current;
  for (size_t i = 1; i < expressions_.Records.size(); ++i) {
    const CompiledExpression& record = expressions_.Records[i];
    const int32_t count = std::min<int32_t>(record.Count, int32_t(record.Opcodes.size()) - 1);
    bool calls = false;
    for (int32_t k = 1; k <= count && !calls; ++k)
      calls = OpcodeTable::Kind(record.Opcodes[size_t(k)]) == OpKind::UserFunction;
    if ((!calls && !record.Failure) || record.Text.empty()) continue;
    expressions_.Current = int32_t(i);
    compileCurrent_();
  }
  errors_ = kept;
  expressions_.Current = current;
}

// A body's failure named after its function. A suggestion the body's engine made goes last; and
// under the strict profile, a name that is one of this engine's variables says why the body
// cannot read it.
std::u16string UserFunctionStore::BodyFailure(const ErrorState& Body, const std::u16string& Name) const {
  std::u16string_view text = Body.Description();
  const size_t hint = text.find(msg::kDidYouMean);
  std::u16string out(text.substr(0, hint));
  out.append(msg::kInUserFunction).append(Name).append(u"'");
  const size_t colon = out.find(u": ");
  const std::u16string_view named = std::u16string_view(text).substr(0, hint).substr(colon == std::u16string::npos ? 0 : colon + 2);
  if (settings_.Strict && Body.Code() == 3 && variables_.Store().Find(named))
    return out.append(msg::kBodySeesParameters);
  return hint == std::u16string_view::npos ? out : out.append(text.substr(hint));
}

// The slot's sub-engine compiles the body; a body that fails passes its error up, named.
void UserFunctionStore::DefineBody(int16_t Slot, const std::vector<std::u16string>& Params, std::u16string& Body,
                                   const std::u16string& Name) {
  FunctionBody& body = MadeBody(Slot);
  body.Define(Params, Body);
  const ErrorState& failure = body.Errors();
  compiled_[size_t(Slot - 1)] = failure.Code() == 0;
  if (failure.Code() != 0) errors_.SetAt(failure.Code(), BodyFailure(failure, Name), failure.Pos());
}

std::u16string UserFunctionStore::UserFuncText(const Variant& Index) {
  std::u16string text;
  errors_.Guarded(u"UserFuncText", [&] {
    if (int32_t i = ItemPosition(Index, NumUserFuncs())) text = texts_[size_t(i - 1)];
  });
  return text;
}

// A name is reserved when it names a function row (user functions and their placeholders
// included) or is "NOT"; the error then says which kind of name it is.
bool UserFunctionStore::ReservedName(const std::u16string& Name, const std::u16string& Prefix) {
  int16_t op = opcodes_.FunctionNamed(UpperCase(Name));
  if (op == 0) return false;
  std::u16string_view why = OpcodeTable::Kind(op) == OpKind::UserFunction ? msg::kReservedUserFunc : msg::kReservedName;
  errors_.Set(10, Prefix + u" " + Name + u"(...)" + std::u16string(why));
  return true;
}

// The texts and the sub-engines stay for reuse; only the names and the count go.
void UserFunctionStore::ResetUserFuncs() {
  errors_.Guarded(u"ResetUserFuncs", [&] { opcodes_.ResetUserFuncs(); });
}

// A call of a user function: the arguments go, last first, into the sub-engine's
// variables by position (a position the sub-engine lacks is skipped), then the sub-engine
// evaluates its highest expression, the body. Without arguments the call pushes first, like PI.
// Each call starts with the sub-engine's failure of an earlier call cleared, so one failure does
// not leave the function broken (a body that failed to compile keeps its failure and gives
// nothing). A failure inside the body stays the sub-engine's under the evaluation trap; with the
// trap off it is recorded here, named after the function.
void UserFunctionStore::CallUserFunc(Machine& M, int16_t Opcode, ErrorState& Failure) {
  const int n = opcodes_.Args(Opcode);
  const int slot = OpcodeTable::UserSlot(Opcode);
  FunctionBody& body = MadeBody(slot);
  if (compiled_[size_t(slot - 1)]) body.Errors().Clear();
  if (n <= 0) M.Push();
  for (int k = n; k >= 1; --k) {
    const Variant* argument = M.Argument(k, n);
    qvVariable* parameter = body.Parameter(k);
    if (argument && parameter) parameter->Value = *argument;
  }
  M.acc = body.Evaluate();
  if (n > 1) M.Pop(n - 1);
  const ErrorState& inside = body.Errors();
  if (!settings_.EvaluationTrap && inside.Code() != 0) {
    Failure.Set(inside.Code(),
                inside.Description() + std::u16string(msg::kInUserFunction) + opcodes_.Name(Opcode) + u"'");
  }
}

// A sub-engine follows the engine's settings, but creates the variables its body names whenever
// the strict profile is off, whatever the engine's own switch.
EngineSettings UserFunctionStore::BodySettings() const {
  EngineSettings own = settings_;
  own.CreateVariables = !settings_.Strict;
  return own;
}

void UserFunctionStore::FollowSettings() {
  for (auto& body : bodies_)
    if (body) body->Apply(BodySettings());
}

// The engine makes the sub-engine (sharing its generator, so RND draws one sequence in the whole
// tree); the sub-engine takes the settings before its first use.
FunctionBody& UserFunctionStore::MadeBody(int Slot) {
  std::unique_ptr<FunctionBody>& body = bodies_[size_t(Slot - 1)];
  if (!body) {
    body = newBody_();
    body->Apply(BodySettings());
  }
  return *body;
}

}  // namespace qv
