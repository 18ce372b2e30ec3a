// The native tier: an all-double program translated into machine code. Steps that have a short
// form in the instruction set run inline; power, the factorial and the functions call helpers
// (engine/native/NativeHelpers.h) that compute exactly as RunDoubleProgram does, and a host
// function's call goes through HostValue (engine/eval/HostCall.h), which catches whatever the
// host throws, so nothing unwinds through the generated code. A guard that fails returns at once
// and leaves the evaluation to the next tier, exactly where RunDoubleProgram declines, so the two
// tiers give the same decision and the same bits.
//
// The code lives in pages of its own, mapped read-write while it is copied in and then switched
// to read-execute before it first runs (never writable and executable at once); the destructor
// unmaps them. Part of the build where QV_HAVE_NATIVE is defined (the CMake option QV_NATIVE, on
// where asmjit is found for x86-64 or AArch64); on any other target Compile gives null.
#pragma once

#include <cstddef>
#include <memory>

#include "engine/eval/DoubleProgram.h"

namespace qv {

class NativeProgram {
 public:
  // The machine code of Program, or null where this build or target generates none, where the
  // program holds a step without native code or reads a register before any step wrote it (beyond
  // its inputs), or where code memory cannot be had. Records: the values of the program's
  // variables, in its order (a compiled program's FrameInputs), which RunOnRecords reads; they
  // must outlive the code, as must the host functions the program calls (the compiled program
  // holds both).
  static std::unique_ptr<NativeProgram> Compile(const DoubleProgram& Program, const Variant* const* Records);

  // Frame holds kMaxRegisters doubles: registers 0 to InputCount() - 1 hold the input values
  // (the variables, then the constants, as GatherFrame and LoadConstants put them); the rest is
  // scratch, which the code may overwrite. True with Value set to exactly the bits
  // RunDoubleProgram gives for the same inputs; false exactly where RunDoubleProgram declines,
  // Value then untouched. Immutable: any number of threads may run one program at once, each
  // with its own frame.
  bool Run(double* Frame, double& Value) const noexcept { return entry_(Frame, &Value) != 0; }
  // The same on the inputs a caller would gather from the records and the constants: what
  // GatherFrame and Run give together (false where a variable does not hold a double). The code
  // keeps the scratch of its helper calls on its own stack.
  bool RunOnRecords(double& Value) const noexcept { return recordsEntry_(&Value) != 0; }
  // The same on the caller's values of the program's variables (Values[k] for variable k, as
  // Run's frame would hold them), the constants in the code: no frame to gather, no scratch to
  // pass (the code keeps its own on its stack).
  bool RunOnValues(const double* Values, double& Value) const noexcept { return valuesEntry_(Values, &Value) != 0; }
  // That entry itself, for a caller that keeps it and calls it directly (qvFormula): it returns
  // nonzero with the value stored, or 0. Valid while this program exists.
  using ValuesEntry = int (*)(const double* Values, double* Value) noexcept;
  ValuesEntry ValuesFunction() const noexcept { return valuesEntry_; }
  // Rows [First, Last) of columns in one loop of machine code: Columns has one entry per variable
  // of the program, its column (a double a row) or null for a variable whose value stays in its
  // slot of Frame; Frame is as for Run otherwise (its constants need not be loaded). Out[r]
  // receives what Run gives for row r, from First on, up to the first row that Run would decline;
  // returns that row's index, or Last. On x86-64 rows go two at a time in vector lanes where
  // every step has a packed form, each lane the same bits as the scalar code.
  size_t RunRows(const double* const* Columns, double* Frame, double* Out, size_t First, size_t Last) const noexcept {
    return rowsEntry_(Columns, Frame, Out, First, Last);
  }

  // Bytes of machine code, and bytes of memory mapped for it.
  size_t CodeSize() const noexcept { return codeSize_; }
  size_t MappedSize() const noexcept { return mappedSize_; }

  ~NativeProgram();
  NativeProgram(const NativeProgram&) = delete;
  NativeProgram& operator=(const NativeProgram&) = delete;

 private:
  using Entry = int (*)(double* Frame, double* Value) noexcept;
  using RecordsEntry = int (*)(double* Value) noexcept;
  using RowsEntry = size_t (*)(const double* const*, double*, double*, size_t, size_t) noexcept;
  NativeProgram(Entry entry, RecordsEntry recordsEntry, RowsEntry rowsEntry, ValuesEntry valuesEntry, void* memory,
                size_t codeSize, size_t mappedSize) noexcept
      : entry_(entry), recordsEntry_(recordsEntry), rowsEntry_(rowsEntry), valuesEntry_(valuesEntry),
        memory_(memory), codeSize_(codeSize), mappedSize_(mappedSize) {}

  Entry entry_;
  RecordsEntry recordsEntry_;
  RowsEntry rowsEntry_;
  ValuesEntry valuesEntry_;
  void* memory_;
  size_t codeSize_, mappedSize_;
};

}  // namespace qv
