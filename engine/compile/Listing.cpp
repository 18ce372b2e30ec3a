// The postfix listing (Listing.h).
#include "engine/compile/Listing.h"

#include "engine/RuntimeError.h"

namespace qv {

namespace {
// A string constant between double quotes, or between apostrophes when it holds a double quote
// (a compiled string never holds an apostrophe: the comment cut removes everything after one).
std::u16string QuotedText(const std::u16string& s) {
  char16_t q = s.find(u'"') == std::u16string::npos ? u'"' : u'\'';
  return q + s + q;
}

std::u16string LoadItem(const Operand& operand) {
  if (operand.Var) return operand.Var->Name;
  if (operand.Constant.isText()) return QuotedText(operand.Constant.asText());
  return operand.Constant.toText();
}
}  // namespace

std::u16string Listing(const CompiledExpression& r, const OpcodeTable& Opcodes) {
  std::u16string out;
  for (int32_t i = 1; i <= r.Count && size_t(i) < r.Opcodes.size(); ++i) {
    int16_t op = r.Opcodes[size_t(i)];
    out.push_back(u' ');
    if (op == OpLoad) {
      out += LoadItem(r.Operands[size_t(i)]);
    } else if (op == OpHost && size_t(i) < r.Operands.size() && r.Operands[size_t(i)].Host.Function) {
      out += r.Operands[size_t(i)].Host.Function->Name;
    } else {
      if (!OpcodeTable::Valid(op)) RaiseRuntimeError(kErrSubscript);
      out += Opcodes.Name(op);
    }
  }
  return out;
}

}  // namespace qv
