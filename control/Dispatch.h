// Dispatch by identifier: the members of the control as data (name, dispatch identifier,
// parameters, result, property get or put), so that a scripting host can find a member by name
// and call it late-bound with an argument list of values. Unknown identifiers (failure 438),
// wrong argument counts (450) and arguments that do not convert (13, 6) are thrown as
// qvRuntimeError; nothing a host passes can crash the call.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "control/qvCalc.h"
#include "engine/Variant.h"

enum class InvokeKind : uint8_t { Method, PropertyGet, PropertyPut };

// What an argument is converted to before the call, and what the result is.
// Any passes the host's value through unchanged (the interface's variant parameters and results).
enum class ParamType : uint8_t { Text, Whole32, Double, Any };
enum class ResultType : uint8_t { None, Any, Text, Double, Whole16 };

struct ParamInfo {
  std::u16string_view Name;
  ParamType Type;
  bool ByRef;     // the converted argument is written back into the caller's list
  bool Optional;  // may be left off at the end of the list
};

// One argument after conversion; the member reads and writes the field of its parameter type.
struct DispatchArg {
  std::u16string Text;
  int32_t Whole = 0;
  double Number = 0;
  Variant Value;
};

struct MemberInfo {
  std::u16string_view Name;
  int32_t DispId;
  InvokeKind Kind;
  std::span<const ParamInfo> Params;
  ResultType Result;
  Variant (*Call)(qvCalc& control, std::span<DispatchArg> args);
};

// Dispatch identifiers of the interface.
inline constexpr int32_t kDispIdVariable = 0x68030000;  // Variable get and put share it
inline constexpr int32_t kDispIdErrorMsg = 1;           // the event

// Every member, in interface order (Variable twice: put, then get). The event ErrorMsg is not
// a member: it has the identifier kDispIdErrorMsg and reaches hosts through qvCalc::Advise.
std::span<const MemberInfo> DispatchMembers();

// The identifier of a member by name, without regard to letter case; 0 when there is none
// (0 is no member's identifier).
int32_t DispatchIdOfName(std::u16string_view Name);

// The member with this identifier and kind, or null. A method also answers a property get,
// as late-bound hosts often ask for both at once.
const MemberInfo* FindMember(int32_t DispId, InvokeKind Kind);

// Calls the member late-bound. Args are in parameter order (for a put, the new value last);
// by-reference arguments come back converted and as the member left them. The result is empty
// for members without one.
Variant Invoke(qvCalc& control, int32_t DispId, InvokeKind Kind, std::vector<Variant>& Args);
