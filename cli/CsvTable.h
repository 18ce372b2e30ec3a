// A CSV file in memory, as the calculator's --csv mode reads it: a header row naming the columns,
// then the rows, every cell kept as the text it held (quotes removed, doubled quotes undone).
// Reading follows RFC 4180 strictly (libcsv's strict mode): a quote inside an unquoted cell or a
// quoted cell left open is an error, not a guess. Blanks around an unquoted cell belong to it;
// lines holding nothing but blanks are skipped; every row must have as many cells as the header.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CsvTable {
 public:
  size_t Columns() const { return columns_; }
  size_t Rows() const { return columns_ ? ends_.size() / columns_ - 1 : 0; }
  std::string_view Name(size_t column) const { return Cell(0, column); }
  // Row 0 is the header, the data rows are 1 to Rows().
  std::string_view Cell(size_t row, size_t column) const;

  // The column's cells of the data rows as numbers; the rows (0-based) whose cell is not a
  // number get NaN and are listed in textRows.
  std::vector<double> Numbers(size_t column, std::vector<size_t>& textRows) const;

  // Reads the whole of file into table; false with a message in error. progress, when set, is
  // told the bytes read so far.
  friend bool ReadCsv(std::FILE* file, CsvTable& table, std::string& error,
                      const std::function<void(size_t)>& progress);

 private:
  struct Reader;
  std::string text_;          // every cell's text, one after another
  std::vector<size_t> ends_;  // where each cell's text ends in text_, row after row
  size_t columns_ = 0;
};

bool ReadCsv(std::FILE* file, CsvTable& table, std::string& error,
             const std::function<void(size_t)>& progress = {});

// A cell's text as a number: blanks around it and a leading '+' allowed, then what
// std::from_chars reads in its general form (inf and nan included); false for anything else.
bool CellNumber(std::string_view cell, double& value);
// Appends cell to out, between quotes (inner quotes doubled) when it holds a comma, a quote, a
// line break or blanks at either end, so that a reader gets the same text back.
void AppendCell(std::string& out, std::string_view cell);
// Appends the shortest text that reads back as exactly value.
void AppendNumber(std::string& out, double value);
