// The engine's variables: named values shared by reference with the compiled code that loads
// them (the records of a VariableStore), with the members the facade offers on them. A name that
// reads as a number never reaches the store; it stands for that number. Failures go to the
// engine's error state, which the table is handed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/qvVariable.h"
#include "engine/stores/VariableStore.h"

namespace qv {

class VariableTable {
 public:
  explicit VariableTable(ErrorState& Errors) : errors_(Errors) {}
  VariableTable(const VariableTable&) = delete;
  VariableTable& operator=(const VariableTable&) = delete;

  // ---- the members of the facade ----
  void Variable(const Variant& VarName, double& Value);
  double VariableValue(const Variant& VarName);
  int32_t NumVariables() const { return store_.Count(); }
  int16_t VariablesCount();
  std::u16string VariableName(const Variant& Index);
  std::shared_ptr<qvVariable> BindVariable(const std::u16string& Name);

  // The compiler's lookup: the record of Name, created (as the 16-bit 0) when Create is on.
  std::shared_ptr<qvVariable> xVariable(const Variant& Name, bool& Create);
  VariableStore& Store() { return store_; }
  const VariableStore& Store() const { return store_; }

 private:
  ErrorState& errors_;
  VariableStore store_;
};

}  // namespace qv
