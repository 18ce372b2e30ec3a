// The array store: named arrays of doubles with one to four dimensions, each from 0 to its upper
// bound, kept in slots 1..Count (slot 0 never holds an array). The slot is an array's identity:
// compiled code refers to array k as opcode -k, so a redefinition keeps its slot. Failures go to
// the engine's error state, which the store is handed; the strict profile is read from the
// engine's setting.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Variant.h"
#include "engine/compile/ErrorState.h"
#include "engine/qvArrayValues.h"
#include "engine/stores/ArrayEntry.h"

namespace qv {

class ArrayStore {
 public:
  ArrayStore(ErrorState& Errors, const bool& Strict) : errors_(Errors), strict_(Strict) {}
  ArrayStore(const ArrayStore&) = delete;
  ArrayStore& operator=(const ArrayStore&) = delete;

  // ---- the members of the facade ----
  int16_t ArraysCount() const { return count_; }
  void DefineArray(std::u16string& Definition);
  void SetArrayValues(const Variant& Name, uint8_t NumDims, const qvArrayValues& Values);
  void GetArrayDetails(const std::u16string& Name, int16_t& Slot, int16_t& NumDims,
                       std::vector<int16_t>& Bounds);
  void ArrayValue(int16_t Slot, const Variant& Value, int16_t S1, int16_t S2, int16_t S3, int16_t S4);
  Variant GetArrayValue(int16_t Slot, int16_t S1, int16_t S2, int16_t S3, int16_t S4);
  std::u16string ArrayName(const Variant& Slot);

  // ---- for the compiler and the general loop ----
  void Clear();                                        // slot 0 alone
  std::u16string ArrayNameWithDims(const Variant& Slot);  // Grid(3, 4), for messages
  int16_t FindArray(std::u16string_view Name) const;   // slot 1..ArraysCount, or 0
  // An array reference -k takes as many values as array k has dimensions.
  int16_t ArrayDims(int Slot) const;
  // The entry in Slot, or null beyond the storage.
  const ArrayEntry* Entry(int Slot) const {
    return Slot >= 0 && size_t(Slot) < arrays_.size() ? &arrays_[size_t(Slot)] : nullptr;
  }
  // The offset in Entry.Values of the element at Subscripts (one per dimension, the first
  // varying fastest), or -1 when it lies outside the bounds or outside the storage that exists.
  static int64_t ElementOffset(const ArrayEntry& Entry, const std::array<int32_t, 4>& Subscripts);
  // An entry stored as it stands, consistent or not, in the next slot (the tests' hand-made arrays).
  int16_t Store(ArrayEntry Entry);
  std::vector<ArrayEntry>& Entries() { return arrays_; }
  void SetCount(int16_t Count) { count_ = Count; }

 private:
  int16_t ArraySlotFor(std::u16string_view Name);  // the name's slot, a new one when missing
  // Under the strict profile: a bound the store cannot hold, recorded.
  bool BoundsRefused(std::u16string_view Name, std::u16string_view Rest);

  ErrorState& errors_;
  const bool& strict_;
  std::vector<ArrayEntry> arrays_ = std::vector<ArrayEntry>(1);  // slot 0 exists and never holds an array
  int16_t count_ = 0;
};

}  // namespace qv
