// The extended functions (qvAddExtendedFunctions): ROUND, CEIL, FLOOR, ATN2, LOG2, HYPOT and the
// constant E, written only with the public interface a host has (DefineFunction, DefineConstant),
// so they are also an example of it.
#include <charconv>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "engine/qvExpression.h"

namespace {

// X rounded to Digits decimals (Digits < 0: to tens, hundreds ...), half away from zero, on the
// shortest decimal that reads back as X: the number a user sees, so that 1.005 (stored a little
// below) rounds to 1.01 as it is written.
double RoundDecimal(double X, int Digits) {
  if (!std::isfinite(X) || X == 0) return X;
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, std::fabs(X), std::chars_format::scientific);
  const std::string shown(text, written.ptr);  // d[.ddd]e±XX
  const size_t e = shown.find('e');
  int exponent = std::stoi(shown.substr(e + 1)) + 1;  // the value is 0.digits times 10^exponent
  std::string digits;
  for (char c : shown.substr(0, e))
    if (c != '.') digits += c;
  const long keep = long(exponent) + Digits;
  if (keep >= long(digits.size())) return X;
  if (keep < 0) return std::copysign(0.0, X);
  std::string kept = digits.substr(0, size_t(keep));
  if (digits[size_t(keep)] >= '5') {  // carry the one up through the nines
    long i = keep - 1;
    for (; i >= 0 && kept[size_t(i)] == '9'; --i) kept[size_t(i)] = '0';
    if (i < 0) {
      kept.insert(0, "1");
      ++exponent;
    } else {
      ++kept[size_t(i)];
    }
  }
  if (kept.empty()) return std::copysign(0.0, X);
  const std::string rounded = "0." + kept + "e" + std::to_string(exponent);
  double value = 0;
  std::from_chars(rounded.data(), rounded.data() + rounded.size(), value);
  return std::copysign(value, X);
}

}  // namespace

void qvAddExtendedFunctions(qvExpression& Engine) {
  Engine.DefineFunction("ROUND", qvFunction{1, 2, true, [](std::span<const double> a) {
                                              const double digits = a.size() > 1 ? std::round(a[1]) : 0;
                                              if (!(std::fabs(digits) <= 400))
                                                throw std::domain_error("digits must be between -400 and 400");
                                              return RoundDecimal(a[0], int(digits));
                                            }});
  Engine.DefineFunction("CEIL", 1, [](std::span<const double> a) { return std::ceil(a[0]); });
  Engine.DefineFunction("FLOOR", 1, [](std::span<const double> a) { return std::floor(a[0]); });
  Engine.DefineFunction("ATN2", 2, [](std::span<const double> a) { return std::atan2(a[0], a[1]); });
  Engine.DefineFunction("LOG2", 1, [](std::span<const double> a) {
    if (!(a[0] > 0)) throw std::domain_error("x must be above 0");
    return std::log2(a[0]);
  });
  Engine.DefineFunction("HYPOT", 2, [](std::span<const double> a) { return std::hypot(a[0], a[1]); });
  Engine.DefineConstant("E", std::numbers::e);
}
