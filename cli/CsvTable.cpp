#include "cli/CsvTable.h"

#include <csv.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

#include "cli/Names.h"

namespace {

constexpr const char* kStrayQuote =
    "a quote out of place (a cell that holds quotes is quoted whole, its own quotes doubled)";

// Blanks are part of a cell: libcsv would otherwise drop them around unquoted cells.
int NoBlanks(unsigned char) { return 0; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// The parser's callbacks: cells arrive one at a time, then the end of their row.
struct CsvTable::Reader {
  CsvTable& table;
  std::string& error;
  CsvBlockSize size;
  size_t rowStart = 0;  // the first cell of the row being read, in table.ends_
  size_t rowsRead = 0;  // data rows of the file so far, for messages
  bool failed = false;

  static void OnCell(void* text, size_t length, void* data) {
    auto& self = *static_cast<Reader*>(data);
    if (self.failed) return;
    self.table.text_.append(static_cast<const char*>(text), length);
    self.table.ends_.push_back(self.table.text_.size());
  }

  static void OnRowEnd(int, void* data) { static_cast<Reader*>(data)->EndRow(); }

  void EndRow() {
    if (failed) return;
    const size_t count = table.ends_.size() - rowStart;
    const size_t begin = rowStart == 0 ? 0 : table.ends_[rowStart - 1];
    const std::string_view only(table.text_.data() + begin, table.text_.size() - begin);
    if (count == 1 && std::all_of(only.begin(), only.end(), IsBlank)) {  // a blank line
      table.text_.resize(begin);
      table.ends_.pop_back();
      return;
    }
    if (rowStart == 0) {
      table.columns_ = count;
    } else if (count != table.columns_) {
      error = "row " + std::to_string(rowsRead + 1) + " has " + std::to_string(count) + " cells, the header " +
              std::to_string(table.columns_);
      failed = true;
      return;
    } else {
      ++rowsRead;
    }
    rowStart = table.ends_.size();
    ++table.complete_;
  }

  bool Full() const { return table.ends_.size() >= size.cells || table.text_.size() >= size.textBytes; }

  // Hands the complete rows on and forgets them; the row being read stays.
  void HandOn(const std::function<void(const CsvTable&, size_t)>& block, size_t bytes) {
    block(table, bytes);
    table.DropRows();
    rowStart = table.columns_;
  }
};

std::string_view CsvTable::Cell(size_t row, size_t column) const {
  const size_t at = row * columns_ + column;
  const size_t begin = at == 0 ? 0 : ends_[at - 1];
  return std::string_view(text_).substr(begin, ends_[at] - begin);
}

void CsvTable::DropRows() {
  const size_t cells = complete_ * columns_;
  const size_t header = columns_ ? ends_[columns_ - 1] : 0;
  const size_t from = cells ? ends_[cells - 1] : 0;
  text_.erase(header, from - header);
  ends_.erase(ends_.begin() + std::ptrdiff_t(columns_), ends_.begin() + std::ptrdiff_t(cells));
  for (size_t i = columns_; i < ends_.size(); ++i) ends_[i] -= from - header;
  firstRow_ += Rows();
  complete_ = columns_ ? 1 : 0;
}

// Errors name the line, counted over the bytes the parser accepted.
bool ReadCsv(std::FILE* file, std::string& error,
             const std::function<void(const CsvTable& block, size_t bytes)>& block, CsvBlockSize size) {
  CsvTable table;
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) return error = "out of memory", false;
  csv_set_space_func(&parser, NoBlanks);
  CsvTable::Reader reader{table, error, size};
  const size_t capacity = std::max<size_t>(size.readBytes, 3);  // a byte-order mark fits
  const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  size_t total = 0, lines = 1;
  bool ok = true, handed = false;
  while (ok && !reader.failed) {
    const size_t got = std::fread(buffer.get(), 1, capacity, file);
    if (got == 0) break;
    // A byte-order mark is no part of the first cell.
    const size_t skip = total == 0 && std::string_view(buffer.get(), got).starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const size_t parsed = csv_parse(&parser, buffer.get() + skip, got - skip, CsvTable::Reader::OnCell,
                                    CsvTable::Reader::OnRowEnd, &reader) + skip;
    lines += size_t(std::count(buffer.get(), buffer.get() + parsed, '\n'));
    total += got;
    if (reader.failed) break;  // a row with the wrong cell count, whatever follows it
    if (parsed != got) {
      const int code = csv_error(&parser);
      error = "line " + std::to_string(lines) + ": " + (code == CSV_EPARSE ? kStrayQuote : csv_strerror(code));
      ok = false;
    } else if (!reader.failed && reader.Full() && table.Rows() > 0) {
      reader.HandOn(block, total), handed = true;
    }
  }
  if (ok && std::ferror(file)) error = "read error", ok = false;
  if (ok && !reader.failed && csv_fini(&parser, CsvTable::Reader::OnCell, CsvTable::Reader::OnRowEnd, &reader) != 0)
    error = "a quoted cell is not closed at the end", ok = false;
  if (ok && !reader.failed && table.columns_ == 0) error = "no header row", ok = false;
  csv_free(&parser);
  ok = ok && !reader.failed;
  if (ok && (table.Rows() > 0 || !handed)) block(table, total);
  return ok;
}

CellKind ReadCell(std::string_view cell, double& value) {
  cell = Trim(cell);
  if (cell.size() > 1 && cell[0] == '+' && cell[1] != '-') cell.remove_prefix(1);
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (cell.empty() || ec != std::errc() || end != cell.data() + cell.size()) return CellKind::Text;
  return std::isfinite(value) ? CellKind::Number : CellKind::NotFinite;
}

void AppendCell(std::string& out, std::string_view cell) {
  // A cell that starts with a byte-order mark is quoted too: at the start of a file, a reader
  // would take the mark for the file's own and drop it.
  const bool quoted = cell.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!cell.empty() && (IsBlank(cell.front()) || IsBlank(cell.back()))) ||
                      cell.starts_with("\xEF\xBB\xBF");
  if (!quoted) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendNumber(std::string& out, double value) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, ec == std::errc() ? end : text);
}
