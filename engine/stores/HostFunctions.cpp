// The host's functions and constants (HostFunctions.h).
#include "engine/stores/HostFunctions.h"

#include <algorithm>
#include <array>

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

namespace {

// Body from Block: the arguments as a block of one row.
std::function<double(std::span<const double>)> OneRowOf(
    std::function<void(std::span<const std::span<const double>>, std::span<double>)> Block) {
  return [Block = std::move(Block)](std::span<const double> Args) {
    std::array<std::span<const double>, kMaxHostArgs> columns;
    for (size_t k = 0; k < Args.size() && k < columns.size(); ++k) columns[k] = Args.subspan(k, 1);
    double out = 0;
    Block(std::span<const std::span<const double>>(columns.data(), std::min(Args.size(), columns.size())),
          std::span<double>(&out, 1));
    return out;
  };
}

}  // namespace

// A new record each time: code compiled against the old one keeps it.
void HostFunctions::DefineFunction(std::u16string_view Name, qvFunction Function) {
  if (!Function.Body) Function.Body = OneRowOf(Function.Block);
  functions_[UpperCase(std::u16string(Name))] =
      std::make_shared<const HostFunction>(HostFunction{std::u16string(Name), std::move(Function), {}});
}

void HostFunctions::DefineTextFunction(std::u16string_view Name, qvTextFunction Function) {
  qvFunction counts{Function.MinArgs, Function.MaxArgs, Function.Pure, {}, {}};
  functions_[UpperCase(std::u16string(Name))] = std::make_shared<const HostFunction>(
      HostFunction{std::u16string(Name), std::move(counts), std::move(Function.Body)});
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
