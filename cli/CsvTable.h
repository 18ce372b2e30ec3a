// A CSV file as the calculator's --csv mode reads it: a header row naming the columns, then the
// rows, every cell kept as the text it held (quotes removed, doubled quotes undone). The file is
// read in blocks of rows, so that memory does not grow with its size: a CsvTable holds the header
// and the rows of one block.
// Reading follows RFC 4180 strictly (libcsv's strict mode): a quote inside an unquoted cell or a
// quoted cell left open is an error, not a guess. Blanks around an unquoted cell belong to it;
// lines holding nothing but blanks are skipped; every row must have as many cells as the header;
// a byte-order mark at the start of the file is skipped.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How much a block holds before it is handed on, and the bytes read from the file at a time. The
// defaults keep a block near 16 MB; tests and the fuzz target make them small.
struct CsvBlockSize {
  size_t cells = size_t(1) << 20;
  size_t textBytes = size_t(8) << 20;
  size_t readBytes = size_t(1) << 20;
};

class CsvTable {
 public:
  size_t Columns() const { return columns_; }
  size_t Rows() const { return complete_ ? complete_ - 1 : 0; }
  // The number (counted from 1 after the header) of the file's row that is this block's row 1.
  size_t FirstRow() const { return firstRow_; }
  std::string_view Name(size_t column) const { return Cell(0, column); }
  // Row 0 is the header, the block's data rows are 1 to Rows().
  std::string_view Cell(size_t row, size_t column) const;

  // Reads file block by block: each block of complete rows is handed to block (with the bytes
  // read so far), the header's alone when the file has no rows; false with a message in error
  // when the file is not CSV or cannot be read (the blocks before the fault have been handed on).
  friend bool ReadCsv(std::FILE* file, std::string& error,
                      const std::function<void(const CsvTable& block, size_t bytes)>& block,
                      CsvBlockSize size);

 private:
  struct Reader;
  void DropRows();            // forgets the block's complete data rows, keeps the header
  std::string text_;          // every cell's text, one after another
  std::vector<size_t> ends_;  // where each cell's text ends in text_, row after row
  size_t columns_ = 0;
  size_t complete_ = 0;       // rows complete, the header included
  size_t firstRow_ = 1;
};

bool ReadCsv(std::FILE* file, std::string& error,
             const std::function<void(const CsvTable& block, size_t bytes)>& block, CsvBlockSize size = {});

// What a cell holds as a value: a finite number, or anything else, which is a text ("inf" and
// "nan" are texts, though they read as numbers elsewhere).
enum class CellKind { Number, NotFinite, Text };
// A cell's text as a number: blanks around it and a leading '+' allowed, then what
// std::from_chars reads in its general form.
CellKind ReadCell(std::string_view cell, double& value);
// Appends cell to out, between quotes (inner quotes doubled) when it holds a comma, a quote, a
// line break or blanks at either end, so that a reader gets the same text back.
void AppendCell(std::string& out, std::string_view cell);
// Appends the shortest text that reads back as exactly value.
void AppendNumber(std::string& out, double value);
