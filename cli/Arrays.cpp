// Arrays in a session: ":array A(3, 4)" defines one, with bounds that the engine can hold, and
// ":let A(i, j) = EXPR" sets an element, with indices inside the bounds.
#include <array>
#include <string>

#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "cli/Session.h"
#include "engine/Utf8.h"

namespace {

constexpr int kMaxDims = 4;

// The parts of text between the separators c that stand outside brackets and quotes.
std::vector<std::string_view> SplitOutside(std::string_view text, char c) {
  std::vector<std::string_view> parts;
  for (size_t at = 0;;) {
    const size_t next = FindOutside(text, c, at);
    parts.push_back(Trim(text.substr(at, next == std::string_view::npos ? next : next - at)));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}

}  // namespace

// The engine's strict profile refuses bounds it cannot hold (32768, -1); the session also wants
// a name that expressions can use, and not a function's.
bool Session::DefineArray(std::string_view definition) {
  definition = Trim(definition.substr(0, definition.find('\'')));  // the engine's comment rule
  const size_t open = definition.find('(');
  const std::string_view name = Trim(definition.substr(0, open));
  if (open == std::string_view::npos || definition.back() != ')' || !IsName(name)) {
    Problem("expected an array as A(3) or A(3, 4): a name and its upper bounds in brackets");
    return false;
  }
  if (FindBuiltin(name) || FunctionIndex(FromUtf8(name)) >= 0) {
    Problem(std::string(name) + " is a function");
    return false;
  }
  std::u16string text = FromUtf8(definition);
  engine_.ClearError();
  engine_.DefineArray(text);
  if (engine_.ErrorCode() == 0) return true;
  ReportEngineError({});
  return false;
}

bool Session::SetElement(std::string_view name, std::string_view subscripts, std::string_view expression) {
  int16_t slot = 0, dims = 0;
  std::vector<int16_t> bounds;
  engine_.GetArrayDetails(FromUtf8(name), slot, dims, bounds);
  const std::string shown(name);
  if (slot == 0) {
    Problem(shown + " is not an array (:array " + shown + "(10) defines one)");
    return false;
  }
  const std::vector<std::string_view> texts = SplitOutside(subscripts, ',');
  if (texts.size() != size_t(dims)) {
    Problem(shown + " has " + std::to_string(dims) + " dimension" + (dims == 1 ? "" : "s"));
    return false;
  }
  std::array<int16_t, kMaxDims> at{};
  for (size_t k = 0; k < texts.size(); ++k) {
    Variant value;
    if (!Compute(texts[k], value, false)) return false;
    double number = 0;
    int32_t index = 0;
    const int16_t bound = bounds[k + 1];
    if (!value.toNumber(number) || !qv::ToWhole(number, index) || index < 0 || index > bound) {
      Problem(shown + ": index " + ToUtf8(value.toText()) + " lies outside 0 to " + std::to_string(bound));
      return false;
    }
    at[k] = int16_t(index);
  }
  Variant value;
  if (!Compute(expression, value, false)) return false;
  if (double number = 0; !value.toNumber(number)) {
    Problem("an element of " + shown + " holds a number, not '" + ToUtf8(value.toText()) + "'");
    return false;
  }
  engine_.ClearError();
  engine_.ArrayValue(slot, value, at[0], at[1], at[2], at[3]);
  if (engine_.ErrorCode() == 0) return true;
  ReportEngineError({});
  return false;
}
