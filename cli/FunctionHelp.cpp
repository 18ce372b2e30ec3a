#include "cli/FunctionHelp.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cli/Names.h"
#include "engine/compile/OpcodeTable.h"

namespace {

// The call form and aliases of a built-in function, by its opcode. A function not listed here
// shows NAME(x) (or NAME(a, b), NAME(a, b, c)) and has no alias, so a new function of the engine
// has its line in ":help" from the opcode table alone.
struct Usage {
  qv::Opcode op;
  std::string_view usage;    // SQR(x)
  std::string_view aliases;  // blank-separated, lower case: "sqrt"
};

constexpr Usage kUsages[] = {
    {qv::OpPi, "PI", ""},
    {qv::OpDeg, "DEG", "radians"},
    {qv::OpAbs, "ABS(x)", "fabs"},
    {qv::OpInt, "INT(x)", "floor"},
    {qv::OpFix, "FIX(x)", "trunc"},
    {qv::OpSgn, "SGN(x)", "sign signum"},
    {qv::OpRnd, "RND(x)", "rand random"},
    {qv::OpSqr, "SQR(x)", "sqrt"},
    {qv::OpLog, "LOG(x)", "log10"},
    {qv::OpAsin, "ASIN(x)", "arcsin"},
    {qv::OpAcos, "ACOS(x)", "arccos"},
    {qv::OpAtn, "ATN(x)", "atan arctan"},
    {qv::OpAsinh, "ASINH(x)", "arsinh"},
    {qv::OpAcosh, "ACOSH(x)", "arcosh"},
    {qv::OpAtanh, "ATANH(x)", "artanh"},
    {qv::OpFact, "FACT(x)", "factorial"},
    {qv::OpMin, "MIN(a, b)", ""},
    {qv::OpMax, "MAX(a, b)", ""},
    {qv::OpNcr, "NCR(n, r)", "binomial choose comb"},
    {qv::OpNpr, "NPR(n, r)", "perm"},
    {qv::OpIif, "IIF(c, a, b)", "if"},
    {qv::OpArray, "ARRAY(a, b, c)", ""},
    {qv::OpLen, "LEN(s)", "length strlen"},
    {qv::OpAsc, "ASC(s)", "ord code"},
    {qv::OpSpace, "SPACE(n)", "spaces"},
    {qv::OpString, "STRING(n, c)", "repeat"},
    {qv::OpLeft, "LEFT(s, n)", ""},
    {qv::OpRight, "RIGHT(s, n)", ""},
    {qv::OpMid, "MID(s, start, length)", "substr substring"},
    {qv::OpInstr, "INSTR(start, s, t)", "find index indexof"},
};

// Rows of these kinds are the built-in functions the calculator lists.
bool Listed(qv::OpKind kind) {
  using K = qv::OpKind;
  return kind == K::Constant || kind == K::RealFunction || kind == K::Function || kind == K::ArrayRow ||
         kind == K::TextFunction;
}

std::string DefaultUsage(const std::string& name, int args) {
  static const char* const kParameters[] = {"", "(x)", "(a, b)", "(a, b, c)"};
  return name + kParameters[args >= 0 && args <= 3 ? args : 0];
}

// The rows, in the opcode table's order, with the engine's names (ASCII, kept here as narrow
// text) and help lines.
struct Table {
  std::array<std::string, qv::kOpcodeCount> names, usages;
  std::vector<FunctionHelp> rows;
  Table() {
    for (const qv::OpcodeRow& row : qv::kOpcodeRows) {
      if (!Listed(row.kind)) continue;
      std::string& name = names[size_t(row.op)];
      name.assign(row.name.begin(), row.name.end());
      const Usage* known = nullptr;
      for (const Usage& u : kUsages)
        if (u.op == row.op) known = &u;
      usages[size_t(row.op)] = known ? std::string(known->usage) : DefaultUsage(name, row.args);
      rows.push_back({name, usages[size_t(row.op)], row.help, known ? known->aliases : std::string_view()});
    }
  }
};

const std::vector<FunctionHelp>& Rows() {
  static const Table table;
  return table.rows;
}

// The operators of the engine's table, tightest first; the call form and the help are the two
// parts of the table's help line ("x ^ y: x to the power y").
struct OperatorTable {
  std::vector<std::string> names;
  std::vector<FunctionHelp> rows;
  OperatorTable() {
    std::vector<const qv::OpcodeRow*> operators;
    for (const qv::OpcodeRow& row : qv::kOpcodeRows)
      if (row.kind == qv::OpKind::Unary || row.kind == qv::OpKind::Operator || row.kind == qv::OpKind::WordOperator)
        operators.push_back(&row);
    std::stable_sort(operators.begin(), operators.end(),
                     [](const qv::OpcodeRow* a, const qv::OpcodeRow* b) { return a->priority > b->priority; });
    names.reserve(operators.size());  // the rows hold views of these names
    for (const qv::OpcodeRow* row : operators) {
      const size_t colon = row->help.find(": ");
      names.emplace_back(row->name.begin(), row->name.end());
      rows.push_back({names.back(), row->help.substr(0, colon), row->help.substr(colon + 2), ""});
    }
  }
};

const std::vector<FunctionHelp>& OperatorRows() {
  static const OperatorTable table;
  return table.rows;
}

}  // namespace

std::span<const FunctionHelp> BuiltinFunctions() { return Rows(); }

std::span<const FunctionHelp> Operators() { return OperatorRows(); }

std::span<const FunctionHelp> ExtendedFunctions() {
  static const FunctionHelp kRows[] = {
      {"ROUND", "ROUND(x[, digits])", "x rounded to digits decimals (0 if left out), half away from zero, as written: ROUND(1.005, 2) is 1.01", "round"},
      {"CEIL", "CEIL(x)", "smallest whole number not below x", "ceiling"},
      {"FLOOR", "FLOOR(x)", "largest whole number not above x", ""},
      {"ATN2", "ATN2(y, x)", "angle of the point (x, y) in radians, between -pi and pi", "atan2 arctan2"},
      {"LOG2", "LOG2(x)", "base-2 logarithm, x > 0", ""},
      {"HYPOT", "HYPOT(x, y)", "length of the hypotenuse, SQR(x^2 + y^2) without overflow", ""},
      {"E", "E", "2.71828182845905, the base of the natural logarithm", ""},
  };
  return kRows;
}

const FunctionHelp* FindBuiltin(std::string_view name) {
  for (const FunctionHelp& row : Rows())
    if (SameName(row.name, name)) return &row;
  return nullptr;
}

const FunctionHelp* FindAlias(std::string_view name) {
  for (const FunctionHelp& row : Rows())
    for (std::string_view alias : Words(row.aliases))
      if (SameName(alias, name)) return &row;
  return nullptr;
}
