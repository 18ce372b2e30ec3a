#include "engine/native/NativeProgram.h"

#include <bitset>
#include <new>

#if defined(__x86_64__) || defined(_M_X64) || defined(__aarch64__)
#define QV_NATIVE_TARGET 1
#include <asmjit/core.h>

#include "engine/native/NativeEmitter.h"
#include "engine/native/NativeSteps.h"
#endif

namespace qv {

#ifdef QV_NATIVE_TARGET
namespace {

// Every step has native code, and reads only inputs and registers that earlier steps wrote (a host
// call: its arguments), as does the result.
bool Admissible(const DoubleProgram& Program) {
  const size_t inputs = Program.InputCount();
  if (inputs > size_t(DoubleProgram::kMaxRegisters)) return false;
  std::bitset<DoubleProgram::kMaxRegisters> written;
  for (size_t r = 0; r < inputs; ++r) written.set(r);
  const auto known = [&](size_t r) { return r < written.size() && written[r]; };
  for (const DoubleStep& s : Program.Steps) {
    if (!native::Supported(s.Op)) return false;
    if (s.Op == DoubleOp::Host) {
      if (!native::HostArgumentsFit(Program, s)) return false;
      for (uint8_t reg : Program.Hosts[s.A].Args)
        if (!known(reg)) return false;
    } else if (!known(s.A) || !known(s.B) || !known(s.C)) {
      return false;
    }
    if (size_t(s.Target) >= written.size()) return false;
    written.set(s.Target);
  }
  return known(Program.Result);
}

// Maps pages read-write, copies the assembled code in, then makes them read-execute. Null (with
// nothing mapped) when any of it fails.
void* Place(asmjit::CodeHolder& code, size_t& codeSize, size_t& mappedSize) {
  using namespace asmjit;
  if (code.flatten() != kErrorOk || code.resolveUnresolvedLinks() != kErrorOk) return nullptr;
  codeSize = code.codeSize();
  const size_t page = VirtMem::info().pageSize;
  mappedSize = (codeSize + page - 1) / page * page;
  void* memory = nullptr;
  if (codeSize == 0 || VirtMem::alloc(&memory, mappedSize, VirtMem::MemoryFlags::kAccessRW) != kErrorOk)
    return nullptr;
  if (code.relocateToBase(uint64_t(uintptr_t(memory))) != kErrorOk || code.codeSize() > mappedSize ||
      code.copyFlattenedData(memory, mappedSize, CopySectionFlags::kPadSectionBuffer | CopySectionFlags::kPadTargetBuffer) != kErrorOk ||
      VirtMem::protect(memory, mappedSize, VirtMem::MemoryFlags::kAccessRX) != kErrorOk) {
    VirtMem::release(memory, mappedSize);
    return nullptr;
  }
  VirtMem::flushInstructionCache(memory, codeSize);
  return memory;
}

}  // namespace
#endif

std::unique_ptr<NativeProgram> NativeProgram::Compile(const DoubleProgram& Program, const Variant* const* Records) {
#ifdef QV_NATIVE_TARGET
  if (!Admissible(Program) || (Program.Variables > 0 && !Records)) return nullptr;
  asmjit::CodeHolder code;
  if (code.init(asmjit::Environment::host()) != asmjit::kErrorOk) return nullptr;
  native::EntryLabels labels;
#if defined(__aarch64__)
  if (!native::EmitA64(Program, Records, code, labels)) return nullptr;
#else
  if (!native::EmitX86(Program, Records, code, labels)) return nullptr;
#endif
  size_t codeSize = 0, mappedSize = 0;
  void* memory = Place(code, codeSize, mappedSize);
  if (!memory) return nullptr;
  // Offsets from the code's first byte.
  const uint64_t recordsOffset = code.labelOffsetFromBase(labels.records),
                 rowsOffset = code.labelOffsetFromBase(labels.rows),
                 valuesOffset = code.labelOffsetFromBase(labels.values);
  if (recordsOffset >= codeSize || rowsOffset >= codeSize || valuesOffset >= codeSize) {
    asmjit::VirtMem::release(memory, mappedSize);
    return nullptr;
  }
  // The conversions of code memory into functions: the frame's entry is the first byte.
  char* const base = static_cast<char*>(memory);
  const auto entry = reinterpret_cast<Entry>(memory);
  const auto recordsEntry = reinterpret_cast<RecordsEntry>(base + recordsOffset);
  const auto rowsEntry = reinterpret_cast<RowsEntry>(base + rowsOffset);
  const auto valuesEntry = reinterpret_cast<ValuesEntry>(base + valuesOffset);
  std::unique_ptr<NativeProgram> program(new (std::nothrow) NativeProgram(
      entry, recordsEntry, rowsEntry, valuesEntry, memory, codeSize, mappedSize));
  if (!program) asmjit::VirtMem::release(memory, mappedSize);
  return program;
#else
  (void)Program;
  (void)Records;
  return nullptr;
#endif
}

NativeProgram::~NativeProgram() {
#ifdef QV_NATIVE_TARGET
  asmjit::VirtMem::release(memory_, mappedSize_);
#endif
}

}  // namespace qv
