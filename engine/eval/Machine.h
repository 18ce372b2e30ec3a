// The state of one evaluation: the accumulator and the fixed operand stack of 40 slots. Kept apart from the evaluator so that a specialised evaluation
// path can run on the same state and the same operator functions.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <new>

#include "engine/Variant.h"
#include "engine/eval/DoubleSemantics.h"  // Step, the outcome of one sub-step

namespace qv {

inline constexpr int kStackSlots = 40;

// The longest text the evaluator builds (SPACE, STRING, "&", "+" of two texts): 1 Mi characters
// (2 MiB). A longer result fails its sub-step as exhausted memory would, so that SPACE(2E9) or a
// doubling loop of "&" cannot exhaust the machine, and no single step of an evaluation (reading
// a text as a number, comparing, searching) has more than that to go through.
inline constexpr size_t kMaxTextLength = size_t(1) << 20;

// The slots are raw storage: a slot holds a constructed value only once a push has reached it,
// and only those are destroyed, so an evaluation costs nothing for the slots it never used.
// Every slot from 1 to the highest count reached has been written (the count rises one push at a
// time), so reads within 1 to count never meet unconstructed storage.
class Machine {
 public:
  Machine() = default;
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;
  ~Machine() {
    for (int k = 1; k <= built_; ++k) Slot(k)->~Variant();
  }

  Variant acc;          // the accumulator: argument k of a k-argument instruction, and its result
  int16_t count = 0;    // occupied slots; the top is slot count

  // The count rises even where no slot is (beyond 40, or at 0 and below after pops that went
  // too far), and nothing is kept there. A count that would leave the 16-bit range is an
  // overflow: that push has no effect at all.
  void Push() noexcept {
    if (count == std::numeric_limits<int16_t>::max()) return;
    ++count;
    if (count < 1 || count > kStackSlots) return;
    if (count > built_) {
      new (Slot(count)) Variant(acc);
      built_ = count;
    } else {
      *Slot(count) = acc;
    }
  }
  // Pops are not guarded (correct code never pops an empty stack); only the 16-bit range is kept.
  void Pop(int n) noexcept {
    int next = count - n;
    if (next >= std::numeric_limits<int16_t>::min()) count = int16_t(next);
  }
  // The slot depth places below the top (0 is the top slot), or null when that slot lies outside
  // 1 to 40: such a read fails the sub-step that makes it.
  const Variant* Below(int depth) const noexcept {
    int slot = count - depth;
    return slot >= 1 && slot <= kStackSlots ? Slot(slot) : nullptr;
  }
  // Argument K (1-based) of a call of N arguments: the last in the accumulator, the others below
  // the top of the stack in order; null where Below has none.
  const Variant* Argument(int K, int N) const noexcept { return K == N ? &acc : Below(N - 1 - K); }

 private:
  Variant* Slot(int k) noexcept { return std::launder(reinterpret_cast<Variant*>(raw_)) + (k - 1); }
  const Variant* Slot(int k) const noexcept {
    return std::launder(reinterpret_cast<const Variant*>(raw_)) + (k - 1);
  }

  int16_t built_ = 0;  // slots 1 to built_ hold constructed values
  alignas(Variant) unsigned char raw_[kStackSlots * sizeof(Variant)];
};

}  // namespace qv
