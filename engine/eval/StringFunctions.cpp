// The string functions: lengths, codes, built texts, parts and case-insensitive search. Counts and
// positions are whole-number readings (halves to even, 32-bit range); texts the functions build
// are held to kMaxTextLength.
#include "engine/eval/StringFunctions.h"

#include <algorithm>
#include <vector>

#include "engine/eval/Operators.h"

namespace qv {

namespace {

// A count for SPACE, STRING, LEFT and RIGHT: not negative, and a text of that length must fit.
bool ReadCount(const Variant& v, size_t& out) noexcept {
  int32_t n;
  if (!ReadWhole(v, n) || n < 0) return false;
  out = size_t(n);
  return true;
}

// The character of STRING's second argument: the code of a number, taken modulo 256 (a negative
// code has no character and fails), or the first character of a text.
bool ReadCharacter(const Variant& v, char16_t& out) noexcept {
  if (v.isNumber()) {
    int32_t code;
    if (!ReadWhole(v, code) || code < 0) return false;
    out = char16_t(code % 256);
    return true;
  }
  if (v.asText().empty()) return false;  // empty reads as the empty text
  out = v.asText()[0];
  return true;
}

// The first occurrence of Sought in Text at or after From, or npos: Knuth-Morris-Pratt, so the time
// is linear in both lengths whatever the texts (a plain search takes the product of the lengths
// on texts such as many "a" sought in many "a").
size_t FindFrom(const std::u16string& Text, const std::u16string& Sought, size_t From) {
  const size_t m = Sought.size();
  if (m <= 1) return Text.find(Sought, From);
  std::vector<uint32_t> border(m, 0);  // border[i]: longest proper border of Sought[0..i]
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && Sought[i] != Sought[k]) k = border[k - 1];
    if (Sought[i] == Sought[k]) ++k;
    border[i] = uint32_t(k);
  }
  for (size_t i = From, k = 0; i < Text.size(); ++i) {
    while (k > 0 && Text[i] != Sought[k]) k = border[k - 1];
    if (Text[i] == Sought[k] && ++k == m) return i + 1 - m;
  }
  return std::u16string::npos;
}

}  // namespace

Step Len(Variant& acc) {
  acc = Variant(int32_t(acc.isText() ? acc.asText().size() : acc.toText().size()));
  return Step::Ok;
}

// The code of the first character in the single-byte character set, Latin-1 here: codes up to
// 255 are the character's own; a character beyond Latin-1 has no single-byte form and reads as
// "?" (63), as a conversion to a single-byte text would write it.
Step Asc(Variant& acc) {
  std::u16string text = acc.toText();
  if (text.empty()) return Step::Failed;
  char16_t c = text[0];
  acc = Variant(int16_t(c <= 0xFF ? c : u'?'));
  return Step::Ok;
}

Step Space(Variant& acc) {
  size_t n;
  if (!ReadCount(acc, n) || n > kMaxTextLength) return Step::Failed;
  return TextResult(std::u16string(n, u' '), acc);
}

Step StringOf(const Variant* count, Variant& acc) {
  size_t n;
  char16_t c;
  if (!count || !ReadCount(*count, n) || n > kMaxTextLength || !ReadCharacter(acc, c))
    return Step::Failed;
  return TextResult(std::u16string(n, c), acc);
}

Step LeftRight(bool right, const Variant* value, Variant& acc) {
  size_t n;
  if (!value || !ReadCount(acc, n)) return Step::Failed;
  std::u16string text = value->toText();
  n = std::min(n, text.size());
  return TextResult(right ? text.substr(text.size() - n) : text.substr(0, n), acc);
}

// MID(value, start, length): cut short at the end of the text; empty when start lies beyond it.
Step Mid(const Variant* value, const Variant* start, Variant& acc) {
  int32_t from, length;
  if (!value || !start || !ReadWhole(*start, from) || from < 1) return Step::Failed;
  if (!ReadWhole(acc, length) || length < 0) return Step::Failed;
  std::u16string text = value->toText();
  if (size_t(from) > text.size()) return TextResult(std::u16string(), acc);
  return TextResult(text.substr(size_t(from - 1), size_t(length)), acc);
}

// INSTR(start, searched, sought): the first position at or after start where sought occurs,
// letter case ignored; 0 when none or start lies beyond the text; start for an empty sought text.
Step Instr(const Variant* start, const Variant* searched, Variant& acc) {
  int32_t from;
  if (!start || !searched || !ReadWhole(*start, from) || from < 1) return Step::Failed;
  std::u16string text = UpperCase(searched->toText());
  std::u16string sought = UpperCase(acc.toText());
  int32_t found = 0;
  if (size_t(from) <= text.size()) {
    size_t at = sought.empty() ? size_t(from - 1) : FindFrom(text, sought, size_t(from - 1));
    found = at == std::u16string::npos ? 0 : int32_t(at + 1);
  }
  acc = Variant(found);
  return Step::Ok;
}

}  // namespace qv
