// The --csv mode of a session: each expression evaluated over the rows of a table with the
// engine's column call, the table written back with one column added per expression, and the
// failed rows summed up by code.
//
// The table's columns whose header is a name become variables (a column wins over a variable of
// the same name given by -v or a file), so that strict mode accepts them and no other new name.
// A cell that is not a number fails, with code 13 (type mismatch), the rows of the expressions
// that read its column; the expressions that do not read it are not affected.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "cli/CsvTable.h"
#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "engine/CompiledExpression.h"
#include "engine/Utf8.h"

namespace {

constexpr int32_t kTypeMismatch = 13;
constexpr size_t kRowsPerCall = size_t(1) << 16;  // rows per column call, between progress updates
constexpr size_t kFlushBytes = size_t(1) << 20;

// A column's cells as numbers, read when an expression first needs them.
struct ColumnNumbers {
  bool read = false;
  std::vector<double> values;
  std::vector<size_t> textRows;  // 0-based rows whose cell is not a number
};

std::string OneLine(std::u16string_view text) {
  std::string out = ToUtf8(text);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

std::string Rows(size_t count) { return std::to_string(count) + (count == 1 ? " row" : " rows"); }

}  // namespace

// One added column: the expression, its compiled index (0 when it failed to compile), the table's
// columns it reads, and each row's value and status.
struct Session::AddedColumn {
  std::string text;
  int16_t index = 0;
  std::vector<size_t> columns;
  std::vector<double> values;
  std::vector<int32_t> status;
};

struct Session::TableRun {
  const CsvTable& table;
  std::vector<std::shared_ptr<qvVariable>> variables;  // per column, null for one that is not a variable
  std::vector<ColumnNumbers> numbers;
  std::vector<AddedColumn> added;
};

bool Session::EvaluateTable(const CsvTable& table, const std::vector<std::string>& expressions,
                            unsigned threads, Progress& progress) {
  TableRun run{table, ColumnVariables(table), std::vector<ColumnNumbers>(table.Columns()), {}};
  bool ok = true;
  for (const std::string& expression : expressions) {
    AddedColumn& added = run.added.emplace_back();
    added.text = expression;
    std::u16string text = FromUtf8(expression);
    if (!CompileOnly(text, added.index)) added.index = 0, ok = false;  // its column stays empty
  }
  for (size_t i = 0; i < run.added.size(); ++i) {
    if (run.added[i].index == 0) continue;
    EvaluateColumn(run, run.added[i], threads, [&](double done) {
      progress.Show("evaluating", (double(i) + done) / double(run.added.size()));
    });
  }
  progress.Done();
  WriteTable(run);
  for (const AddedColumn& added : run.added) ok = SummariseFailures(run, added) && ok;
  return ok;
}

// The columns whose header is a name that is not a function's or an array's; a name repeated
// (letter case aside) feeds its first column only.
std::vector<std::shared_ptr<qvVariable>> Session::ColumnVariables(const CsvTable& table) {
  std::vector<std::shared_ptr<qvVariable>> variables(table.Columns());
  for (size_t column = 0; column < table.Columns(); ++column) {
    const std::string_view name = Trim(table.Name(column));
    int16_t slot = 0, dims = 0;
    std::vector<int16_t> bounds;
    if (IsName(name)) engine_.GetArrayDetails(FromUtf8(name), slot, dims, bounds);
    if (!IsName(name) || slot != 0 || FindBuiltin(name) || FunctionIndex(FromUtf8(name)) >= 0) continue;
    auto variable = engine_.BindVariable(FromUtf8(name));
    if (std::find(variables.begin(), variables.end(), variable) != variables.end()) {
      Problem("column " + std::to_string(column + 1) + " repeats the name " + std::string(name) +
              "; expressions read the first");
      continue;
    }
    variables[column] = std::move(variable);
  }
  return variables;
}

void Session::EvaluateColumn(TableRun& run, AddedColumn& added, unsigned threads,
                             const std::function<void(double)>& progress) {
  const size_t rows = run.table.Rows();
  const CompiledExpression* code = engine_.Expression(added.index);
  for (size_t column = 0; column < run.variables.size(); ++column) {
    const auto& variable = run.variables[column];
    const int32_t count = std::min<int32_t>(code->Count, int32_t(code->Operands.size()) - 1);
    for (int32_t i = 1; variable && i <= count; ++i)
      if (code->Operands[size_t(i)].Var == variable) {
        added.columns.push_back(column);
        break;
      }
  }
  std::vector<qvColumn> columns;
  for (size_t column : added.columns) {
    ColumnNumbers& numbers = run.numbers[column];
    if (!numbers.read) numbers.values = run.table.Numbers(column, numbers.textRows), numbers.read = true;
    columns.push_back({run.variables[column]->Name, numbers.values.data()});
  }
  added.values.resize(rows);
  added.status.resize(rows);
  for (size_t from = 0; from < rows; from += kRowsPerCall) {
    std::vector<qvColumn> part = columns;
    for (qvColumn& column : part) column.Values += from;
    const size_t count = std::min(kRowsPerCall, rows - from);
    engine_.ValueColumns(added.index, part, count, added.values.data() + from, added.status.data() + from, threads);
    progress(double(from + count) / double(rows));
  }
  for (size_t column : added.columns)
    for (size_t row : run.numbers[column].textRows) added.status[row] = kTypeMismatch;
}

// The input's cells as they were, then the added columns: a number that reads back exactly, or
// nothing for a failed row.
void Session::WriteTable(const TableRun& run) {
  std::ostream& out = Out();
  std::string line;
  for (size_t row = 0; row <= run.table.Rows(); ++row) {
    for (size_t column = 0; column < run.table.Columns(); ++column) {
      if (column) line.push_back(',');
      AppendCell(line, run.table.Cell(row, column));
    }
    for (const AddedColumn& added : run.added) {
      line.push_back(',');
      if (row == 0) AppendCell(line, added.text);
      else if (added.index != 0 && added.status[row - 1] == 0) AppendNumber(line, added.values[row - 1]);
    }
    line.push_back('\n');
    if (line.size() >= kFlushBytes) out.write(line.data(), std::streamsize(line.size())), line.clear();
  }
  out.write(line.data(), std::streamsize(line.size()));
  out.flush();
}

// One line for an expression with failed rows, then one for each code: how many rows, the first
// of them (counted from 1 after the header) and why it failed.
bool Session::SummariseFailures(TableRun& run, const AddedColumn& added) {
  if (added.index == 0) return false;
  std::map<int32_t, std::pair<size_t, size_t>> codes;  // code: rows, the first row
  for (size_t row = 0; row < added.status.size(); ++row)
    if (const int32_t code = added.status[row]; code != 0) {
      auto [at, fresh] = codes.try_emplace(code, 0, row);
      ++at->second.first;
    }
  if (codes.empty()) return true;
  size_t failed = 0;
  for (const auto& [code, rows] : codes) failed += rows.first;
  Problem("'" + added.text + "': " + std::to_string(failed) + " of " + Rows(added.status.size()) + " failed");
  for (const auto& [code, rows] : codes) {
    const std::string why = RowFailure(run, added, rows.second);
    err_ << "  error " << code << " in " << Rows(rows.first) << ", the first row " << rows.second + 1
         << (why.empty() ? "" : ": ") << why << '\n';
  }
  return false;
}

// Why row failed: a cell that is not a number, or what evaluating the row alone reports.
std::string Session::RowFailure(TableRun& run, const AddedColumn& added, size_t row) {
  for (size_t column : added.columns)
    if (double value = 0; !CellNumber(run.table.Cell(row + 1, column), value))
      return std::string(Trim(run.table.Name(column))) + " is not a number: '" +
             std::string(run.table.Cell(row + 1, column)) + "'";
  std::vector<Variant> kept;
  for (size_t column : added.columns) {
    kept.push_back(run.variables[column]->Value);
    run.variables[column]->Value = Variant(run.numbers[column].values[row]);
  }
  int32_t which = added.index;
  const Variant result = engine_.Value(which);
  std::string why;
  if (engine_.ErrorCode() != 0) why = OneLine(engine_.ErrorDescription());
  else if (result.isText()) why = "the result is a text: '" + OneLine(result.toText()) + "'";
  engine_.ClearError();
  for (size_t i = 0; i < added.columns.size(); ++i) run.variables[added.columns[i]]->Value = kept[i];
  return why;
}
