// The engine's members that take texts by value, as views or as UTF-8: each makes the text that
// the by-reference member expects and calls it, so both forms behave alike in everything else.
#include "engine/Utf8.h"
#include "engine/qvExpression.h"

int16_t qvExpression::Compile(std::u16string_view Text, int16_t Index) {
  std::u16string text(Text);
  Compile(text, Index);
  return Index;
}

int16_t qvExpression::Compile(std::string_view Text, int16_t Index) {
  std::u16string text = FromUtf8(Text);
  Compile(text, Index);
  return Index;
}

Variant qvExpression::Value(int32_t&& Index) {
  int32_t index = Index;
  return Value(index);
}

void qvExpression::UserFunc(std::u16string_view Definition) {
  std::u16string text(Definition);
  UserFunc(text);
}

void qvExpression::UserFunc(std::string_view Definition) {
  std::u16string text = FromUtf8(Definition);
  UserFunc(text);
}

void qvExpression::DefineArray(std::u16string_view Definition) {
  std::u16string text(Definition);
  DefineArray(text);
}

void qvExpression::DefineArray(std::string_view Definition) {
  std::u16string text = FromUtf8(Definition);
  DefineArray(text);
}

void qvExpression::Variable(const Variant& VarName, double&& Value) {
  double value = Value;
  Variable(VarName, value);
}

void qvExpression::Variable(std::string_view VarName, double Value) {
  Variable(Variant(FromUtf8(VarName)), Value);
}

double qvExpression::VariableValue(std::string_view VarName) {
  return VariableValue(Variant(FromUtf8(VarName)));
}

std::shared_ptr<qvVariable> qvExpression::BindVariable(std::string_view Name) {
  return BindVariable(FromUtf8(Name));
}
