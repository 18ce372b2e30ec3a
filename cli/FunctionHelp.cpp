#include "cli/FunctionHelp.h"

#include <array>

#include "cli/Names.h"

namespace {

constexpr std::array<FunctionHelp, 38> kFunctions = {{
    {"PI", "PI", "3.14159265358979 (PI and PI() alike)", ""},
    {"DEG", "DEG", "pi/180, the radians in a degree: SIN(30 * DEG) is 0.5", "radians"},
    {"ABS", "ABS(x)", "absolute value", "fabs"},
    {"INT", "INT(x)", "largest whole number not above x: INT(-2.5) is -3", "floor"},
    {"FIX", "FIX(x)", "x without its fraction, toward zero: FIX(-2.5) is -2", "trunc"},
    {"SGN", "SGN(x)", "-1, 0 or 1 by the sign of x", "sign signum"},
    {"RND", "RND(x)", "x times a random number from 0 up to but excluding 1", "rand random"},
    {"SQR", "SQR(x)", "square root, x >= 0", "sqrt"},
    {"LOG", "LOG(x)", "base-10 logarithm, x > 0", "log10"},
    {"LN", "LN(x)", "natural logarithm, x > 0", ""},
    {"EXP", "EXP(x)", "e to the power x", ""},
    {"SIN", "SIN(x)", "sine of x radians", ""},
    {"ASIN", "ASIN(x)", "arcsine in radians, -1 <= x <= 1", "arcsin"},
    {"COS", "COS(x)", "cosine of x radians", ""},
    {"ACOS", "ACOS(x)", "arccosine in radians, -1 <= x <= 1", "arccos"},
    {"TAN", "TAN(x)", "tangent of x radians", ""},
    {"ATN", "ATN(x)", "arctangent in radians, between -pi/2 and pi/2", "atan arctan"},
    {"SINH", "SINH(x)", "hyperbolic sine", ""},
    {"COSH", "COSH(x)", "hyperbolic cosine", ""},
    {"TANH", "TANH(x)", "hyperbolic tangent", ""},
    {"ASINH", "ASINH(x)", "inverse hyperbolic sine", "arsinh"},
    {"ACOSH", "ACOSH(x)", "inverse hyperbolic cosine, x >= 1", "arcosh"},
    {"ATANH", "ATANH(x)", "inverse hyperbolic tangent, -1 < x < 1", "artanh"},
    {"FACT", "FACT(x)", "factorial of x rounded, 0 <= x <= 169", "factorial"},
    {"MIN", "MIN(a, b)", "the smaller of a and b (on a tie, b)", ""},
    {"MAX", "MAX(a, b)", "the larger of a and b (on a tie, b)", ""},
    {"NCR", "NCR(n, r)", "combinations: ways to choose r of n", "binomial choose comb"},
    {"NPR", "NPR(n, r)", "permutations: ordered ways to choose r of n", "perm"},
    {"IIF", "IIF(c, a, b)", "a when c is true (above 0), else b; both are evaluated", "if"},
    {"ARRAY", "ARRAY(a, b, c)", "a reserved name with no action of its own: gives c", ""},
    {"LEN", "LEN(s)", "number of characters of s (LEN(1/4) is 4, the length of 0.25)", "length strlen"},
    {"ASC", "ASC(s)", "code of the first character of s", "ord code"},
    {"SPACE", "SPACE(n)", "n blanks", "spaces"},
    {"STRING", "STRING(n, c)", "n copies of character c (a text, or a character code)", "repeat"},
    {"LEFT", "LEFT(s, n)", "the first n characters of s", ""},
    {"RIGHT", "RIGHT(s, n)", "the last n characters of s", ""},
    {"MID", "MID(s, start, length)", "length characters of s from position start (from 1)", "substr substring"},
    {"INSTR", "INSTR(start, s, t)", "position of t in s at or after start, ignoring case; 0 if absent", "find index indexof"},
}};

// The operators, tightest first: what :help shows for each (docs/language.md has the full story).
constexpr std::array<FunctionHelp, 19> kOperators = {{
    {"^", "a ^ b", "power, grouped from the left (2^3^2 is 64); a negative base needs a whole exponent from -100 to 100", ""},
    {"-", "a - b, -a", "difference; as a prefix, negation, looser than ^ (-X^2 is -(X^2), but -2^2 is 4)", ""},
    {"*", "a * b", "product", ""},
    {"/", "a / b", "quotient; Div by zero for a zero divisor", ""},
    {"\\", "a \\ b", "whole-number quotient of a and b rounded (halves to even), truncated toward zero", ""},
    {"MOD", "a MOD b", "remainder of a and b rounded (7.5 MOD 2 is 0), with the sign of a", ""},
    {"+", "a + b", "sum; joins two texts, but adds when either side is a number", ""},
    {"=", "a = b", "1 when equal; texts ignore letter case, a number is less than any text", ""},
    {"<>", "a <> b", "1 when not equal", ""},
    {"<", "a < b", "1 when a is less than b", ""},
    {"<=", "a <= b", "1 when a is less than or equal to b", ""},
    {">", "a > b", "1 when a is greater than b", ""},
    {">=", "a >= b", "1 when a is greater than or equal to b", ""},
    {"NOT", "NOT a", "1 when a is not true (greater than 0), else 0; looser than comparisons", ""},
    {"AND", "a AND b", "1 when both are true", ""},
    {"OR", "a OR b", "1 when either is true", ""},
    {"XOR", "a XOR b", "1 when exactly one is true", ""},
    {"&", "a & b", "the text of a, then the text of b; the loosest operator", ""},
    {"'", "' comment", "starts a comment that runs to the end of the line", ""},
}};

}  // namespace

std::span<const FunctionHelp> BuiltinFunctions() { return kFunctions; }

std::span<const FunctionHelp> Operators() { return kOperators; }

const FunctionHelp* FindOperator(std::string_view name) {
  for (const FunctionHelp& row : kOperators)
    if (SameName(row.name, name)) return &row;
  return nullptr;
}

const FunctionHelp* FindBuiltin(std::string_view name) {
  for (const FunctionHelp& row : kFunctions)
    if (SameName(row.name, name)) return &row;
  return nullptr;
}

const FunctionHelp* FindAlias(std::string_view name) {
  for (const FunctionHelp& row : kFunctions)
    for (std::string_view alias : Words(row.aliases))
      if (SameName(alias, name)) return &row;
  return nullptr;
}
