// The opcode table of one engine: filled from the rows, looked up by name.
#include "engine/compile/OpcodeTable.h"

#include <algorithm>

#include "engine/Variant.h"

namespace qv {

uint64_t OpcodeTable::Key(std::u16string_view Name) noexcept {
  uint64_t key = std::min<uint64_t>(Name.size(), 0xFFFF);
  for (size_t k = 0; k < 3 && k < Name.size(); ++k) key |= uint64_t(UpperCase(Name[k])) << (16 * (k + 1));
  return key;
}

void OpcodeTable::SetName(int16_t op, std::u16string_view Name) {
  names_[size_t(op)] = std::u16string(Name);
  keys_[size_t(op)] = Key(Name);
  for (size_t k = 0; k < kCallableOps.size(); ++k)
    if (kCallableOps[k] == op) callableKeys_[k] = keys_[size_t(op)];
}

void OpcodeTable::Reset() {
  for (const OpcodeRow& row : kOpcodeRows) {
    SetName(row.op, row.name);
    priority_[size_t(row.op)] = row.priority;
    args_[size_t(row.op)] = row.args;
  }
  numUserFuncs_ = 0;
}

const std::u16string& OpcodeTable::Name(int16_t op) const noexcept {
  static const std::u16string none;
  return Valid(op) ? names_[size_t(op)] : none;
}

int16_t OpcodeTable::OperatorAt(std::u16string_view Text, int32_t& Cursor) const noexcept {
  if (Cursor < 1 || size_t(Cursor) > Text.size()) return 0;
  const std::u16string_view rest = Text.substr(size_t(Cursor - 1));
  const char16_t first = UpperCase(rest[0]);
  for (Opcode op : kOperatorLikeOps) {
    const std::u16string& name = names_[size_t(op)];  // upper case
    if (rest.size() >= name.size() && first == name[0] && EqualNoCase(rest.substr(0, name.size()), name)) {
      Cursor += int32_t(name.size());
      return op;
    }
  }
  return 0;
}

int16_t OpcodeTable::FunctionNamed(std::u16string_view UpperName) const noexcept {
  const uint64_t key = Key(UpperName);
  for (size_t k = 0; k < kCallableOps.size(); ++k)
    if (callableKeys_[k] == key && EqualNoCase(names_[size_t(kCallableOps[k])], UpperName)) return kCallableOps[k];
  return EqualNoCase(UpperName, names_[OpNot]) ? int16_t(OpNot) : int16_t(0);
}

void OpcodeTable::DefineUserFunc(int Slot, std::u16string_view Name, int16_t Args) {
  const int16_t op = UserOpcode(Slot);
  if (Slot < 1 || Slot > kMaxUserFuncs) return;
  SetName(op, Name);
  args_[size_t(op)] = Args;
  if (Slot > numUserFuncs_) numUserFuncs_ = int16_t(Slot);
}

void OpcodeTable::ResetUserFuncs() {
  for (int slot = 1; slot <= kMaxUserFuncs; ++slot) {
    const int16_t op = UserOpcode(slot);
    SetName(op, kOpcodeRows[size_t(op)].name);
    priority_[size_t(op)] = kFunctionPriority;
    args_[size_t(op)] = 0;
  }
  numUserFuncs_ = 0;
}

}  // namespace qv
