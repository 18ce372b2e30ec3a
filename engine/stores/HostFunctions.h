// The host's functions and named constants of one engine, by name without regard to case. The
// compiler looks a name up here before the arrays and the variables: a constant compiles to a
// load of its value, a function to a call holding the function's record (HostCall.h).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/eval/HostCall.h"

namespace qv {

class HostFunctions {
 public:
  // Upper: the name in upper case.
  std::shared_ptr<const HostFunction> Function(std::u16string_view Upper) const;
  std::optional<double> Constant(std::u16string_view Upper) const;

  // Each adds or replaces. A function with a Block and no Body gets a Body that calls the Block.
  void DefineFunction(std::u16string_view Name, qvFunction Function);
  void DefineTextFunction(std::u16string_view Name, qvTextFunction Function);
  void DefineConstant(std::u16string_view Name, double Value);  // adds or replaces
  bool Remove(std::u16string_view Name);  // the function or constant of that name; false when none
  void Clear();

 private:
  std::map<std::u16string, std::shared_ptr<const HostFunction>, std::less<>> functions_;
  std::map<std::u16string, double, std::less<>> constants_;
};

}  // namespace qv
