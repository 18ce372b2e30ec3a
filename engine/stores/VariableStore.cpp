#include "engine/stores/VariableStore.h"

namespace qv {

std::shared_ptr<qvVariable> VariableStore::Find(std::u16string_view name) const {
  auto it = index_.find(UpperCase(name));
  return it == index_.end() ? nullptr : records_[it->second];
}

int32_t VariableStore::Add(std::shared_ptr<qvVariable> record) {
  std::u16string key = UpperCase(record->Name);
  if (auto it = index_.find(key); it != index_.end()) {
    // Removing from the middle moves every later record up one position.
    size_t gone = it->second;
    records_.erase(records_.begin() + std::ptrdiff_t(gone));
    index_.erase(it);
    for (auto& [k, offset] : index_)
      if (offset > gone) --offset;
  }
  // The record goes in first, so running out of memory leaves no index entry without a record.
  records_.push_back(std::move(record));
  try {
    index_.emplace(std::move(key), records_.size() - 1);
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return Count();
}

void VariableStore::RemoveFirst() {
  if (records_.empty()) return;
  index_.erase(UpperCase(records_.front()->Name));
  records_.erase(records_.begin());
  for (auto& [k, offset] : index_) --offset;
}

void VariableStore::Clear() noexcept {
  records_.clear();
  index_.clear();
}

}  // namespace qv
