// The built-in functions as the calculator explains them: one row for each function row of the
// engine's opcode table, with its call form, its line of help (the table's) and the names other
// languages give it (searched when a name is not known). The rows drive ":help NAME", the list in
// ":help", Tab completion and the suggestions for unknown functions.
#pragma once

#include <span>
#include <string_view>

struct FunctionHelp {
  std::string_view name;     // as the engine spells it: upper case
  std::string_view usage;    // SQR(x)
  std::string_view help;     // one line, from the opcode table
  std::string_view aliases;  // blank-separated, lower case: "sqrt"
};

std::span<const FunctionHelp> BuiltinFunctions();
// The operators, tightest first, in the same form (usage "x ^ y"), from the engine's table; "-"
// has two rows, negation and subtraction.
std::span<const FunctionHelp> Operators();
// The extended functions and the constant E, which the calculator adds unless --no-extended.
std::span<const FunctionHelp> ExtendedFunctions();
// The row of a built-in name, compared without regard to letter case; null when there is none.
const FunctionHelp* FindBuiltin(std::string_view name);
// The row one of whose aliases is name (without regard to case); null when none.
const FunctionHelp* FindAlias(std::string_view name);
