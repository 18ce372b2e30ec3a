#include "control/DefinitionText.h"

namespace {

std::u16string_view Blanked(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace

DefinitionParts SplitDefinition(std::u16string_view Definition) {
  DefinitionParts parts;
  const size_t open = Definition.find(u'(');
  const size_t close = Definition.find(u')', open == std::u16string_view::npos ? 0 : open);
  const size_t equals = Definition.find(u'=');
  if (equals != std::u16string_view::npos) {
    parts.bodyStart = equals + 1;
    while (parts.bodyStart < Definition.size() && Definition[parts.bodyStart] == u' ') ++parts.bodyStart;
  }
  if (open == std::u16string_view::npos || close == std::u16string_view::npos) return parts;
  parts.name = Blanked(Definition.substr(0, open));
  std::u16string_view list = Definition.substr(open + 1, close - open - 1);
  for (size_t comma; !Blanked(list).empty(); list.remove_prefix(comma + 1)) {
    comma = list.find(u',');
    parts.params.push_back(Blanked(list.substr(0, comma)));
    if (comma == std::u16string_view::npos) break;
  }
  parts.complete = equals != std::u16string_view::npos && equals > close;
  return parts;
}
