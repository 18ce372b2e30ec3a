// The all-double program over a block of rows at once, for a program that calls a host function
// with a block form (qvFunction::Block): each such call runs once for all the block's rows, so a
// function of a scripting language costs one call a block instead of one a row. The registers
// are columns of the block's rows; the other steps run over them one step at a time, the
// arithmetic in loops of its own, every other step row by row through the all-double program's
// own code (RunDoubleProgram), so every row gets the bits it gets alone, and declines where it
// declines alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/eval/DoubleProgram.h"

namespace qv {

struct HostFunction;

// Whether every row of the block is live; whether every value of T is finite.
bool AllLive(const uint8_t* Live, size_t Rows) noexcept;
bool AllFinite(const double* T, size_t Rows) noexcept;

class BlockProgram {
 public:
  // Whether Fast calls a host function with a block form.
  static bool Wanted(const DoubleProgram& Fast) noexcept;

  // For blocks of up to Rows rows. Frame: the value of each input register (the variables
  // without a column and the constants; a column's entry is not read).
  BlockProgram(const DoubleProgram& Fast, const double* Frame, size_t Rows);

  // Runs the rows whose Live is set, of a block whose variable k reads Columns[k] (null: its
  // value in the frame), into Out[r]. A row that declines has its Live cleared (the general loop
  // decides it; its Out is left to that). Not for several threads at once: each keeps its own.
  void Run(const double* const* Columns, size_t Rows, uint8_t* Live, double* Out);

 private:
  void Arithmetic(const DoubleStep& Step, size_t Rows, uint8_t* Live);
  void RowByRow(const DoubleStep& Step, const DoubleProgram& Single, size_t Rows, uint8_t* Live);
  void CallBlock(const DoubleStep& Step, size_t Rows, uint8_t* Live);
  void CallRows(const HostFunction& Function, size_t First, size_t Last, uint8_t* Live);

  const DoubleProgram& fast_;
  std::vector<DoubleProgram> single_;  // per step: a program of that step alone (RowByRow)
  std::vector<double> kept_;           // the frame's values, each repeated for every row
  std::vector<double> temps_;          // the registers the steps write, a column each
  std::vector<double*> reg_;           // per register: its column for the block (the result's: Out)
  std::vector<uint32_t> rows_;          // a block call's rows (empty: all the block's)
  std::vector<double> args_;            // their arguments gathered, argument after argument
  std::vector<double> out_;             // their results, where gathered
  std::vector<const double*> argBase_;  // per argument: the call's first row
  double* outBase_ = nullptr;           // the result of the call's first row
};

}  // namespace qv
