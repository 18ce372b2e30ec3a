// One compilation pass: infix text to postfix instructions in a record (Compiler.cpp). The pass
// is handed what it reads and writes besides the record, so that it needs nothing else of the
// engine.
#pragma once

#include <cstdint>

#include "engine/CompiledExpression.h"
#include "engine/compile/ErrorState.h"
#include "engine/compile/OpcodeTable.h"
#include "engine/stores/ArrayStore.h"
#include "engine/stores/HostFunctions.h"
#include "engine/stores/VariableTable.h"

namespace qv {

struct CompileContext {
  ErrorState& Errors;          // where a failure goes (code, description, position)
  const OpcodeTable& Opcodes;  // operators and functions by name
  ArrayStore& Arrays;          // array names and their dimensions
  VariableTable& Variables;    // variable names, created when CreateVariables is on
  int32_t Source;              // the record's index, as the error state's source
  bool CreateVariables;
  bool Strict;                 // an undefined name's failure suggests the nearest known name
  const HostFunctions* Hosts = nullptr;  // the host's functions and constants, looked up before arrays
};

// Compiles Record.Text into Record's instructions; true when the end was reached without a
// failure.
bool CompilePass(const CompileContext& Context, CompiledExpression& Record);

}  // namespace qv
