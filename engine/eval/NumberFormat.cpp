// The short text form of numbers in failure descriptions: fixed notation with at most three
// decimals for ordinary magnitudes, scientific notation with four significant digits otherwise.
// The number is first taken to 15 significant decimal digits and that decimal is then rounded,
// halves away from zero, so 2.0005 (whose double lies just below it) gives 2.001.
#include <charconv>
#include <cmath>
#include <string>

#include "engine/eval/NumberFormat.h"

#include "engine/Variant.h"

namespace qv {

namespace {

// Switch points of the fixed form: a magnitude above 1000000, or not above 0.1 cubed as computed
// in double arithmetic (just above 0.001, so 0.001 itself is written in scientific form).
constexpr double kFixedUpper = 1000000;
constexpr double kFixedLower = 0.1 * 0.1 * 0.1;
constexpr double kLn10Decimal = 2.30258509299405;  // the 15-digit divisor, not the nearest ln 10

// A finite, nonzero double as 15 significant decimal digits d.dddddddddddddd times 10^exponent.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ToDecimal(double magnitude) {
  char buf[40];
  auto end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14).ptr;
  std::string_view s(buf, size_t(end - buf));
  size_t e = s.find('e');
  Decimal d;
  d.digits = std::string(1, s[0]) + std::string(s.substr(2, e - 2));
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), d.exponent);
  return d;
}

// Keeps the first keep digits (at least one), rounding half away from zero on the next digit; a
// carry out of the first digit raises the exponent.
void RoundTo(Decimal& d, int keep) {
  if (keep < 1) keep = 1;
  if (size_t(keep) >= d.digits.size()) return;
  bool up = d.digits[size_t(keep)] >= '5';
  d.digits.resize(size_t(keep));
  for (size_t i = d.digits.size(); up && i-- > 0;) {
    up = d.digits[i] == '9';
    d.digits[i] = up ? '0' : char(d.digits[i] + 1);
  }
  if (up) {
    d.digits.insert(d.digits.begin(), '1');
    d.exponent += 1;
  }
}

std::string TrimZeros(std::string s) {
  while (!s.empty() && s.back() == '0') s.pop_back();
  return s;
}

// "##########0." followed by decimals "#": the integer part in full ("0" below 1), the point,
// the fraction without trailing zeros; a point with nothing after it is removed.
std::string FixedForm(double magnitude, int decimals) {
  Decimal d = ToDecimal(magnitude);
  int integerDigits = d.exponent + 1;
  RoundTo(d, integerDigits + decimals);
  integerDigits = d.exponent + 1;
  std::string whole = "0", fraction;
  if (integerDigits > 0) {
    whole = d.digits.substr(0, size_t(integerDigits));
    whole.append(size_t(integerDigits) - whole.size(), '0');
    if (size_t(integerDigits) < d.digits.size()) fraction = d.digits.substr(size_t(integerDigits));
  } else {
    fraction = std::string(size_t(-integerDigits), '0') + d.digits;
  }
  fraction = TrimZeros(fraction);
  return fraction.empty() ? whole : whole + "." + fraction;
}

// "0.###E+##": one integer digit, up to three fraction digits, the point always kept, then E, the
// exponent's sign and its digits without leading zeros.
std::string ScientificForm(double magnitude) {
  Decimal d = ToDecimal(magnitude);
  RoundTo(d, 4);
  std::string text = d.digits.substr(0, 1) + "." + TrimZeros(d.digits.substr(1));
  text += d.exponent < 0 ? "E-" : "E+";
  return text + std::to_string(std::abs(d.exponent));
}

}  // namespace

double Log10(double X) {
  if (X <= 0) return 0;
  return std::log(X) / kLn10Decimal;
}

std::u16string FormatReal(ErrorState& Errors, double X) {
  if (X == 0) return u"0";
  if (!std::isfinite(X)) {
    // No pattern writes an infinity or NaN (which only a host's variable can bring in).
    Errors.Report(u"FormatReal$", qvRuntimeError(kErrOverflow));
    return {};
  }
  double a = std::fabs(X);
  std::string sign = X < 0 ? "-" : "";
  if (a > kFixedUpper || !(a > kFixedLower)) return ToU16(sign + ScientificForm(a));
  int decimals = 3;
  if (X >= 10) {  // the signed value: a negative number keeps three decimals
    decimals = 4 - int(RoundHalfEven(Log10(X)));
    if (decimals < 1) decimals = 1;
  }
  return ToU16(sign + FixedForm(a, decimals));
}

}  // namespace qv
