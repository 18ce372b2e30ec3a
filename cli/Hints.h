// "Did you mean" hints for the engine's errors (which suggest a name for an undefined variable
// themselves): the nearest known name to an unknown function (or the built-in that another language's name stands for, sqrt for
// SQR), and the operator of this language for one of another (!= for <>).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct KnownNames {
  std::vector<std::string> variables;
  std::vector<std::string> arrays;
  std::vector<std::string> functions;  // the user's
};

// What to suggest for an error of code Code with Description, found at Position (1-based, 0 for
// none) of Text: a name or an operator, or empty.
std::string Hint(int32_t Code, std::u16string_view Description, std::u16string_view Text,
                 int32_t Position, const KnownNames& Known);
