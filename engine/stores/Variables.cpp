// The engine's variables (VariableTable.h), and the position an index value names.
#include "engine/stores/VariableTable.h"

#include "engine/stores/ItemPosition.h"

namespace qv {

namespace {

// The text of a name, also when it arrives as another kind of value.
std::u16string NameText(const Variant& name) { return name.toText(); }

bool IsNumericName(std::u16string_view name, double& value) { return TextToNumber(name, value); }

}  // namespace

int32_t ItemPosition(const Variant& Index, int32_t Count) {
  double x = 0;
  if (!Index.toNumber(x)) RaiseRuntimeError(kErrTypeMismatch);
  if (!(x > 0 && x <= Count)) return 0;
  const double position = RoundHalfEven(x);  // 0.4 passes the test above and names nothing
  return position >= 1 ? int32_t(position) : 0;
}

// Sets a variable, creating it when new. A numeric name only hands its number back in Value.
// The only failure possible is exhausted memory; it is reported under "Variable", since a host
// that was told nothing would take the assignment for done.
void VariableTable::Variable(const Variant& VarName, double& Value) {
  errors_.Guarded(u"Variable", [&] {
    std::u16string name = NameText(VarName);
    if (double number = 0; IsNumericName(name, number)) {
      Value = number;
      return;
    }
    if (auto record = store_.Find(name)) {
      record->Value.setDouble(Value);
      return;
    }
    store_.Add(std::make_shared<qvVariable>(qvVariable{std::move(name), Variant(Value)}));
  });
}

// A missing name is the collection's failed lookup (invalid argument), reported under
// "VariableValue" with the result 0; nothing is created.
double VariableTable::VariableValue(const Variant& VarName) {
  double result = 0;
  errors_.Guarded(u"VariableValue", [&] {
    const std::u16string name = NameText(VarName);
    if (IsNumericName(name, result)) return;
    auto record = store_.Find(name);
    if (!record) RaiseRuntimeError(kErrInvalidArgument);
    if (!record->Value.toNumber(result)) {  // a parameter bound to a text that is no number
      result = 0;
      RaiseRuntimeError(kErrTypeMismatch);
    }
  });
  return result;
}

int16_t VariableTable::VariablesCount() {
  const int32_t count = store_.Count();
  if (count > INT16_MAX) {
    errors_.Report(u"VariablesCount", qvRuntimeError(kErrOverflow));
    return 0;
  }
  return int16_t(count);
}

// The name at a position 1..count; the empty text for any other index, without an error.
std::u16string VariableTable::VariableName(const Variant& Index) {
  std::u16string name;
  errors_.Guarded(u"VariableName", [&] {
    if (int32_t position = ItemPosition(Index, store_.Count())) name = store_.At(position)->Name;
  });
  return name;
}

// The compiler's lookup. A numeric name is never created. A new variable takes the 16-bit
// integer 0. Failures (exhausted memory) give no variable and record nothing: the compiler then
// reports the name as undefined. An empty name is stored like any other; it cannot be written
// in an expression, so only a host can create it.
std::shared_ptr<qvVariable> VariableTable::xVariable(const Variant& Name, bool& Create) {
  try {
    std::u16string name = NameText(Name);
    if (double number = 0; IsNumericName(name, number)) return store_.Find(name);
    if (auto record = store_.Find(name)) return record;
    if (!Create) return nullptr;
    auto record = std::make_shared<qvVariable>(qvVariable{std::move(name), Variant(int16_t(0))});
    store_.Add(record);
    return record;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::shared_ptr<qvVariable> VariableTable::BindVariable(const std::u16string& Name) {
  bool create = true;
  return xVariable(Variant(Name), create);
}

}  // namespace qv
