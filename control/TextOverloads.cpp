// The control's members that take their arguments by value, as views or as UTF-8. Each does what
// the by-reference member of the same name does, under the same failure handler (texts are made
// inside it, so even exhausted memory is reported as that member's failure); the Variable
// property has no handler, by reference or not.
#include "control/Guarded.h"
#include "engine/Utf8.h"
#include "control/qvCalc.h"

void qvCalc::DefineUserFunc(std::u16string_view Func) {
  Guarded(u"DefineUserFunc", [&] {
    std::u16string text(Func);
    Engine().UserFunc(text);
  });
}

void qvCalc::DefineUserFunc(std::string_view Func) {
  Guarded(u"DefineUserFunc", [&] { DefineUserFunc(std::u16string_view(FromUtf8(Func))); });
}

std::u16string qvCalc::UserFunc(const Variant& Index) {
  Variant index = Index;
  return UserFunc(index);
}

// Compile by reference does not tell the host the number it stored the text under; these do.
int32_t qvCalc::Compile(std::u16string_view Expression) {
  int32_t stored = 0;
  Guarded(u"Compile", [&] {
    std::u16string text(Expression);
    int16_t index = 0;
    Engine().Compile(text, index);
    stored = index;
  });
  return stored;
}

int32_t qvCalc::Compile(std::string_view Expression) {
  int32_t stored = 0;
  Guarded(u"Compile", [&] { stored = Compile(std::u16string_view(FromUtf8(Expression))); });
  return stored;
}

double qvCalc::Value(int32_t&& Index) {
  int32_t index = Index;
  return Value(index);
}

Variant qvCalc::Expression(const Variant& Index) {
  Variant index = Index;
  return Expression(index);
}

double qvCalc::Variable(std::u16string_view VarName) {
  std::u16string name(VarName);
  return Variable(name);
}

double qvCalc::Variable(std::string_view VarName) {
  std::u16string name = FromUtf8(VarName);
  return Variable(name);
}

void qvCalc::Variable(std::u16string_view VarName, double NewValue) {
  std::u16string name(VarName);
  Variable(name, NewValue);
}

void qvCalc::Variable(std::string_view VarName, double NewValue) {
  std::u16string name = FromUtf8(VarName);
  Variable(name, NewValue);
}

Variant qvCalc::VariableName(const Variant& Index) {
  Variant index = Index;
  return VariableName(index);
}
