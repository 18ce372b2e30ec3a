// Fuzz target: the calculator's CSV reader on arbitrary bytes. The input is read twice, in the
// large blocks of a real run and in blocks of a few cells fed a few bytes at a time, and both
// readings must agree: the same verdict, the same message, the same cells in the same rows, block
// boundaries falling anywhere in a row or a quoted cell. A table that reads is then written as the
// calculator writes cells and read back, which must give the same cells again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CsvTable.h"
#include "fuzz/FuzzInput.h"

namespace {

// The blocks of a real run, read in one piece (inputs are at most a few KB).
constexpr CsvBlockSize kWhole{size_t(1) << 20, size_t(8) << 20, size_t(1) << 13};

struct Reading {
  bool ok = false;
  std::string error;
  std::vector<std::vector<std::string>> rows;  // the header first
  size_t blocks = 0;
};

Reading Read(const std::string& bytes, CsvBlockSize size) {
  Reading reading;
  std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!file) fuzz::Fail("fmemopen");
  reading.ok = ReadCsv(file, reading.error, [&](const CsvTable& block, size_t) {
    fuzz::Check(block.FirstRow() == reading.rows.size() + (reading.rows.empty() ? 1 : 0), "rows counted across blocks");
    for (size_t row = reading.rows.empty() ? 0 : 1; row <= block.Rows(); ++row) {
      std::vector<std::string>& cells = reading.rows.emplace_back();
      for (size_t column = 0; column < block.Columns(); ++column) cells.emplace_back(block.Cell(row, column));
    }
    ++reading.blocks;
  }, size);
  std::fclose(file);
  return reading;
}

std::string Written(const std::vector<std::vector<std::string>>& rows) {
  std::string out;
  for (const auto& row : rows) {
    for (size_t column = 0; column < row.size(); ++column) {
      if (column) out.push_back(',');
      AppendCell(out, row[column]);
    }
    out.push_back('\n');
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen wants a buffer
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const Reading whole = Read(bytes, kWhole);
  const size_t step = 1 + data[0] % 7;
  const Reading pieces = Read(bytes, {step, step * 3, step});
  fuzz::Check(whole.ok == pieces.ok, "the same verdict in any blocks");
  fuzz::Check(whole.error == pieces.error, "the same message in any blocks");
  if (!whole.ok) return 0;
  fuzz::Check(whole.blocks == 1, "a small file is one block");
  fuzz::Check(whole.rows == pieces.rows, "the same cells in any blocks");
  const std::string written = Written(whole.rows);
  const Reading again = Read(written, kWhole);
  fuzz::Check(again.ok, "written cells read back");
  fuzz::Check(again.rows == whole.rows, "written cells read back the same");
  return 0;
}
