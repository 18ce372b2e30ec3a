// The host's functions and constants: the checks of a definition, then the table
// (HostFunctions.h). A definition never changes code compiled before: a program holds the
// function record it was compiled against, and a constant's value is in its code. Compiling the
// text again picks up the current definition.
#include "engine/stores/HostDefinitions.h"

#include <algorithm>

#include "engine/compile/Characters.h"

namespace qv {
namespace {

bool IsWordOperator(std::u16string_view Upper) {
  return std::any_of(kOpcodeRows.begin(), kOpcodeRows.end(), [&](const OpcodeRow& row) {
    return row.kind == OpKind::WordOperator && row.name == Upper;
  });
}

// A name the scanner reads whole: a letter, then letters, digits or "_".
bool WellFormed(std::u16string_view Name) {
  if (Name.empty() || !IsLetter(Name[0])) return false;
  return std::all_of(Name.begin(), Name.end(), [](char16_t c) { return IsDigit(c) || IsLetter(c) || c == u'_'; });
}

}  // namespace

// Whether Name may become a host function (Function) or constant: a well-formed name that no
// built-in, operator word, user function, array or variable has, nor a host definition of the
// other sort. A refusal is recorded as "Prefix NAME: why" (code 10, as for reserved names).
bool HostDefinitions::NameFree(std::u16string_view Name, std::u16string_view Prefix, bool Function) {
  const std::u16string upper = UpperCase(Name);
  std::u16string_view why;
  if (!WellFormed(Name)) why = u"not a name (a letter, then letters, digits or _)";
  else if (int16_t op = opcodes_.FunctionNamed(upper); op != 0)
    why = OpcodeTable::Kind(op) == OpKind::UserFunction ? u"the name of a user function" : u"the name of a built-in function";
  else if (IsWordOperator(upper)) why = u"the name of an operator";
  else if (arrays_.FindArray(upper) != 0) why = u"the name of an array";
  else if (variables_.Store().Find(std::u16string(Name))) why = u"the name of a variable";
  else if (Function && table_.Constant(upper)) why = u"the name of a constant";
  else if (!Function && table_.Function(upper)) why = u"the name of a host function";
  if (why.empty()) return true;
  errors_.Set(10, std::u16string(Prefix) + u" " + std::u16string(Name) + u": " + std::u16string(why));
  return false;
}

namespace {

// Why a function with these argument counts and body cannot be defined; empty when it can.
std::u16string_view Unfit(int MinArgs, int MaxArgs, bool HasBody) {
  const bool counts = MinArgs >= 0 && MinArgs <= kMaxHostArgs && (MaxArgs == -1 || MaxArgs >= MinArgs);
  if (!HasBody) return u": no body";
  return counts ? u"" : u": invalid argument counts";
}

}  // namespace

void HostDefinitions::DefineFunction(std::u16string_view Name, qvFunction Function) {
  if (!NameFree(Name, u"DefineFunction", true)) return;
  const std::u16string_view why = Unfit(Function.MinArgs, Function.MaxArgs, Function.Body || Function.Block);
  if (!why.empty()) return errors_.Set(10, u"DefineFunction " + std::u16string(Name) + std::u16string(why));
  table_.DefineFunction(Name, std::move(Function));
}

void HostDefinitions::DefineFunction(std::u16string_view Name, qvTextFunction Function) {
  if (!NameFree(Name, u"DefineFunction", true)) return;
  const std::u16string_view why = Unfit(Function.MinArgs, Function.MaxArgs, bool(Function.Body));
  if (!why.empty()) return errors_.Set(10, u"DefineFunction " + std::u16string(Name) + std::u16string(why));
  table_.DefineTextFunction(Name, std::move(Function));
}

void HostDefinitions::DefineConstant(std::u16string_view Name, double Value) {
  if (NameFree(Name, u"DefineConstant", false)) table_.DefineConstant(Name, Value);
}

bool HostDefinitions::RefusedAsConstant(const Variant& Name) {
  if (!Name.isText() || !table_.Constant(UpperCase(Name.asText())).has_value()) return false;
  errors_.Set(10, u"Variable " + Name.asText() + u": a constant cannot be assigned");
  return true;
}

}  // namespace qv
