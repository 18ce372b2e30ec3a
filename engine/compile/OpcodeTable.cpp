// The opcode table of one engine: filled from the rows, looked up by name.
#include "engine/compile/OpcodeTable.h"

#include "engine/Variant.h"

namespace qv {

void OpcodeTable::Reset() {
  for (const OpcodeRow& row : kOpcodeRows) {
    names_[size_t(row.op)] = std::u16string(row.name);
    priority_[size_t(row.op)] = row.priority;
    args_[size_t(row.op)] = row.args;
  }
  numUserFuncs_ = 0;
}

const std::u16string& OpcodeTable::Name(int16_t op) const noexcept {
  static const std::u16string none;
  return Valid(op) ? names_[size_t(op)] : none;
}

int16_t OpcodeTable::OperatorAt(std::u16string_view Text, int32_t& Cursor) const {
  if (Cursor < 1 || size_t(Cursor) > Text.size()) return 0;
  const std::u16string_view rest = Text.substr(size_t(Cursor - 1));
  for (const OpcodeRow& row : kOpcodeRows) {
    if (row.kind != OpKind::Closer && row.kind != OpKind::Operator && row.kind != OpKind::WordOperator)
      continue;
    const std::u16string& name = names_[size_t(row.op)];  // upper case
    if (rest.size() >= name.size() && UpperCase(rest[0]) == name[0] &&
        EqualNoCase(rest.substr(0, name.size()), name)) {
      Cursor += int32_t(name.size());
      return row.op;
    }
  }
  return 0;
}

int16_t OpcodeTable::FunctionNamed(std::u16string_view UpperName) const {
  for (const OpcodeRow& row : kOpcodeRows) {
    if (row.kind < OpKind::Constant) continue;  // markers, unaries and operators have no call form
    const std::u16string& name = names_[size_t(row.op)];
    if (name.size() == UpperName.size() && EqualNoCase(name, UpperName)) return row.op;
  }
  return EqualNoCase(UpperName, names_[OpNot]) ? int16_t(OpNot) : int16_t(0);
}

void OpcodeTable::DefineUserFunc(int Slot, std::u16string_view Name, int16_t Args) {
  const int16_t op = UserOpcode(Slot);
  if (Slot < 1 || Slot > kMaxUserFuncs) return;
  names_[size_t(op)] = std::u16string(Name);
  args_[size_t(op)] = Args;
  if (Slot > numUserFuncs_) numUserFuncs_ = int16_t(Slot);
}

void OpcodeTable::ResetUserFuncs() {
  for (int slot = 1; slot <= kMaxUserFuncs; ++slot) {
    const int16_t op = UserOpcode(slot);
    names_[size_t(op)] = std::u16string(kOpcodeRows[size_t(op)].name);
    priority_[size_t(op)] = kFunctionPriority;
    args_[size_t(op)] = 0;
  }
  numUserFuncs_ = 0;
}

}  // namespace qv
