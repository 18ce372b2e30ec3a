// The known name nearest to a misspelt one, for the "did you mean" part of a message: close
// enough to be a likely slip (one edit for names of three to five characters, two for longer
// ones; a swap of neighbours is one edit). Case is ignored; the first of equally close names wins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Empty when no name of Known is close enough to Typed (or Typed is one of them).
std::u16string NearestName(std::u16string_view Typed, const std::vector<std::u16string>& Known);

// " (did you mean Name?)", or empty for an empty Name: the form every message gives a suggestion in.
std::u16string DidYouMean(std::u16string_view Name);

}  // namespace qv
