// The parts of a user-function definition, Name(P1, P2, ...) = body, found the way the engine
// finds them, for hosts that point into a definition's text or look at its parts: the name before
// the bracket, the parameters between the brackets and the body after the first "=" (names and
// brackets, all that can stand before it, hold no "=" of their own).
#pragma once

#include <string_view>
#include <vector>

struct DefinitionParts {
  std::u16string_view name;                 // blanks around it removed
  std::vector<std::u16string_view> params;  // blanks around each removed
  size_t bodyStart = 0;                     // where the body starts in the text, 0-based
  bool complete = false;                    // a bracket, a closing bracket and "=" were found
};

DefinitionParts SplitDefinition(std::u16string_view Definition);
