// The host's functions and constants as the engine takes them: a definition's name is checked
// against every other kind of name first, then the definition goes into the table the compiler
// reads (HostFunctions.h). A refusal is recorded in the engine's error state, which the component
// is handed with the tables whose names it checks.
#pragma once

#include <string_view>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/qvFunction.h"
#include "engine/stores/ArrayStore.h"
#include "engine/stores/HostFunctions.h"
#include "engine/stores/VariableTable.h"

namespace qv {

class HostDefinitions {
 public:
  HostDefinitions(ErrorState& Errors, const OpcodeTable& Opcodes, const ArrayStore& Arrays,
                  const VariableTable& Variables)
      : errors_(Errors), opcodes_(Opcodes), arrays_(Arrays), variables_(Variables) {}
  HostDefinitions(const HostDefinitions&) = delete;
  HostDefinitions& operator=(const HostDefinitions&) = delete;

  // ---- the members of the facade ----
  void DefineFunction(std::u16string_view Name, qvFunction Function);
  void DefineFunction(std::u16string_view Name, qvTextFunction Function);
  void DefineConstant(std::u16string_view Name, double Value);
  bool UndefineHostName(std::u16string_view Name) { return table_.Remove(Name); }
  // True, with the failure recorded, when Name is a constant (which an assignment cannot change).
  bool RefusedAsConstant(const Variant& Name);

  // ---- for the compiler ----
  const HostFunctions& Table() const { return table_; }

 private:
  bool NameFree(std::u16string_view Name, std::u16string_view Prefix, bool Function);

  ErrorState& errors_;
  const OpcodeTable& opcodes_;
  const ArrayStore& arrays_;
  const VariableTable& variables_;
  HostFunctions table_;
};

}  // namespace qv
