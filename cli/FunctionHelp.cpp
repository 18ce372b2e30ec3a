#include "cli/FunctionHelp.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cli/Names.h"
#include "engine/compile/OpcodeTable.h"

namespace {

// A built-in function by its opcode: the engine's table gives its name and its line of help.
struct Usage {
  qv::Opcode op;
  std::string_view usage;    // SQR(x)
  std::string_view aliases;  // blank-separated, lower case: "sqrt"
};

constexpr std::array<Usage, 38> kUsages = {{
    {qv::OpPi, "PI", ""},
    {qv::OpDeg, "DEG", "radians"},
    {qv::OpAbs, "ABS(x)", "fabs"},
    {qv::OpInt, "INT(x)", "floor"},
    {qv::OpFix, "FIX(x)", "trunc"},
    {qv::OpSgn, "SGN(x)", "sign signum"},
    {qv::OpRnd, "RND(x)", "rand random"},
    {qv::OpSqr, "SQR(x)", "sqrt"},
    {qv::OpLog, "LOG(x)", "log10"},
    {qv::OpLn, "LN(x)", ""},
    {qv::OpExp, "EXP(x)", ""},
    {qv::OpSin, "SIN(x)", ""},
    {qv::OpAsin, "ASIN(x)", "arcsin"},
    {qv::OpCos, "COS(x)", ""},
    {qv::OpAcos, "ACOS(x)", "arccos"},
    {qv::OpTan, "TAN(x)", ""},
    {qv::OpAtn, "ATN(x)", "atan arctan"},
    {qv::OpSinh, "SINH(x)", ""},
    {qv::OpCosh, "COSH(x)", ""},
    {qv::OpTanh, "TANH(x)", ""},
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
}};

// The rows with the engine's names (ASCII, kept here as narrow text) and help lines.
struct Table {
  std::array<std::string, kUsages.size()> names;
  std::array<FunctionHelp, kUsages.size()> rows;
  Table() {
    for (size_t k = 0; k < kUsages.size(); ++k) {
      const qv::OpcodeRow& row = qv::kOpcodeRows[size_t(kUsages[k].op)];
      names[k].assign(row.name.begin(), row.name.end());
      rows[k] = {names[k], kUsages[k].usage, row.help, kUsages[k].aliases};
    }
  }
};

const std::array<FunctionHelp, kUsages.size()>& Rows() {
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
