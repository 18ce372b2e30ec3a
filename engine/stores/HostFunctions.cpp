// The host's functions and constants (HostFunctions.h).
#include "engine/stores/HostFunctions.h"

#include "engine/Variant.h"

namespace qv {

std::shared_ptr<const HostFunction> HostFunctions::Function(std::u16string_view Upper) const {
  auto it = functions_.find(Upper);
  return it == functions_.end() ? nullptr : it->second;
}

std::optional<double> HostFunctions::Constant(std::u16string_view Upper) const {
  auto it = constants_.find(Upper);
  if (it == constants_.end()) return std::nullopt;
  return it->second;
}

// A new record each time: code compiled against the old one keeps it.
void HostFunctions::DefineFunction(std::u16string_view Name, qvFunction Function) {
  functions_[UpperCase(std::u16string(Name))] =
      std::make_shared<const HostFunction>(HostFunction{std::u16string(Name), std::move(Function)});
}

void HostFunctions::DefineConstant(std::u16string_view Name, double Value) {
  constants_[UpperCase(std::u16string(Name))] = Value;
}

bool HostFunctions::Remove(std::u16string_view Name) {
  const std::u16string upper = UpperCase(std::u16string(Name));
  return functions_.erase(upper) + constants_.erase(upper) > 0;
}

void HostFunctions::Clear() {
  functions_.clear();
  constants_.clear();
}

}  // namespace qv
