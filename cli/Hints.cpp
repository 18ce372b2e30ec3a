#include "cli/Hints.h"

#include <array>
#include <utility>

#include "cli/FunctionHelp.h"
#include "cli/Names.h"
#include "engine/Utf8.h"

namespace {

// Operators of other languages and this language's own; the longer ones first.
constexpr std::array<std::pair<std::u16string_view, std::string_view>, 7> kOperators = {{
    {u"!=", "<>"}, {u"==", "="}, {u"&&", "AND"}, {u"||", "OR"}, {u"**", "^"},
    {u"%", "MOD"}, {u"!", "NOT"},
}};

// The name an error description ends with ("Unknown function: sqrt", also when " in User
// Function '...'" follows).
std::string NamedIn(std::u16string_view description) {
  const size_t colon = description.find(u": ");
  if (colon == std::u16string_view::npos) return {};
  std::u16string_view rest = description.substr(colon + 2);
  return ToUtf8(rest.substr(0, rest.find(u' ')));
}

// The engine points at the character it could not read; a foreign operator of two characters
// may start there or one before (the second "=" of "==" is where the reading fails).
std::string OperatorHint(std::u16string_view text, int32_t position) {
  if (position < 1) return {};
  const size_t at = size_t(position - 1);
  for (const auto& [foreign, own] : kOperators) {
    for (size_t start : {at > 0 ? at - 1 : at, at}) {
      if (start + foreign.size() > text.size() || start + foreign.size() <= at) continue;
      if (text.substr(start, foreign.size()) == foreign) return std::string(own);
    }
  }
  return {};
}

std::vector<std::string> Joined(std::initializer_list<const std::vector<std::string>*> lists) {
  std::vector<std::string> all;
  for (const auto* list : lists) all.insert(all.end(), list->begin(), list->end());
  return all;
}

std::vector<std::string> BuiltinNames() {
  std::vector<std::string> names;
  for (const FunctionHelp& row : BuiltinFunctions()) names.emplace_back(row.name);
  return names;
}

}  // namespace

std::string Hint(int32_t Code, std::u16string_view Description, std::u16string_view Text,
                 int32_t Position, const KnownNames& Known) {
  if (Code == 2) {
    const std::string name = NamedIn(Description);
    if (const FunctionHelp* row = FindAlias(name)) return std::string(row->name);
    const std::vector<std::string> builtins = BuiltinNames();
    return Nearest(name, Joined({&Known.functions, &builtins, &Known.arrays}));
  }
  if (Code == 1 || Code == 4) return OperatorHint(Text, Position);
  return {};
}
