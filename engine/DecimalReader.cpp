#include "engine/DecimalReader.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "engine/compile/Characters.h"

namespace qv {

namespace {

bool IsExponentLetter(char16_t c) { return c == u'E' || c == u'e' || c == u'D' || c == u'd'; }

// The decimal order of the first non-zero digit of a mantissa ("120.5" gives 2, "0.003" gives
// -3), or nothing for a mantissa of zeros. Tells an overflowing number from an underflowing one
// however many digits it is written with.
bool LeadingOrder(std::string_view mantissa, int64_t& order) {
  size_t point = mantissa.find('.');
  if (point == std::string_view::npos) point = mantissa.size();
  size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  order = first < point ? int64_t(point - first) - 1 : -int64_t(first - point);
  return true;
}

// The exponent digits as a number, held within +-10^9: any exponent that large already puts
// the value far outside the double range, whatever the mantissa.
int64_t SaturatedExponent(std::string_view exponent) {
  int64_t value = 0;
  size_t i = exponent.empty() || IsDigit(char16_t(exponent[0])) ? 0 : 1;
  for (; i < exponent.size() && value < 1000000000; ++i) value = value * 10 + (exponent[i] - '0');
  return !exponent.empty() && exponent[0] == '-' ? -value : value;
}

}  // namespace

DecimalPrefix ReadDecimalPrefix(std::u16string_view Text, bool AllowSign) {
  DecimalPrefix result;
  size_t i = 0;
  auto digitAt = [&](size_t k) { return k < Text.size() && IsDigit(Text[k]); };
  bool negative = false;
  if (AllowSign && i < Text.size() && (Text[i] == u'+' || Text[i] == u'-')) negative = Text[i++] == u'-';

  std::string mantissa;  // digits and point, as from_chars reads them
  while (digitAt(i)) mantissa += char(Text[i++]);
  if (i < Text.size() && Text[i] == u'.') {
    mantissa += '.';
    ++i;
    while (digitAt(i)) mantissa += char(Text[i++]);
  }
  result.HasDigits = mantissa.find_first_of("0123456789") != std::string::npos;
  if (!result.HasDigits) return result;

  std::string exponent;  // sign and digits
  if (i < Text.size() && IsExponentLetter(Text[i])) {
    size_t k = i + 1;
    if (k < Text.size() && (Text[k] == u'+' || Text[k] == u'-')) exponent += char(Text[k++]);
    if (!digitAt(k)) {
      result.IncompleteExponent = true;
      exponent.clear();
    }
    while (digitAt(k)) exponent += char(Text[k++]);
    if (!result.IncompleteExponent) i = k;
  }
  result.Length = i;

  std::string number = mantissa;
  if (!exponent.empty()) number.append("e").append(exponent);
  double value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    int64_t order = 0;
    bool nonZero = LeadingOrder(mantissa, order);
    result.Overflow = nonZero && order + SaturatedExponent(exponent) >= 0;
    value = 0;  // an underflow reads as 0
  }
  result.Value = negative ? -value : value;
  return result;
}

}  // namespace qv
