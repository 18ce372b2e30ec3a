// The engine's value: empty, a whole number of 16 or 32 bits, a double, or a text of 16-bit
// characters. Sixteen bytes: a tag and a union; numbers live inline and never allocate, texts are
// shared immutable blocks with an atomic reference count, so copying any value is cheap.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <string>
#include <string_view>

class Variant {
 public:
  enum class Kind : uint8_t { Empty, Int16, Int32, Double, Text };

  Variant() noexcept : kind_(Kind::Empty) { u_.d = 0; }
  Variant(int16_t v) noexcept : kind_(Kind::Int16) { u_.i32 = v; }
  Variant(int32_t v) noexcept : kind_(Kind::Int32) { u_.i32 = v; }
  Variant(double v) noexcept : kind_(Kind::Double) { u_.d = v; }
  Variant(std::u16string v);
  Variant(std::u16string_view v) : Variant(std::u16string(v)) {}
  Variant(const char16_t* v) : Variant(std::u16string(v)) {}

  Variant(const Variant& o) noexcept : kind_(o.kind_), u_(o.u_) { retain(); }
  Variant(Variant&& o) noexcept : kind_(o.kind_), u_(o.u_) { o.kind_ = Kind::Empty; }
  // Numbers are copied as plain bytes; only texts take the out-of-line path of the count.
  Variant& operator=(const Variant& o) noexcept {
    if (kind_ == Kind::Text || o.kind_ == Kind::Text) return assignText(o);
    kind_ = o.kind_;
    u_ = o.u_;
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      release();
      kind_ = o.kind_;
      u_ = o.u_;
      o.kind_ = Kind::Empty;
    }
    return *this;
  }
  // Assigning a number directly (a host filling a bound variable): no temporary value and no
  // test of a source's kind. Each keeps the kind its type gives, as the constructors do.
  Variant& operator=(double v) noexcept {
    setDouble(v);
    return *this;
  }
  Variant& operator=(int32_t v) noexcept { return setWhole(Kind::Int32, v); }
  Variant& operator=(int16_t v) noexcept { return setWhole(Kind::Int16, v); }
  ~Variant() { release(); }

  Kind kind() const noexcept { return kind_; }
  bool isEmpty() const noexcept { return kind_ == Kind::Empty; }
  bool isNumber() const noexcept { return kind_ == Kind::Int16 || kind_ == Kind::Int32 || kind_ == Kind::Double; }
  bool isWhole() const noexcept { return kind_ == Kind::Int16 || kind_ == Kind::Int32; }
  bool isDouble() const noexcept { return kind_ == Kind::Double; }
  bool isText() const noexcept { return kind_ == Kind::Text; }

  // The number, for Int16, Int32 and Double; 0 for Empty and Text.
  double asDouble() const noexcept {
    return kind_ == Kind::Double ? d() : (isWhole() ? double(i32()) : 0.0);
  }
  // The whole number, for Int16 and Int32 (both are kept widened to 32 bits inside).
  int32_t asWhole() const noexcept { return isWhole() ? i32() : 0; }
  // The text, for Text; the empty text for every other kind.
  const std::u16string& asText() const noexcept;

  // Conversions of the value rules: empty reads as 0 and as the empty text; text reads as a
  // number only when the whole text is one. They report failure instead of throwing.
  bool toNumber(double& out) const noexcept {
    if (kind_ != Kind::Double) return toNumberOther(out);
    out = d();
    return true;
  }
  std::u16string toText() const;
  // The value as a whole number (counts, positions, indices), halves to the even neighbour:
  // false for text that is not a number and for values outside the 32-bit range.
  bool toWhole(int32_t& out) const noexcept;

  // Where the tag (one byte) and a double lie inside a Variant: generated machine code reads the
  // values of bound variables straight from their records.
  static constexpr size_t KindOffset() noexcept { return offsetof(Variant, kind_); }
  static constexpr size_t DoubleOffset() noexcept { return offsetof(Variant, u_); }

  // Assigning a double in place: the common store of the hot path, no release when not text.
  void setDouble(double v) noexcept {
    if (kind_ == Kind::Text) release();
    kind_ = Kind::Double;
    u_.d = v;
  }

 private:
  // The union's members, read only through these: a debug build checks the tag on every read.
  double d() const noexcept {
    assert(kind_ == Kind::Double);
    return u_.d;
  }
  int32_t i32() const noexcept {
    assert(kind_ == Kind::Int16 || kind_ == Kind::Int32);
    return u_.i32;
  }
  const std::u16string& text() const noexcept {
    assert(kind_ == Kind::Text);
    return u_.text->text;
  }

  struct TextBlock {
    std::atomic<uint32_t> refs;
    std::u16string text;
  };
  void retain() noexcept {
    if (kind_ == Kind::Text) u_.text->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept {
    if (kind_ == Kind::Text) releaseText();
    kind_ = Kind::Empty;
  }
  Variant& setWhole(Kind kind, int32_t v) noexcept {
    release();
    kind_ = kind;
    u_.i32 = v;
    return *this;
  }
  void releaseText() noexcept;
  Variant& assignText(const Variant& o) noexcept;
  bool toNumberOther(double& out) const noexcept;

  Kind kind_;
  union {
    int32_t i32;
    double d;
    TextBlock* text;
  } u_;
};

static_assert(sizeof(Variant) == 16, "Variant stays a tag and one machine word");
static_assert(std::is_standard_layout_v<Variant> && sizeof(Variant::Kind) == 1, "machine code reads the tag as a byte");

namespace qv {

// Reading a text as a number: the whole text, blanks around it allowed; an optional sign,
// digits with an optional "." fraction, an optional exponent with E, e, D or d. The decimal
// separator is always ".", whatever the locale. False when the text is not such a number or
// lies beyond the range of a double.
bool TextToNumber(std::u16string_view text, double& out) noexcept;

// The general text form of a number: whole numbers in decimal digits; doubles with up to 15
// significant digits, trailing zeros dropped, plain for decimal exponents -4 to 14 and otherwise
// scientific with "E", a sign and at least two exponent digits (0.25, 1E+20, 1E-05).
std::u16string NumberToText(double x);
std::u16string WholeToText(int64_t n);

// Rounding to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double x) noexcept;
// The same, into the 32-bit signed range; false outside it (or for NaN).
bool ToWhole(double x, int32_t& out) noexcept;

// ASCII and Latin-1 helpers for the engine's texts.
std::u16string ToU16(std::string_view ascii);
std::string ToNarrow(std::u16string_view text);  // characters above 127 become '?'
char16_t UpperCase(char16_t c) noexcept;           // A-Z and the Latin-1 letters
std::u16string UpperCase(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept;
int CompareNoCase(std::u16string_view a, std::u16string_view b) noexcept;  // -1, 0, 1

}  // namespace qv
