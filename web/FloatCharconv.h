// The floating-point forms of std::from_chars and std::to_chars, which the C++ library of
// Debian's emscripten (3.1.6) declares but does not provide. The web build includes this before
// every source of the engine, so the engine's code stays as it is; the forms the engine uses are
// given through the C library, whose conversions are exact and round to nearest.
#pragma once

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace std {

// Decimal text to double; a result too large or too small to be anything but infinite or zero is
// out of range, as the library's own form reports it.
inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general) {
  const string text(first, last);
  char* end = nullptr;
  errno = 0;
  const double parsed = strtod(text.c_str(), &end);
  if (end == text.c_str()) return {first, errc::invalid_argument};
  const char* stop = first + (end - text.c_str());
  if (errno == ERANGE && (parsed == 0 || isinf(parsed))) return {stop, errc::result_out_of_range};
  value = parsed;
  return {stop, errc{}};
}

// Scientific notation with precision digits after the point (the only form the engine asks for).
inline to_chars_result to_chars(char* first, char* last, double value, chars_format, int precision) {
  const int n = snprintf(first, size_t(last - first), "%.*e", precision, value);
  if (n < 0 || n >= last - first) return {last, errc::value_too_large};
  return {first + n, errc{}};
}

// Scientific notation with the fewest digits that read back as the same double (the shortest
// form, which ROUND asks for): the first precision whose text reads back exactly.
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format) {
  for (int precision = 0; precision < 17; ++precision) {
    char text[40];
    snprintf(text, sizeof text, "%.*e", precision, value);
    if (strtod(text, nullptr) == value) return to_chars(first, last, value, format, precision);
  }
  return to_chars(first, last, value, format, 16);
}

}  // namespace std
