// The keyed collection behind an engine's variables: insertion order, keys compared without
// regard to case, and access by key or by position in constant time (a hash index beside a
// vector of shared records).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/qvVariable.h"

namespace qv {

class VariableStore {
 public:
  int32_t Count() const noexcept { return int32_t(records_.size()); }
  // The record under a key, or null.
  std::shared_ptr<qvVariable> Find(std::u16string_view name) const;
  // The record at a position from 1 to Count(); null outside that range.
  qvVariable* At(int32_t position) const noexcept {
    return position >= 1 && position <= Count() ? records_[size_t(position - 1)].get() : nullptr;
  }
  // Removes any record under the same key, appends this one; returns the count.
  int32_t Add(std::shared_ptr<qvVariable> record);
  // Removes the first record (positions move up by one).
  void RemoveFirst();
  void Clear() noexcept;

 private:
  std::vector<std::shared_ptr<qvVariable>> records_;
  std::unordered_map<std::u16string, size_t> index_;  // upper-cased key -> offset in records_
};

}  // namespace qv
