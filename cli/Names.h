// Names and words as the calculator reads them: trimming, what counts as a name, comparison
// without regard to letter case (as the engine compares), and the known name nearest to a
// misspelt one, for "did you mean" hints.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string_view Trim(std::string_view text);  // blanks, tabs and line ends at both ends
// A letter, then letters, digits, "_" or characters beyond ASCII: what an expression reads as
// one name.
bool IsName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
// The blank-separated words of text.
std::vector<std::string_view> Words(std::string_view text);
// The first c at or after from that stands outside brackets and quoted texts; npos when none.
size_t FindOutside(std::string_view text, char c, size_t from = 0);

// An assignment, NAME = EXPR or NAME(i, ...) = EXPR, split at its first "=" outside brackets and
// quotes; false unless NAME is a name and EXPR is not blank.
struct Assignment {
  std::string_view name;
  std::string_view subscripts;  // what stands between the brackets; empty for a variable
  bool element = false;         // NAME(...) = EXPR
  std::string_view expression;
};
bool SplitAssignment(std::string_view text, Assignment& out);

// The name of known closest to typed, as the engine suggests names (engine/compile/NearestName.h);
// empty when none is close enough.
std::string Nearest(std::string_view typed, const std::vector<std::string>& known);
