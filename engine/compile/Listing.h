// The postfix listing: a record's compiled code as readable text, one item per instruction, each
// after one blank.
#pragma once

#include <string>

#include "engine/CompiledExpression.h"
#include "engine/compile/OpcodeTable.h"

namespace qv {

// An instruction the opcode table has no name for (an array access) raises a subscript failure,
// which reaches the caller as a qvRuntimeError.
std::u16string Listing(const CompiledExpression& Record, const OpcodeTable& Opcodes);

}  // namespace qv
