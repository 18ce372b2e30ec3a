// The scanner: reads numbers, names and string literals from a text at a 1-based cursor that the
// caller owns, and cuts a trailing comment off a whole text. There is no token stream: each
// procedure leaves the cursor on the first character it did not consume.
#include <algorithm>
#include <climits>

#include "engine/compile/Scanner.h"

#include "engine/Messages.h"
#include "engine/DecimalReader.h"

namespace qv {
namespace {

// Position INT32_MAX counts as past the end too, so that no loop below can step the cursor
// beyond the 32-bit range on a text of two thousand million characters or more.
bool InText(std::u16string_view text, int32_t cursor) {
  return cursor >= 1 && cursor < INT32_MAX && size_t(cursor) <= text.size();
}

// The character at a position; past either end (and at position INT32_MAX), kNoCharacter.
char16_t At(std::u16string_view text, int32_t cursor) {
  return InText(text, cursor) ? CharAt(text, cursor) : kNoCharacter;
}

bool IsExponentLetter(char16_t c) { return c == u'E' || c == u'e' || c == u'D' || c == u'd'; }

// Name characters: digits, letters, "_" and the single-byte codes 128 to 255. The single-byte
// character set is taken as Latin-1, so those codes are U+0080 to U+00FF; a character above
// U+00FF has no single-byte code and is not a name character.
bool IsNameChar(char16_t c) {
  return IsDigit(c) || IsLetter(c) || c == u'_' || (c >= 0x80 && c <= 0xFF);
}

void SkipDigits(std::u16string_view text, int32_t& cursor) {
  while (IsDigit(At(text, cursor))) ++cursor;
}

// Every pair of delimiters in a string's content becomes one, left to right ("""" gives "").
std::u16string CollapsePairs(std::u16string_view raw, char16_t delimiter) {
  std::u16string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    out += raw[i];
    if (raw[i] == delimiter && i + 1 < raw.size() && raw[i + 1] == delimiter) ++i;
  }
  return out;
}

// Moves the cursor over digits ["." digits] [exponent letter [sign] digits] and returns the
// characters passed. The exponent letter is consumed even when no digit follows it.
std::u16string_view ScanNumberLiteral(std::u16string_view text, int32_t& cursor) {
  const int32_t start = cursor;
  SkipDigits(text, cursor);
  if (At(text, cursor) == u'.') {
    ++cursor;
    SkipDigits(text, cursor);
  }
  if (IsExponentLetter(At(text, cursor))) {
    ++cursor;
    if (At(text, cursor) == u'+' || At(text, cursor) == u'-') ++cursor;
    SkipDigits(text, cursor);
  }
  return cursor > start ? text.substr(size_t(start - 1), size_t(cursor - start)) : std::u16string_view{};
}

}  // namespace

std::u16string_view TrimSpaces(std::u16string_view Text) {
  size_t first = Text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  return Text.substr(first, Text.find_last_not_of(u' ') - first + 1);
}

// Only code 32 is a blank: tabs and other white space stop it. Past the end of a text without
// end marker there is no character whose code could be read, which is a failure.
void SkipBlanks(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor) {
  while (At(Text, Cursor) == u' ') ++Cursor;
  if (!InText(Text, Cursor)) Errors.Report(u"SkipBlanks", qvRuntimeError(kErrInvalidArgument));
}

// <number> = digits ["." digits] [("E"|"e"|"D"|"d") ["+"|"-"] digits]
// With a point: a double, the longest prefix that reads as a number. Without one: a 32-bit
// integer, the whole literal rounded halves to even; overflow (6) or an exponent letter without
// digits (13) are failures reported under "GetNumber", and the result is then empty.
Variant GetNumber(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor) {
  Variant result;
  Errors.Guarded(u"GetNumber", [&] {
    const std::u16string_view literal = ScanNumberLiteral(Text, Cursor);
    const DecimalPrefix number = ReadDecimalPrefix(literal, false);
    const bool point = literal.find(u'.') != std::u16string_view::npos;
    if (!point && (!number.HasDigits || number.IncompleteExponent)) RaiseRuntimeError(kErrTypeMismatch);
    // A literal with a point never yields infinity: beyond the double range it overflows too.
    if (number.Overflow) RaiseRuntimeError(kErrOverflow);
    if (point) {
      result = number.Value;
      return;
    }
    int32_t whole = 0;
    if (!ToWhole(number.Value, whole)) RaiseRuntimeError(kErrOverflow);
    result = whole;
  });
  return result;
}

// <name> = {digit | letter | "_" | code 128..255}, then blanks are skipped, so that SIN (X)
// reads like SIN(X). Case is kept. Reaching the end of a text without end marker is a failure
// reported under "GetName" with an empty result.
std::u16string GetName(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor) {
  std::u16string name;
  Errors.Guarded(u"GetName", [&] {
    const int32_t start = Cursor;
    while (IsNameChar(At(Text, Cursor))) ++Cursor;
    if (!InText(Text, Cursor)) RaiseRuntimeError(kErrInvalidArgument);
    name = Text.substr(size_t(start - 1), size_t(Cursor - start));
    SkipBlanks(Errors, Text, Cursor);
  });
  return name;
}

// <string> = delimiter {character | delimiter delimiter} delimiter, closed before the last
// character of the text (in the compiler's text that is the end marker). A missing closing
// delimiter sets error 1 with the cursor on the last character; the compiler completes the text.
// The delimiter is compared as a character, so characters outside Latin-1 never match it.
bool GetString(ErrorState& Errors, std::u16string_view Text, int32_t& Cursor, std::u16string& Content) {
  bool closed = true;
  Content.clear();
  Errors.Guarded(u"GetString", [&] {
    if (!InText(Text, Cursor)) RaiseRuntimeError(kErrInvalidArgument);
    const int32_t start = Cursor;
    const char16_t delimiter = Text[size_t(start - 1)];
    const int32_t last = int32_t(std::min<size_t>(Text.size(), INT32_MAX - 1));
    bool doubled = false;
    for (;;) {
      // At or beyond the last character (an opening delimiter there too), the string is open.
      if (++Cursor >= last) {
        Cursor = last;
        Errors.Set(1, std::u16string(msg::kMissingDelimiter));
        closed = false;
        return;
      }
      if (Text[size_t(Cursor - 1)] != delimiter) continue;
      ++Cursor;  // still at most last: the test above saw Cursor below it
      if (Text[size_t(Cursor - 1)] != delimiter) break;
      doubled = true;
    }
    const auto raw = Text.substr(size_t(start), size_t(Cursor - start - 2));
    Content = doubled ? CollapsePairs(raw, delimiter) : std::u16string(raw);
  });
  return closed;
}

// The first apostrophe starts a comment, even inside a quoted string. With a comment the rest is
// trimmed of blanks (code 32) and written back; without one the text is returned as it is.
std::u16string StripComments(ErrorState& Errors, std::u16string& Text) {
  std::u16string result;
  Errors.Guarded(u"StripComments$", [&] {
    const size_t apostrophe = Text.find(u'\'');
    if (apostrophe == std::u16string::npos) {
      result = Text;
      return;
    }
    result = TrimSpaces(std::u16string_view(Text).substr(0, apostrophe));
    Text = result;
  });
  return result;
}

}  // namespace qv
