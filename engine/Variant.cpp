#include "engine/Variant.h"

#include "engine/DecimalReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {
const std::u16string kEmptyText;
}

Variant::Variant(std::u16string v) : kind_(Kind::Text) {
  u_.text = new TextBlock{{1}, std::move(v)};
}

// The copy is made first, so assigning a text to itself (or to a value that holds the only
// other reference) never releases the block before it is retained.
Variant& Variant::assignText(const Variant& o) noexcept {
  if (this != &o) {
    Variant copy(o);
    *this = std::move(copy);
  }
  return *this;
}

void Variant::releaseText() noexcept {
  if (u_.text->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete u_.text;
}

const std::u16string& Variant::asText() const noexcept {
  return kind_ == Kind::Text ? text() : kEmptyText;
}

bool Variant::toNumberOther(double& out) const noexcept {
  switch (kind_) {
    case Kind::Empty: out = 0; return true;
    case Kind::Int16:
    case Kind::Int32: out = i32(); return true;
    case Kind::Double: out = d(); return true;
    case Kind::Text: return qv::TextToNumber(text(), out);
  }
  return false;
}

bool Variant::toWhole(int32_t& out) const noexcept {
  double x = 0;
  return toNumber(x) && qv::ToWhole(x, out);
}

std::u16string Variant::toText() const {
  switch (kind_) {
    case Kind::Empty: return {};
    case Kind::Int16:
    case Kind::Int32: return qv::WholeToText(i32());
    case Kind::Double: return qv::NumberToText(d());
    case Kind::Text: return text();
  }
  return {};
}

namespace qv {

// <number> = blanks [sign] (digits ["." digits] | "." digits) [("E"|"D") [sign] digits] blanks
bool TextToNumber(std::u16string_view text, double& out) noexcept {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
  while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
  text = text.substr(b, e - b);
  DecimalPrefix number;
  try {
    number = ReadDecimalPrefix(text, true);
  } catch (...) {  // only memory can fail here
    return false;
  }
  if (!number.HasDigits || number.IncompleteExponent || number.Overflow || number.Length != text.size())
    return false;
  out = number.Value;
  return true;
}

std::u16string WholeToText(int64_t n) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, n);
  return ToU16(std::string_view(buf, size_t(r.ptr - buf)));
}

std::u16string NumberToText(double x) {
  if (x == 0 || !std::isfinite(x)) return x == 0 ? u"0" : ToU16(std::isnan(x) ? "NaN" : (x > 0 ? "Inf" : "-Inf"));
  char buf[40];
  // 15 significant digits, rounded once: d.dddddddddddddde[+-]x
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
  std::string_view s(buf, size_t(r.ptr - buf));
  bool negative = s[0] == '-';
  if (negative) s.remove_prefix(1);
  size_t epos = s.find('e');
  int exponent = std::atoi(std::string(s.substr(epos + 1)).c_str());
  std::string digits;
  digits += s[0];
  digits += s.substr(2, epos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -4 || exponent > 14) {
    out += digits[0];
    if (digits.size() > 1) out += '.', out += digits.substr(1);
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += ebuf;
  } else if (exponent < 0) {
    out += "0.";
    out.append(size_t(-exponent - 1), '0');
    out += digits;
  } else if (size_t(exponent) + 1 >= digits.size()) {
    out += digits;
    out.append(size_t(exponent) + 1 - digits.size(), '0');
  } else {
    out += digits.substr(0, size_t(exponent) + 1);
    out += '.';
    out += digits.substr(size_t(exponent) + 1);
  }
  return ToU16(out);
}

double RoundHalfEven(double x) noexcept {
  double f = std::floor(x);
  double diff = x - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0)) f += 1;
  return f;
}

bool ToWhole(double x, int32_t& out) noexcept {
  double r = RoundHalfEven(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return false;
  out = int32_t(r);
  return true;
}

std::u16string ToU16(std::string_view ascii) {
  std::u16string out(ascii.size(), u'\0');
  for (size_t i = 0; i < ascii.size(); ++i) out[i] = char16_t(static_cast<unsigned char>(ascii[i]));
  return out;
}

std::string ToNarrow(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = text[i] < 128 ? char(text[i]) : '?';
  return out;
}

// Upper case in the Latin-1 range, which is the single-byte character set the engine uses:
// a-z, and the accented small letters U+00E0..U+00FE except U+00F7 (division sign).
char16_t UpperCase(char16_t c) noexcept {
  if (c >= u'a' && c <= u'z') return char16_t(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
  return c;
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = UpperCase(c);
  return out;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperCase(a[i]) != UpperCase(b[i])) return false;
  return true;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) noexcept {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = UpperCase(a[i]), y = UpperCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace qv
