// The postfix listing: the compiled code of the current expression as readable text, one item
// per instruction, each after one blank.
#include "engine/Engine.h"

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

// A failure (an array access has no name in the opcode table) reaches the caller as a
// qvRuntimeError: this is the one procedure that does not catch its own.
std::u16string Engine::RPNExpression() {
  int32_t upper = int32_t(expressions_.Records.size()) - 1;
  if (expressions_.Current < 1 || expressions_.Current > upper) expressions_.Current = upper;
  errors_.SetSource(expressions_.Current);
  const CompiledExpression& r = expressions_.Records[size_t(expressions_.Current)];
  if (r.Text.empty() || errors_.Code() != 0) return {};
  std::u16string out;
  for (int32_t i = 1; i <= r.Count && size_t(i) < r.Opcodes.size(); ++i) {
    int16_t op = r.Opcodes[size_t(i)];
    out.push_back(u' ');
    if (op == OpLoad) {
      out += LoadItem(r.Operands[size_t(i)]);
    } else {
      if (!OpcodeTable::Valid(op)) RaiseRuntimeError(kErrSubscript);
      out += opcodes_.Name(op);
    }
  }
  return out;
}

}  // namespace qv
