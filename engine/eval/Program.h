// The compiled program of one expression: what evaluation runs. It is made once, when the
// expression compiles, and never changes afterwards, so any number of evaluations (on any number
// of threads, each with its own frame and stack) may run it at once.
//
// It lists the variables its code loads (by record, each once) apart from its constants (by
// value). Its numeric core runs on a frame of doubles that the caller gathers from wherever the
// variables' values are: Value gathers it from the bound records, an evaluation over columns from
// the columns' rows; the all-double program and the native form both consume that frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Variant.h"
#include "engine/eval/DoubleProgram.h"
#include "engine/eval/HostCall.h"
#include "engine/qvVariable.h"

struct CompiledExpression;

namespace qv {

class NativeProgram;

struct Instruction {
  int16_t Op;        // an opcode, or -k for an element of array k
  bool Variable;     // a load of Variables[Index]; otherwise a load reads Constants[Index]
                     // (a host function's call: Hosts[Index])
  uint16_t Index;
};

// Evaluations of one program on the fast tiers before its machine code is generated, unless the
// engine says otherwise (qvExpression::SetNativeAfter). Generating costs 80 to 230 us an
// expression, which the machine code wins back (5 to 40 ns an evaluation) over some thousands of
// evaluations; a program evaluated less often never pays for it.
inline constexpr uint32_t kNativeAfter = 10000;

// Where a program's machine code goes: made at most once, by the evaluation that brings the
// count of evaluations to NativeAfter (MachineCode, engine/eval/Tiers.h, generates it), then
// kept until the program goes. The one part of a program that changes after it is made, and
// only through atomics, so any number of threads may count, claim and read it at once.
class NativeSlot {
 public:
  NativeSlot() = default;
  ~NativeSlot();  // engine/eval/Tiers.cpp: frees the code
  NativeSlot(const NativeSlot&) = delete;
  NativeSlot& operator=(const NativeSlot&) = delete;

  // The machine code if it has been made.
  const NativeProgram* Made() const noexcept { return code_.load(std::memory_order_acquire); }
  // Counts Runs more evaluations towards After; true for the one caller that is to make the code
  // (the first to find the count reached). Threads may lose counts to each other, which only
  // moves the generation a little later.
  bool Claim(uint32_t Runs, uint32_t After) noexcept;
  // Stores what the claiming caller made (null: nothing can be made); returns it.
  const NativeProgram* Publish(const NativeProgram* Code) noexcept {
    code_.store(Code, std::memory_order_release);
    return Code;
  }

 private:
  std::atomic<uint32_t> runs_{0};
  std::atomic<bool> claimed_{false};  // one thread has begun, or finished, generating
  std::atomic<const NativeProgram*> code_{nullptr};
};

struct Program {
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  std::vector<Instruction> Code;
  std::vector<std::shared_ptr<qvVariable>> Variables;
  // The values Value reads: &Variables[k]->Value for each variable, then the all-double program's
  // constants, so that Value gathers the whole frame in one loop.
  std::vector<const Variant*> FrameInputs;
  std::vector<Variant> Constants;
  std::vector<HostCall> Hosts;  // the host functions' calls, by instruction Index
  bool Impure = false;          // calls a host function that is not pure: rows in order, on one thread
  std::optional<DoubleProgram> Fast;  // the all-double form, or none
  uint32_t NativeAfter = kNativeAfter;
  mutable NativeSlot Native;  // the machine code of Fast, once made
};

// The program of a record's instructions 1 to Count (as many of them as its arrays hold): after
// a failed compilation too, since a host may clear the error and evaluate what was compiled.
// Only the program of a Finished compilation gets the fast tiers.
// NativeAfter: evaluations before the machine code is generated (0: at once).
std::shared_ptr<const Program> BuildProgram(const CompiledExpression& Record, bool Finished,
                                            uint32_t NativeAfter = kNativeAfter);

}  // namespace qv
