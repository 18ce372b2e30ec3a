// The --csv mode of a session: each expression evaluated over the rows of a table, the table
// written back with one column added per expression, and the failed rows summed up by code. The
// file is read, evaluated and written a block of rows at a time, so memory stays the same
// whatever its size.
//
// The table's columns whose header is a name become variables (a column wins over a variable of
// the same name given by -v or a file), so that strict mode accepts them and no other new name.
// A cell that reads as a finite number is a number; any other cell is a text, so the string
// functions work on it and arithmetic on it fails (code 13, type mismatch) the rows of the
// expressions that read its column, and only those. Rows of numbers go through the engine's
// column call; a row with a text cell, or whose result is a text, is evaluated on its own, and a
// text result is written as a cell.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <unordered_map>

#include "cli/CsvTable.h"
#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "cli/SafeText.h"
#include "cli/Session.h"
#include "engine/CompiledExpression.h"
#include "engine/Utf8.h"

namespace {

constexpr int32_t kTypeMismatch = 13;
constexpr size_t kFlushBytes = size_t(1) << 20;

std::string OneLine(std::u16string_view text) {
  std::string out = ToUtf8(text);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

std::string Rows(size_t count) { return std::to_string(count) + (count == 1 ? " row" : " rows"); }

// Why a cell fails arithmetic: it names the column and shows the cell, cut when long.
std::string CellFailure(std::string_view column, std::string_view cell, CellKind kind) {
  const std::string shown = "'" + Escaped(cell, kShownCell) + "'";
  const std::string name(Trim(column));
  if (kind == CellKind::NotFinite) {
    double value = 0;
    ReadCell(cell, value);
    return name + (std::isnan(value) ? " is NaN: " : " is infinite: ") + shown;
  }
  return name + " is not a number: " + shown;
}

// The values of variables, put back when it ends: evaluating a row alone sets the columns'
// variables, which must read as before once the table is done.
class SavedValues {
 public:
  explicit SavedValues(std::vector<std::shared_ptr<qvVariable>> variables) : variables_(std::move(variables)) {
    for (const auto& variable : variables_) values_.push_back(variable->Value);
  }
  ~SavedValues() {
    for (size_t i = 0; i < variables_.size(); ++i) variables_[i]->Value = values_[i];
  }
  SavedValues(const SavedValues&) = delete;
  SavedValues& operator=(const SavedValues&) = delete;

 private:
  std::vector<std::shared_ptr<qvVariable>> variables_;
  std::vector<Variant> values_;
};

}  // namespace

// One added column: the expression, its compiled index (0 when it failed to compile), the table's
// columns it reads, each row's value, status and text result in the block at hand, and the
// failures so far by code.
struct Session::AddedColumn {
  struct Failures {
    size_t rows = 0;
    size_t first = 0;  // the first failed row of the file, counted from 1 after the header
    std::string why;
  };
  std::string text;
  int16_t index = 0;
  std::vector<size_t> columns;
  std::vector<double> values;
  std::vector<int32_t> status;
  std::unordered_map<size_t, std::string> texts;  // rows (0-based in the block) whose result is a text
  std::map<int32_t, Failures> failures;
};

struct Session::TableRun {
  std::vector<std::shared_ptr<qvVariable>> variables;  // per column, null for one that is not a variable
  std::vector<AddedColumn> added;
  unsigned threads = 0;
  size_t rows = 0;
  bool started = false;
};

// The cells of one block's columns as numbers, read when an expression first needs them; the
// rows (0-based) whose cell is not a finite number are listed.
struct Session::BlockCells {
  struct Column {
    bool read = false;
    std::vector<double> values;
    std::vector<size_t> textRows;
  };
  std::vector<Column> columns;

  const Column& Of(const CsvTable& block, size_t column) {
    Column& cells = columns[column];
    if (cells.read) return cells;
    cells.values.resize(block.Rows());
    for (size_t row = 0; row < block.Rows(); ++row)
      if (ReadCell(block.Cell(row + 1, column), cells.values[row]) != CellKind::Number) {
        cells.values[row] = std::numeric_limits<double>::quiet_NaN();
        cells.textRows.push_back(row);
      }
    cells.read = true;
    return cells;
  }
};

bool Session::EvaluateTable(std::FILE* file, const std::vector<std::string>& expressions, unsigned threads,
                            const std::function<void(size_t)>& progress, std::string& readError) {
  TableRun run;
  run.threads = threads;
  for (const std::string& expression : expressions) run.added.emplace_back().text = expression;
  const bool read = ReadCsv(file, readError, [&](const CsvTable& block, size_t bytes) {
    if (!run.started) StartTable(run, block);
    BlockCells cells{std::vector<BlockCells::Column>(block.Columns())};
    for (AddedColumn& added : run.added)
      if (added.index != 0) EvaluateBlock(run, added, block, cells);
    WriteRows(run, block, 1, block.Rows());
    run.rows += block.Rows();
    progress(bytes);
  });
  Out().flush();
  if (!read) return false;
  bool ok = true;
  for (const AddedColumn& added : run.added) ok = SummariseFailures(added, run.rows) && ok;
  return ok;
}

// The header binds the columns' variables; then the expressions compile (so that strict mode
// knows the columns' names) and the header line is written.
void Session::StartTable(TableRun& run, const CsvTable& header) {
  run.started = true;
  run.variables = ColumnVariables(header);
  for (AddedColumn& added : run.added) {
    std::u16string text = FromUtf8(added.text);
    if (!CompileOnly(text, added.index)) {
      added.index = 0;  // its column stays empty
      continue;
    }
    const CompiledExpression* code = engine_.Expression(added.index);
    const int32_t count = std::min<int32_t>(code->Count, int32_t(code->Operands.size()) - 1);
    for (size_t column = 0; column < run.variables.size(); ++column)
      for (int32_t i = 1; run.variables[column] && i <= count; ++i)
        if (code->Operands[size_t(i)].Var == run.variables[column]) {
          added.columns.push_back(column);
          break;
        }
  }
  WriteRows(run, header, 0, 0);
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

// The column call over the block's numbers; then each row with a text cell, or whose result is
// a text (the column call's type mismatch), on its own.
void Session::EvaluateBlock(TableRun& run, AddedColumn& added, const CsvTable& block, BlockCells& cells) {
  const size_t rows = block.Rows();
  std::vector<qvColumn> columns;
  std::vector<size_t> alone;
  for (size_t column : added.columns) {
    const BlockCells::Column& numbers = cells.Of(block, column);
    columns.push_back({run.variables[column]->Name, numbers.values.data()});
    alone.insert(alone.end(), numbers.textRows.begin(), numbers.textRows.end());
  }
  added.values.assign(rows, 0);
  added.status.assign(rows, 0);
  added.texts.clear();
  engine_.ValueColumns(added.index, columns, rows, added.values.data(), added.status.data(), run.threads);
  for (size_t row = 0; row < rows; ++row)
    if (added.status[row] == kTypeMismatch) alone.push_back(row);
  std::sort(alone.begin(), alone.end());
  alone.erase(std::unique(alone.begin(), alone.end()), alone.end());
  const SavedValues saved(ReadVariables(run, added));
  for (size_t row : alone) {
    const Variant result = EvaluateRow(run, added, block, row);
    if (added.status[row] != 0) continue;
    if (result.isText()) added.texts[row] = ToUtf8(result.toText());
    else added.values[row] = result.asDouble();
  }
  NoteFailures(run, added, block);
}

std::vector<std::shared_ptr<qvVariable>> Session::ReadVariables(const TableRun& run, const AddedColumn& added) {
  std::vector<std::shared_ptr<qvVariable>> variables;
  for (size_t column : added.columns) variables.push_back(run.variables[column]);
  return variables;
}

// One row through the engine's own evaluation, its cells as numbers or texts; the row's status
// is the error code, the description is left in why.
Variant Session::EvaluateRow(TableRun& run, AddedColumn& added, const CsvTable& block, size_t row,
                             std::string* why) {
  for (size_t column : added.columns) {
    const std::string_view cell = block.Cell(row + 1, column);
    double number = 0;
    run.variables[column]->Value =
        ReadCell(cell, number) == CellKind::Number ? Variant(number) : Variant(FromUtf8(cell));
  }
  int32_t which = added.index;
  const Variant result = engine_.Value(which);
  added.status[row] = engine_.ErrorCode();
  if (why) *why = OneLine(engine_.ErrorDescription());
  engine_.ClearError();
  return result;
}

// Counts the block's failed rows by code; the first row of a code keeps its reason: a cell that
// is not a number, or what evaluating the row alone reports.
void Session::NoteFailures(TableRun& run, AddedColumn& added, const CsvTable& block) {
  for (size_t row = 0; row < block.Rows(); ++row) {
    const int32_t code = added.status[row];
    if (code == 0) continue;
    auto [at, fresh] = added.failures.try_emplace(code);
    ++at->second.rows;
    if (!fresh) continue;
    at->second.first = block.FirstRow() + row;
    for (size_t column : added.columns) {
      double value = 0;
      const std::string_view cell = block.Cell(row + 1, column);
      if (const CellKind kind = ReadCell(cell, value); kind != CellKind::Number && code == kTypeMismatch) {
        at->second.why = CellFailure(block.Name(column), cell, kind);
        break;
      }
    }
    if (!at->second.why.empty()) continue;
    const SavedValues saved(ReadVariables(run, added));
    EvaluateRow(run, added, block, row, &at->second.why);
    added.status[row] = code;  // as the column call found it
  }
}

// The block's rows first to last (0: the header): the input's cells as they were, then the
// added columns: a number that reads back exactly, a text result as a cell, nothing for a failed
// row.
void Session::WriteRows(const TableRun& run, const CsvTable& block, size_t first, size_t last) {
  std::ostream& out = Out();
  std::string line;
  for (size_t row = first; row <= last; ++row) {
    for (size_t column = 0; column < block.Columns(); ++column) {
      if (column) line.push_back(',');
      AppendCell(line, block.Cell(row, column));
    }
    for (const AddedColumn& added : run.added) {
      line.push_back(',');
      if (row == 0) {
        AppendCell(line, added.text);
      } else if (added.index != 0 && added.status[row - 1] == 0) {
        const auto text = added.texts.find(row - 1);
        if (text != added.texts.end()) AppendCell(line, text->second);
        else AppendNumber(line, added.values[row - 1]);
      }
    }
    line.push_back('\n');
    if (line.size() >= kFlushBytes) out.write(line.data(), std::streamsize(line.size())), line.clear();
  }
  out.write(line.data(), std::streamsize(line.size()));
}

// One line for an expression with failed rows, then one for each code: how many rows, the first
// of them (counted from 1 after the header) and why it failed.
bool Session::SummariseFailures(const AddedColumn& added, size_t rows) {
  if (added.index == 0) return false;
  if (added.failures.empty()) return true;
  size_t failed = 0;
  for (const auto& [code, failures] : added.failures) failed += failures.rows;
  Problem("'" + added.text + "': " + std::to_string(failed) + " of " + Rows(rows) + " failed");
  for (const auto& [code, failures] : added.failures)
    err_ << "  error " << code << " in " << Rows(failures.rows) << ", the first row " << failures.first
         << (failures.why.empty() ? "" : ": ") << Escaped(failures.why) << '\n';
  return false;
}
