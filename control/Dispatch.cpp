// The member table of the control and the late-bound call through it.
#include "control/Dispatch.h"

#include <array>

#include "engine/RuntimeError.h"

namespace {

using enum ParamType;

constexpr std::array<ParamInfo, 0> kNoParams{};
constexpr std::array kFunc{ParamInfo{u"Func", Text, true, false}};
constexpr std::array kVariantIndex{ParamInfo{u"Index", Any, true, false}};
constexpr std::array kExpression{ParamInfo{u"Expression", Text, true, false}};
constexpr std::array kValueIndex{ParamInfo{u"Index", Whole32, true, true}};
constexpr std::array kVarName{ParamInfo{u"VarName", Text, true, false}};
constexpr std::array kVarNameAndValue{ParamInfo{u"VarName", Text, true, false},
                                      ParamInfo{u"NewValue", Double, true, false}};

// The members as the host sees them; each Call forwards the converted arguments to the control.
const std::array<MemberInfo, 18> kMembers{{
    {u"All_Math_Functions", 0x60030001, InvokeKind::Method, kNoParams, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg>) { return c.All_Math_Functions(); }},
    {u"DefineUserFunc", 0x60030006, InvokeKind::Method, kFunc, ResultType::None,
     [](qvCalc& c, std::span<DispatchArg> a) { c.DefineUserFunc(a[0].Text); return Variant(); }},
    {u"NumUserFuncs", 0x60030007, InvokeKind::Method, kNoParams, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg>) { return c.NumUserFuncs(); }},
    {u"UserFunc", 0x60030008, InvokeKind::Method, kVariantIndex, ResultType::Text,
     [](qvCalc& c, std::span<DispatchArg> a) { return Variant(c.UserFunc(a[0].Value)); }},
    {u"Compile", 0x60030009, InvokeKind::Method, kExpression, ResultType::None,
     [](qvCalc& c, std::span<DispatchArg> a) { c.Compile(a[0].Text); return Variant(); }},
    {u"Value", 0x6003000A, InvokeKind::Method, kValueIndex, ResultType::Double,
     [](qvCalc& c, std::span<DispatchArg> a) { return Variant(c.Value(a[0].Whole)); }},
    {u"NumExpressions", 0x6003000B, InvokeKind::Method, kNoParams, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg>) { return c.NumExpressions(); }},
    {u"Expression", 0x6003000C, InvokeKind::Method, kVariantIndex, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg> a) { return c.Expression(a[0].Value); }},
    {u"Reset", 0x6003000D, InvokeKind::Method, kNoParams, ResultType::None,
     [](qvCalc& c, std::span<DispatchArg>) { c.Reset(); return Variant(); }},
    {u"Variable", kDispIdVariable, InvokeKind::PropertyPut, kVarNameAndValue, ResultType::None,
     [](qvCalc& c, std::span<DispatchArg> a) { c.Variable(a[0].Text, a[1].Number); return Variant(); }},
    {u"Variable", kDispIdVariable, InvokeKind::PropertyGet, kVarName, ResultType::Double,
     [](qvCalc& c, std::span<DispatchArg> a) { return Variant(c.Variable(a[0].Text)); }},
    {u"NumVariables", 0x60030012, InvokeKind::Method, kNoParams, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg>) { return c.NumVariables(); }},
    {u"VariableName", 0x60030013, InvokeKind::Method, kVariantIndex, ResultType::Any,
     [](qvCalc& c, std::span<DispatchArg> a) { return c.VariableName(a[0].Value); }},
    {u"ErrorCode", 0x60030014, InvokeKind::Method, kNoParams, ResultType::Whole16,
     [](qvCalc& c, std::span<DispatchArg>) { return Variant(c.ErrorCode()); }},
    {u"ErrorDescription", 0x60030015, InvokeKind::Method, kNoParams, ResultType::Text,
     [](qvCalc& c, std::span<DispatchArg>) { return Variant(c.ErrorDescription()); }},
    {u"ErrorSource", 0x60030016, InvokeKind::Method, kNoParams, ResultType::Whole16,
     [](qvCalc& c, std::span<DispatchArg>) { return Variant(c.ErrorSource()); }},
    {u"ErrorPos", 0x60030017, InvokeKind::Method, kNoParams, ResultType::Whole16,
     [](qvCalc& c, std::span<DispatchArg>) { return Variant(c.ErrorPos()); }},
    {u"ClearError", 0x60030018, InvokeKind::Method, kNoParams, ResultType::None,
     [](qvCalc& c, std::span<DispatchArg>) { c.ClearError(); return Variant(); }},
}};

// Converts a host's argument to its parameter's type; 13 when it does not read as one, 6 when
// a whole number leaves the 32-bit range.
DispatchArg Convert(const Variant& arg, ParamType type) {
  DispatchArg out;
  switch (type) {
    case Text: out.Text = arg.toText(); break;
    case Any: out.Value = arg; break;
    case Double:
      if (!arg.toNumber(out.Number)) RaiseRuntimeError(kErrTypeMismatch);
      break;
    case Whole32:
      if (!arg.toNumber(out.Number)) RaiseRuntimeError(kErrTypeMismatch);
      if (!qv::ToWhole(out.Number, out.Whole)) RaiseRuntimeError(kErrOverflow);
      break;
  }
  return out;
}

Variant Converted(const DispatchArg& arg, ParamType type) {
  switch (type) {
    case Text: return Variant(arg.Text);
    case Double: return Variant(arg.Number);
    case Whole32: return Variant(arg.Whole);
    case Any: break;
  }
  return arg.Value;
}

}  // namespace

std::span<const MemberInfo> DispatchMembers() { return kMembers; }

int32_t DispatchIdOfName(std::u16string_view Name) {
  for (const MemberInfo& member : kMembers)
    if (member.DispId != 0 && qv::EqualNoCase(member.Name, Name)) return member.DispId;
  return 0;
}

const MemberInfo* FindMember(int32_t DispId, InvokeKind Kind) {
  if (DispId == 0) return nullptr;
  for (const MemberInfo& member : kMembers) {
    if (member.DispId != DispId) continue;
    if (member.Kind == Kind) return &member;
    if (member.Kind == InvokeKind::Method && Kind == InvokeKind::PropertyGet) return &member;
  }
  return nullptr;
}

Variant Invoke(qvCalc& control, int32_t DispId, InvokeKind Kind, std::vector<Variant>& Args) {
  const MemberInfo* member = FindMember(DispId, Kind);
  if (!member) RaiseRuntimeError(kErrUnknownMember);
  size_t required = 0;
  for (const ParamInfo& param : member->Params) required += param.Optional ? 0 : 1;
  if (Args.size() < required || Args.size() > member->Params.size())
    RaiseRuntimeError(kErrWrongArguments);

  // An optional argument left off takes its default, 0, and is not written back.
  std::vector<DispatchArg> converted;
  for (size_t i = 0; i < member->Params.size(); ++i)
    converted.push_back(i < Args.size() ? Convert(Args[i], member->Params[i].Type) : DispatchArg{});

  Variant result = member->Call(control, converted);
  for (size_t i = 0; i < Args.size(); ++i)
    if (member->Params[i].ByRef) Args[i] = Converted(converted[i], member->Params[i].Type);
  return result;
}
