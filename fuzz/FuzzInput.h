// Decoding of fuzzer bytes into the texts, numbers and values that the fuzz targets hand to the
// engine and the control. The input is read as lines (split at '\n'), so that seed files written
// by hand stay readable and the dictionary's words stay effective; any 16-bit character, NUL and
// lone surrogates included, is still reachable through an escape byte.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Variant.h"

namespace fuzz {

// Stops the run with a message when an invariant of the engine or the control does not hold;
// libFuzzer records the input as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
inline void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

// One line of input as engine text: every byte is the character of that code, except 0xFF,
// which takes the next two bytes as one 16-bit character (high byte first).
inline std::u16string DecodeText(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == 0xFF && i + 2 < bytes.size()) {
      auto hi = static_cast<unsigned char>(bytes[i + 1]);
      auto lo = static_cast<unsigned char>(bytes[i + 2]);
      text.push_back(static_cast<char16_t>((hi << 8) | lo));
      i += 2;
    } else {
      text.push_back(static_cast<char16_t>(byte));
    }
  }
  return text;
}

// The input cut into lines at '\n' (the separator is dropped), at most maxLines of them; the
// rest of the input, beyond the last line taken, is ignored.
inline std::vector<std::string_view> SplitLines(const uint8_t* data, size_t size,
                                                size_t maxLines) {
  std::vector<std::string_view> lines;
  std::string_view all(reinterpret_cast<const char*>(data), size);
  while (!all.empty() && lines.size() < maxLines) {
    size_t end = all.find('\n');
    lines.push_back(all.substr(0, end));
    all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
  }
  return lines;
}

// A number written in the line, read as C reads one ("inf", "nan", "1e400" included); 0 when the
// line holds none.
inline double DecodeDouble(std::string_view bytes) {
  std::string narrow(bytes.substr(0, 64));
  return std::strtod(narrow.c_str(), nullptr);
}

// A number clamped to the 32-bit range (NaN gives 0), and one written in a line read so.
inline int32_t ClampToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}
inline int32_t DecodeInt(std::string_view bytes) { return ClampToInt(DecodeDouble(bytes)); }

// A value of any kind, chosen by its first character: empty line -> empty; "'" -> the rest as
// text; "s" -> a 16-bit whole number; "d" -> a double; anything else -> a 32-bit whole number.
inline Variant DecodeVariant(std::string_view bytes) {
  if (bytes.empty()) return Variant();
  std::string_view rest = bytes.substr(1);
  switch (bytes[0]) {
    case '\'': return Variant(DecodeText(rest));
    case 's': return Variant(static_cast<int16_t>(DecodeInt(rest)));
    case 'd': return Variant(DecodeDouble(rest));
    default: return Variant(DecodeInt(bytes));
  }
}

// The part of a line after its first character (the operation letter) and one optional blank.
inline std::string_view Argument(std::string_view line) {
  if (line.size() <= 1) return {};
  std::string_view rest = line.substr(1);
  return rest.front() == ' ' ? rest.substr(1) : rest;
}

// "name=value": the name before the first '=', the value after it (0 without one).
inline void SplitAssignment(std::string_view arg, std::u16string& name, double& value) {
  size_t eq = arg.find('=');
  name = DecodeText(arg.substr(0, eq));
  value = eq == std::string_view::npos ? 0.0 : DecodeDouble(arg.substr(eq + 1));
}

}  // namespace fuzz
