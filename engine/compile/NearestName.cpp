#include "engine/compile/NearestName.h"

#include <algorithm>
#include <numeric>

#include "engine/Messages.h"
#include "engine/Variant.h"

namespace qv {

namespace {

// Edits between a and b: insertions, deletions, substitutions and swaps of neighbours.
size_t Distance(std::u16string_view a, std::u16string_view b) {
  std::vector<size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  std::iota(previous.begin(), previous.end(), size_t(0));
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

size_t Allowed(size_t length) { return length >= 6 ? 2 : length >= 3 ? 1 : 0; }

}  // namespace

std::u16string NearestName(std::u16string_view Typed, const std::vector<std::u16string>& Known) {
  const std::u16string upper = UpperCase(Typed);
  std::u16string best;
  size_t bestDistance = Allowed(upper.size()) + 1;
  for (const std::u16string& name : Known) {
    const size_t d = Distance(upper, UpperCase(name));
    if (d > 0 && d < bestDistance) {
      best = name;
      bestDistance = d;
    }
  }
  return best;
}

std::u16string DidYouMean(std::u16string_view Name) {
  if (Name.empty()) return {};
  return std::u16string(msg::kDidYouMean).append(Name).append(u"?)");
}

}  // namespace qv
