// The array store: definitions from text and from host blocks, element access, failures.
#include <gtest/gtest.h>

#include "engine/qvExpression.h"
#include "tests/TestAccess.h"

struct A {
  static int16_t Find(qvExpression& e, std::u16string_view name) { return qvExpressionTestAccess::Inside(e).Arrays().FindArray(name); }
  static std::u16string WithDims(qvExpression& e, int32_t slot) {
    return qvExpressionTestAccess::Inside(e).Arrays().ArrayNameWithDims(Variant(slot));
  }
  static size_t Storage(qvExpression& e, int16_t slot) { return qvExpressionTestAccess::Arrays(e)[size_t(slot)].Values.size(); }
  static void FillSlots(qvExpression& e, int16_t count) {
    qvExpressionTestAccess::Arrays(e).resize(size_t(count) + 1);
    qvExpressionTestAccess::SetArraysCount(e, count);
  }
};

namespace {

void Define(qvExpression& e, std::u16string text) { e.DefineArray(text); }

struct Details {
  int16_t slot = -1, numDims = -1;
  std::vector<int16_t> bounds{-1};
};
Details DetailsOf(qvExpression& e, const std::u16string& name) {
  Details d;
  e.GetArrayDetails(name, d.slot, d.numDims, d.bounds);
  return d;
}

std::u16string Failure(const char16_t* procedure, const char16_t* text, int number) {
  return u"Error " + qv::WholeToText(number) + u" has occured in qvCalcE, " + procedure + u"\r\n" + text;
}

}  // namespace

TEST(ArrayDefinition, DefinesAndRedefinesInTheSameSlot) {
  qvExpression e;
  Define(e, u"M(2, 3)");
  Details d = DetailsOf(e, u"m");
  EXPECT_EQ(d.slot, 1);
  EXPECT_EQ(d.numDims, 2);
  EXPECT_EQ(d.bounds, (std::vector<int16_t>{0, 2, 3, 0, 0}));
  EXPECT_EQ(A::Storage(e, 1), 12u);
  EXPECT_EQ(A::WithDims(e, 1), u"M(2, 3)");
  e.ArrayValue(1, Variant(4.5), 2, 3);
  EXPECT_EQ(e.GetArrayValue(1, 2, 3).asDouble(), 4.5);
  Define(e, u"Grid(3,4)");
  EXPECT_EQ(A::WithDims(e, 2), u"Grid(3, 4)");
  EXPECT_EQ(A::Find(e, u"GRID"), 2);
  Define(e, u"m(5)");
  d = DetailsOf(e, u"M");
  EXPECT_EQ(d.slot, 1);
  EXPECT_EQ(d.numDims, 1);
  EXPECT_EQ(d.bounds, (std::vector<int16_t>{0, 5, 0, 0, 0}));
  EXPECT_EQ(e.ArrayName(Variant(int32_t(1))), u"m");
  EXPECT_EQ(e.ArraysCount(), 2);
  EXPECT_EQ(e.GetArrayValue(1, 2).asDouble(), 0);  // earlier values are lost
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ArrayDefinition, ReadsBoundsTheWayValDoes) {
  qvExpression e;
  const std::pair<const char16_t*, std::vector<int16_t>> cases[] = {
      {u"A(3", {0, 3, 0, 0, 0}},        {u"A(3)xyz", {0, 3, 0, 0, 0}},
      {u"A(,5)", {0, 0, 5, 0, 0}},      {u"A()", {0, 0, 0, 0, 0}},
      {u"A(2.5, 3.5)", {0, 2, 4, 0, 0}}, {u"A(40000, -0.5)", {0, 0, 0, 0, 0}},
      {u"A( 1 2 , 1e1)", {0, 12, 10, 0, 0}}, {u"A(x, 1E, 1D1)", {0, 0, 1, 10, 0}},
      {u"A(1,2,3,4)", {0, 1, 2, 3, 4}},
  };
  for (const auto& [text, bounds] : cases) {
    Define(e, text);
    EXPECT_EQ(DetailsOf(e, u"A").bounds, bounds) << std::string(text, text + 6);
  }
  std::u16string commented = u"  Name (2) ' note";
  e.DefineArray(commented);
  EXPECT_EQ(commented, u"Name (2)");  // the comment is cut off in the caller's text
  EXPECT_EQ(DetailsOf(e, u"Name").slot, 2);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ArrayDefinition, MalformedDefinitionsSetCode12AndDefineNothing) {
  qvExpression e;
  Define(e, u"V 3");
  EXPECT_EQ(e.ErrorCode(), 12);
  EXPECT_EQ(e.ErrorDescription(), u"V 3: '(' expected for array definition.");
  Define(e, u" B (1,2,3,4,5)");
  EXPECT_EQ(e.ErrorDescription(), u"B: Too many dimensions for array ");
  Define(e, u"B(1,2,3,4,)");
  EXPECT_EQ(e.ErrorCode(), 12);
  EXPECT_EQ(e.ArraysCount(), 0);
  qvArrayValues block;
  e.SetArrayValues(Variant(u"S"), 5, block);
  EXPECT_EQ(e.ErrorCode(), 10);
  EXPECT_EQ(e.ErrorDescription(), u"S: Too many dimensions for array ");
  EXPECT_EQ(e.ArraysCount(), 0);
}

TEST(ArrayDefinition, ArrayTooLargeToStoreIsRefusedAndStoreUnchanged) {
  qvExpression e;
  Define(e, u"H(2)");
  e.ArrayValue(1, Variant(1.5), 2);
  for (const char16_t* text : {u"H(32767,32767,32767,32767)", u"H(32767, 4096)", u"Other(32767,32767)"}) {
    e.ClearError();
    Define(e, text);
    EXPECT_EQ(e.ErrorCode(), 11);
    EXPECT_EQ(e.ErrorDescription(), Failure(u"DefineArray", u"Out of memory", 7));
  }
  EXPECT_EQ(e.ArraysCount(), 1);
  EXPECT_EQ(A::WithDims(e, 1), u"H(2)");
  EXPECT_EQ(e.GetArrayValue(1, 2).asDouble(), 1.5);
}

TEST(ArrayDefinition, The32768thArrayOverflowsInsteadOfOverwritingTheLast) {
  qvExpression e;
  A::FillSlots(e, 32766);
  Define(e, u"Last(1)");
  EXPECT_EQ(e.ArraysCount(), 32767);
  Define(e, u"More(1)");
  EXPECT_EQ(e.ErrorDescription(), Failure(u"DefineArray", u"Overflow", 6));
  EXPECT_EQ(e.ArraysCount(), 32767);
  EXPECT_EQ(e.ArrayName(Variant(int32_t(32767))), u"Last");
}

TEST(ArrayElements, ReadsAndWritesInsideTheBoundsOnly) {
  qvExpression e;
  Define(e, u"G(1, 2)");
  e.ArrayValue(1, Variant(u"2.5"), 1, 2);
  e.ArrayValue(1, Variant(int32_t(3)), 0, 1);
  e.ArrayValue(1, Variant(9.0), 2, 0);  // above a bound: nothing
  e.ArrayValue(2, Variant(9.0), 0, 0);  // no such slot: nothing
  e.ArrayValue(0, Variant(9.0), 0, 0);
  Variant element = e.GetArrayValue(1, 1, 2);
  EXPECT_EQ(element.kind(), Variant::Kind::Double);
  EXPECT_EQ(element.asDouble(), 2.5);
  EXPECT_EQ(e.GetArrayValue(1, 0, 1).asDouble(), 3);
  Variant above = e.GetArrayValue(1, 2, 0);
  EXPECT_EQ(above.kind(), Variant::Kind::Int16);
  EXPECT_EQ(above.asWhole(), 0);
  EXPECT_EQ(e.GetArrayValue(-1, 0).kind(), Variant::Kind::Int16);
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ArrayName(Variant(int32_t(0))), u"");
  EXPECT_EQ(e.ArrayName(Variant(int32_t(2))), u"");
  EXPECT_EQ(A::WithDims(e, 2), u"");
}

TEST(ArrayElements, NegativeSubscriptsAndNonNumbersAreReported) {
  qvExpression e;
  Define(e, u"G(3)");
  Variant read = e.GetArrayValue(1, -1);
  EXPECT_EQ(read.kind(), Variant::Kind::Int16);
  EXPECT_EQ(e.ErrorDescription(), Failure(u"GetArrayValue", u"Subscript out of range", 9));
  e.ClearError();
  e.ArrayValue(1, Variant(5.0), -1);
  EXPECT_EQ(e.ErrorDescription(), Failure(u"ArrayValue", u"Subscript out of range", 9));
  e.ClearError();
  e.ArrayValue(1, Variant(u"abc"), 0);
  EXPECT_EQ(e.ErrorDescription(), Failure(u"ArrayValue", u"Type mismatch", 13));
  for (int16_t s = 0; s <= 3; ++s) EXPECT_EQ(e.GetArrayValue(1, s).asDouble(), 0);
}

TEST(ArrayElements, NegativeBoundsNeverReachOutsideTheStorage) {
  qvExpression e;
  Define(e, u"N(-5)");
  Define(e, u"P(3, -1)");
  EXPECT_EQ(A::WithDims(e, 1), u"N(-5)");
  EXPECT_EQ(A::Storage(e, 1), 0u);
  EXPECT_EQ(e.GetArrayValue(1, 0).asWhole(), 0);  // above the bound: no error
  EXPECT_EQ(e.ErrorCode(), 0);
  e.ArrayValue(1, Variant(1.0), -6);
  EXPECT_EQ(e.ErrorCode(), 11);
  e.ClearError();
  e.ArrayValue(2, Variant(1.0), 3, -1);
  EXPECT_EQ(e.GetArrayValue(2, 3, -1).asWhole(), 0);
  EXPECT_EQ(e.ErrorDescription(), Failure(u"GetArrayValue", u"Subscript out of range", 9));
}

TEST(ArrayHostBlocks, CopiesBlockWithFirstSubscriptFastest) {
  qvExpression e;
  qvArrayValues block{{0, 0}, {1, 2}, {0, 1, 2, 3, 4, 5}};
  e.SetArrayValues(Variant(u" S "), 2, block);
  EXPECT_EQ(e.ArrayName(Variant(int32_t(1))), u" S ");  // exactly as passed
  EXPECT_EQ(e.GetArrayValue(1, 1, 2).asDouble(), 5);
  EXPECT_EQ(e.GetArrayValue(1, 0, 1).asDouble(), 2);
  Details d = DetailsOf(e, u" s ");
  EXPECT_EQ(d.bounds, (std::vector<int16_t>{0, 1, 2, 0, 0}));
  // A block with fewer bounds than dimensions keeps the old ones; one beyond 16 bits gives 0.
  qvArrayValues odd{{0}, {40000}, {7, 8}};
  e.SetArrayValues(Variant(u" s "), 2, odd);
  EXPECT_EQ(DetailsOf(e, u" S ").bounds, (std::vector<int16_t>{0, 0, 2, 0, 0}));
  EXPECT_EQ(e.GetArrayValue(1, 0, 0).asDouble(), 7);
  EXPECT_EQ(e.GetArrayValue(1, 0, 2).asWhole(), 0);  // beyond the two stored elements
  EXPECT_EQ(e.ErrorDescription(), Failure(u"GetArrayValue", u"Subscript out of range", 9));
  // No dimension: the elements stay, but none can be addressed.
  e.ClearError();
  e.SetArrayValues(Variant(u" S "), 0, block);
  EXPECT_EQ(A::Storage(e, 1), 2u);
  EXPECT_EQ(A::WithDims(e, 1), u" S ()");
  EXPECT_EQ(e.GetArrayValue(1, 0).kind(), Variant::Kind::Int16);
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(ArrayHostBlocks, DetailsOfUnknownNameLeaveArgumentsUntouched) {
  qvExpression e;
  Details d = DetailsOf(e, u"None");
  EXPECT_EQ(d.slot, 0);
  EXPECT_EQ(d.numDims, -1);
  EXPECT_EQ(d.bounds, std::vector<int16_t>{-1});
}
