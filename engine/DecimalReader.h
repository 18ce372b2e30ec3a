// Reading the decimal number at the start of a text: [sign] digits ["." digits]
// [("E"|"e"|"D"|"d") [sign] digits], the one form of numeric literals, array bounds and a text
// the value converts to a number. The decimal separator is always ".", whatever the locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv {

struct DecimalPrefix {
  double Value = 0;                 // 0 when no digit was read, or the value underflows
  bool HasDigits = false;           // the mantissa has at least one digit
  bool IncompleteExponent = false;  // an exponent letter follows with no digit after it
  bool Overflow = false;            // beyond the range of a double
  size_t Length = 0;                // characters read, an incomplete exponent not counted
};

// Reads the longest prefix of Text that is a number of the form above; an incomplete exponent
// is not part of it. A leading sign is read only when AllowSign is true.
DecimalPrefix ReadDecimalPrefix(std::u16string_view Text, bool AllowSign);

}  // namespace qv
