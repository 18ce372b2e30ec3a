// The scanner: numeric literals and their rounding, names, string literals, blanks and comments.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/qvExpression.h"
#include "engine/compile/Scanner.h"
#include "tests/TestAccess.h"

// The scanner's procedures on an engine's error state.
struct A {
  static qv::ErrorState& E(qvExpression& e) { return qvExpressionTestAccess::Errors(e); }
  static Variant Number(qvExpression& e, std::u16string_view t, int32_t& c) { return qv::GetNumber(E(e), t, c); }
  static std::u16string Name(qvExpression& e, std::u16string_view t, int32_t& c) { return qv::GetName(E(e), t, c); }
  static std::u16string String(qvExpression& e, std::u16string_view t, int32_t& c) {
    std::u16string s;
    qv::GetString(E(e), t, c, s);
    return s;
  }
  static void Blanks(qvExpression& e, std::u16string_view t, int32_t& c) { qv::SkipBlanks(E(e), t, c); }
  static std::u16string Strip(qvExpression& e, std::u16string& t) { return qv::StripComments(E(e), t); }
};

namespace {

// The compiler's text: the literal followed by the end marker.
std::u16string Marked(std::u16string text) { return text + u'\0'; }

struct Scanned {
  Variant value;
  int32_t cursor;
};
Scanned ScanNumber(qvExpression& e, const std::u16string& literal) {
  const std::u16string text = Marked(literal);
  int32_t cursor = 1;
  Variant v = A::Number(e, text, cursor);
  return {v, cursor};
}

const std::u16string kOverflow = u"Error 6 has occured in qvCalcE, GetNumber\r\nOverflow";
const std::u16string kMismatch = u"Error 13 has occured in qvCalcE, GetNumber\r\nType mismatch";

}  // namespace

TEST(ScannerNumber, LiteralWithPointIsDouble) {
  qvExpression e;
  const std::pair<const char16_t*, double> cases[] = {
      {u"12.5", 12.5}, {u".5", 0.5},     {u"1.5E3", 1500}, {u"1.5D3", 1500}, {u"1.5d+3", 1500},
      {u"1.E-2", 0.01}, {u"2147483648.0", 2147483648.0}, {u"1.5E", 1.5}, {u".", 0},
      {u"1.0E-400", 0},  // underflow reads as 0
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(std::string(text, text + std::char_traits<char16_t>::length(text)));
    Scanned s = ScanNumber(e, text);
    EXPECT_EQ(s.value.kind(), Variant::Kind::Double);
    EXPECT_DOUBLE_EQ(s.value.asDouble(), expected);
    EXPECT_EQ(s.cursor, int32_t(std::char_traits<char16_t>::length(text)) + 1);
  }
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ScannerNumber, LiteralWithoutPointIsRoundedInt32HalvesToEven) {
  qvExpression e;
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"12", 12},   {u"1E3", 1000}, {u"1D3", 1000}, {u"1e+3", 1000}, {u"2147483647", 2147483647},
      {u"15E-1", 2}, {u"25E-1", 2},  {u"35E-1", 4},  {u"5E-1", 0},    {u"1E-2", 0},
      {u"21474836465E-1", 2147483646}, {u"1E-400", 0},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(std::string(text, text + std::char_traits<char16_t>::length(text)));
    Scanned s = ScanNumber(e, text);
    EXPECT_EQ(s.value.kind(), Variant::Kind::Int32);
    EXPECT_EQ(s.value.asWhole(), expected);
  }
  // Leading zeros beyond any buffer length still read as the number.
  Scanned padded = ScanNumber(e, std::u16string(500, u'0') + u"7");
  EXPECT_EQ(padded.value.asWhole(), 7);
  Scanned longLiteral = ScanNumber(e, u"1" + std::u16string(50, u'0') + u"E-49");
  EXPECT_EQ(longLiteral.value.asWhole(), 10);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ScannerNumber, OverflowIsReportedUnderGetNumberWithEmptyResult) {
  for (std::u16string text : {std::u16string(u"2147483648"), std::u16string(u"21474836475E-1"),
                              std::u16string(u"1E400"), std::u16string(u"1.0E400"),
                              std::u16string(u"1") + std::u16string(400, u'0') + u".5"}) {
    qvExpression e;
    Scanned s = ScanNumber(e, text);
    EXPECT_TRUE(s.value.isEmpty());
    EXPECT_EQ(e.ErrorCode(), 11);
    EXPECT_EQ(e.ErrorDescription(), kOverflow);
    EXPECT_EQ(s.cursor, int32_t(text.size()) + 1);
  }
  // A tiny mantissa with a positive exponent underflows rather than overflows.
  qvExpression e;
  Scanned tiny = ScanNumber(e, u"0." + std::u16string(400, u'0') + u"1E+5");
  EXPECT_EQ(tiny.value.asDouble(), 0);
  EXPECT_EQ(e.ErrorCode(), 0);
  // A long mantissa with a negative exponent stays in range.
  Scanned big = ScanNumber(e, u"1" + std::u16string(400, u'0') + u".0E-100");
  EXPECT_DOUBLE_EQ(big.value.asDouble(), 1e300);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ScannerNumber, ExponentWithoutDigitsIsTypeMismatchAndConsumesTheLetter) {
  for (std::u16string text : {std::u16string(u"1E"), std::u16string(u"2E+"), std::u16string(u"3d-"),
                              std::u16string(400, u'9') + u"E"}) {
    qvExpression e;
    Scanned s = ScanNumber(e, text);
    EXPECT_TRUE(s.value.isEmpty());
    EXPECT_EQ(e.ErrorCode(), 11);
    EXPECT_EQ(e.ErrorDescription(), kMismatch);
    EXPECT_EQ(s.cursor, int32_t(text.size()) + 1);
  }
  qvExpression e;
  Scanned x = ScanNumber(e, u"1Ex");
  EXPECT_EQ(x.cursor, 3);  // on the x
  EXPECT_EQ(e.ErrorDescription(), kMismatch);
}

TEST(ScannerNumber, StopsOnTheFirstCharacterNotConsumed) {
  qvExpression e;
  Scanned s = ScanNumber(e, u"1.2.3");
  EXPECT_DOUBLE_EQ(s.value.asDouble(), 1.2);
  EXPECT_EQ(s.cursor, 4);  // on the second point
  Scanned t = ScanNumber(e, u"42+X");
  EXPECT_EQ(t.value.asWhole(), 42);
  EXPECT_EQ(t.cursor, 3);
  // No end marker and a cursor past the end: nothing is read out of bounds.
  int32_t cursor = 3;
  Variant none = A::Number(e, u"12", cursor);
  EXPECT_TRUE(none.isEmpty());
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(e.ErrorCode(), 11);
}

TEST(ScannerName, ReadsNameCharactersAndSkipsFollowingBlanks) {
  qvExpression e;
  std::u16string text = Marked(u"Speed_2 + 1");
  int32_t cursor = 1;
  EXPECT_EQ(A::Name(e, text, cursor), u"Speed_2");
  EXPECT_EQ(cursor, 9);  // on the "+"
  text = Marked(u"Gr\u00F6\u00DFe*2");  // Latin-1 letters are name characters
  cursor = 1;
  EXPECT_EQ(A::Name(e, text, cursor), u"Gr\u00F6\u00DFe");
  EXPECT_EQ(cursor, 6);
  text = Marked(u"a\u03A9b");  // above U+00FF: not a name character
  cursor = 1;
  EXPECT_EQ(A::Name(e, text, cursor), u"a");
  EXPECT_EQ(cursor, 2);
  text = Marked(u"X\t+");
  cursor = 1;
  EXPECT_EQ(A::Name(e, text, cursor), u"X");
  EXPECT_EQ(cursor, 2);  // the tab is not a blank
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ScannerName, EndOfTextWithoutMarkerFails) {
  const std::u16string kName = u"Error 5 has occured in qvCalcE, GetName\r\nInvalid procedure call or argument";
  qvExpression e;
  int32_t cursor = 1;
  EXPECT_EQ(A::Name(e, u"abc", cursor), u"");
  EXPECT_EQ(e.ErrorCode(), 11);
  EXPECT_EQ(e.ErrorDescription(), kName);
  EXPECT_EQ(cursor, 4);

  qvExpression past;
  cursor = 7;
  EXPECT_EQ(A::Name(past, u"abc", cursor), u"");
  EXPECT_EQ(past.ErrorDescription(), kName);

  // The name itself ends on a blank; the blanks then run to the end, which SkipBlanks reports.
  qvExpression trailing;
  cursor = 1;
  EXPECT_EQ(A::Name(trailing, u"abc  ", cursor), u"abc");
  EXPECT_EQ(trailing.ErrorDescription(),
            u"Error 5 has occured in qvCalcE, SkipBlanks\r\nInvalid procedure call or argument");
}

TEST(ScannerBlanks, SkipsOnlyCode32AndFailsPastTheEnd) {
  qvExpression e;
  int32_t cursor = 1;
  A::Blanks(e, u"   \tX", cursor);
  EXPECT_EQ(cursor, 4);
  EXPECT_EQ(e.ErrorCode(), 0);
  for (int32_t start : {1, 0, -5, INT32_MAX}) {
    qvExpression f;
    cursor = start;
    A::Blanks(f, u"  ", cursor);
    EXPECT_EQ(f.ErrorCode(), 11) << start;
    EXPECT_EQ(f.ErrorDescription(),
              u"Error 5 has occured in qvCalcE, SkipBlanks\r\nInvalid procedure call or argument");
  }
}

TEST(ScannerString, DoubledDelimitersCollapse) {
  qvExpression e;
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"\"a\"\"b\"", u"a\"b"}, {u"\"\"", u""}, {u"\"\"\"\"\"\"", u"\"\""},
      {u"\"it's \u03A9\"", u"it's \u03A9"}, {u"\"\"\"\"", u"\""},
  };
  for (const auto& [literal, expected] : cases) {
    std::u16string text = Marked(literal + u"+1");
    int32_t cursor = 1;
    EXPECT_EQ(A::String(e, text, cursor), expected);
    EXPECT_EQ(cursor, int32_t(literal.size()) + 1);  // after the closing delimiter
  }
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ScannerString, MissingDelimiterSetsCode1AtTheLastCharacter) {
  // Unclosed; closed only on the last character (no end marker); opening on the last one;
  // a doubled delimiter reaching the end.
  for (std::u16string text : {Marked(u"\"abc"), std::u16string(u"\"ab\""), std::u16string(u"x\""),
                              std::u16string(u"\""), Marked(u"\"a\"\"")}) {
    qvExpression e;
    int32_t cursor = text[0] == u'x' ? 2 : 1;
    EXPECT_EQ(A::String(e, text, cursor), u"");
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.ErrorDescription(), u": Missing string delimiter");
    EXPECT_EQ(cursor, int32_t(text.size()));
  }
}

TEST(ScannerComments, FirstApostropheCutsAndTrimsBlanksOnly) {
  qvExpression e;
  std::u16string text = u"X + 1 ' total";
  EXPECT_EQ(A::Strip(e, text), u"X + 1");
  EXPECT_EQ(text, u"X + 1");  // written back
  text = u"  X + 1  ";
  EXPECT_EQ(A::Strip(e, text), u"  X + 1  ");
  EXPECT_EQ(text, u"  X + 1  ");  // no comment: not trimmed
  text = u"\"it's\" & X";
  EXPECT_EQ(A::Strip(e, text), u"\"it");  // quotes are not respected
  text = u"\tX ' c";
  EXPECT_EQ(A::Strip(e, text), u"\tX");
  text = u"   ' only a comment";
  EXPECT_EQ(A::Strip(e, text), u"");
  EXPECT_EQ(text, u"");
}
