// The string functions: results, result kinds, and the arguments that fail without a record.
#include <gtest/gtest.h>

#include <string>

#include "engine/eval/StringFunctions.h"
#include "engine/qvExpression.h"
#include "tests/Evaluated.h"

using namespace qv;  // the engine's internals under test

namespace {
using K = Variant::Kind;

// The value of a text that must record nothing: no string function records a failure.
Variant Quiet(std::u16string text) {
  Outcome o = Evaluated(std::move(text));
  EXPECT_EQ(o.code, 0) << "string functions record nothing";
  return o.value;
}

std::u16string Text(std::u16string text) { return Quiet(std::move(text)).asText(); }
}  // namespace

TEST(StringFunctions, LenMeasuresTheTextFormOfAnyValue) {
  Variant o = Quiet(u"LEN(\"abc\")");
  EXPECT_EQ(o.kind(), K::Int32);
  EXPECT_EQ(o.asWhole(), 3);
  EXPECT_EQ(Quiet(u"LEN(12.5)").asWhole(), 4);
  EXPECT_EQ(Quiet(u"LEN(1/4)").asWhole(), 4);
  EXPECT_EQ(Quiet(u"LEN(\"\")").asWhole(), 0);
  EXPECT_EQ(Quiet(u"LEN(-7)").asWhole(), 2);
}

TEST(StringFunctions, AscGivesSingleByteCodes) {
  Variant o = Quiet(u"ASC(\"A\")");
  EXPECT_EQ(o.kind(), K::Int16);
  EXPECT_EQ(o.asWhole(), 65);
  EXPECT_EQ(Quiet(u"ASC(65)").asWhole(), 54);
  EXPECT_EQ(Quiet(u"ASC(\"\")").asText(), u"");  // fails: the argument stays
  Variant v(std::u16string(u"\u00E9t\u00E9"));
  EXPECT_EQ(Asc(v), Step::Ok);
  EXPECT_EQ(v.asWhole(), 0xE9);
  v = Variant(std::u16string(u"\u20AC"));  // beyond Latin-1: "?" as a single-byte conversion writes
  Asc(v);
  EXPECT_EQ(v.asWhole(), 63);
}

TEST(StringFunctions, SpaceAndStringBuildTextsOfACount) {
  EXPECT_EQ(Text(u"SPACE(3)"), u"   ");
  EXPECT_EQ(Text(u"SPACE(2.5)"), u"  ");
  EXPECT_EQ(Quiet(u"SPACE(-1)").asWhole(), -1);
  EXPECT_EQ(Quiet(u"SPACE(2000000000)").asWhole(), 2000000000);  // above the cap
  EXPECT_EQ(Text(u"STRING(3, 65)"), u"AAA");
  EXPECT_EQ(Text(u"STRING(3, 321)"), u"AAA");
  EXPECT_EQ(Text(u"STRING(2, \"xyz\")"), u"xx");
  EXPECT_EQ(Text(u"STRING(0, \"xyz\")"), u"");
  EXPECT_EQ(Text(u"STRING(2, \"\")"), u"");      // fails: the empty character argument stays
  EXPECT_EQ(Quiet(u"STRING(-2, 65)").asWhole(), 65);
  EXPECT_EQ(Quiet(u"STRING(2, -1)").asWhole(), -1);
}

TEST(StringFunctions, LeftRightAndMidCutWithinTheText) {
  EXPECT_EQ(Text(u"LEFT(\"abcdef\", 2)"), u"ab");
  EXPECT_EQ(Text(u"RIGHT(\"abcdef\", 2)"), u"ef");
  EXPECT_EQ(Text(u"LEFT(\"abcdef\", 10)"), u"abcdef");
  EXPECT_EQ(Text(u"RIGHT(\"abcdef\", 10)"), u"abcdef");
  EXPECT_EQ(Text(u"LEFT(\"abcdef\", 0)"), u"");
  EXPECT_EQ(Text(u"RIGHT(\"abcdef\", 0)"), u"");
  EXPECT_EQ(Quiet(u"LEFT(\"abc\", -1)").asWhole(), -1);
  EXPECT_EQ(Text(u"LEFT(12345, 2)"), u"12");
  EXPECT_EQ(Text(u"MID(\"abcdef\", 2, 3)"), u"bcd");
  EXPECT_EQ(Text(u"MID(\"abcdef\", 5, 30)"), u"ef");
  EXPECT_EQ(Text(u"MID(\"abcdef\", 7, 1)"), u"");
  EXPECT_EQ(Quiet(u"MID(\"abcdef\", 0, 3)").asWhole(), 3);
  EXPECT_EQ(Quiet(u"MID(\"abcdef\", 2, -1)").asWhole(), -1);
  EXPECT_EQ(Quiet(u"LEFT(\"123abc\", 3) + 1").asDouble(), 124);
}

TEST(StringFunctions, InstrSearchesWithoutRegardToCase) {
  Variant o = Quiet(u"INSTR(1, \"Hello\", \"L\")");
  EXPECT_EQ(o.kind(), K::Int32);
  EXPECT_EQ(o.asWhole(), 3);
  EXPECT_EQ(Quiet(u"INSTR(4, \"Hello\", \"l\")").asWhole(), 4);
  EXPECT_EQ(Quiet(u"INSTR(5, \"Hello\", \"H\")").asWhole(), 0);
  EXPECT_EQ(Quiet(u"INSTR(2, \"Hello\", \"\")").asWhole(), 2);
  EXPECT_EQ(Quiet(u"INSTR(9, \"Hello\", \"\")").asWhole(), 0);
  EXPECT_EQ(Quiet(u"INSTR(1, 31415, 41)").asWhole(), 3);
  // partial matches that overlap the real one
  EXPECT_EQ(Quiet(u"INSTR(1, \"aaab\", \"AAB\")").asWhole(), 2);
  EXPECT_EQ(Quiet(u"INSTR(2, \"ababab\", \"abab\")").asWhole(), 3);
  EXPECT_EQ(Quiet(u"INSTR(1, \"abacabab\", \"abab\")").asWhole(), 5);
  EXPECT_EQ(Quiet(u"INSTR(1, \"abc\", \"abcd\")").asWhole(), 0);
  EXPECT_EQ(Quiet(u"INSTR(0, \"Hello\", \"H\")").asText(), u"H");
}

TEST(StringFunctions, StackArgumentsOutsideTheStackFailTheFunction) {
  Variant acc(int32_t(2));
  EXPECT_EQ(LeftRight(false, nullptr, acc), Step::Failed);
  EXPECT_EQ(Mid(nullptr, nullptr, acc), Step::Failed);
  EXPECT_EQ(Instr(nullptr, nullptr, acc), Step::Failed);
  EXPECT_EQ(StringOf(nullptr, acc), Step::Failed);
  EXPECT_EQ(acc.asWhole(), 2);
}
