// Copies, moves and assignments of values: numbers are plain bytes, texts share one counted
// block. Under the sanitizer build a wrong count shows as a leak, a double release or a read of
// freed text.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "engine/Variant.h"

using K = Variant::Kind;

TEST(VariantCopies, TextsAreSharedAndReleasedOnce) {
  Variant a(u"shared text that does not fit a short buffer");
  Variant b = a;
  Variant c;
  c = b;
  EXPECT_EQ(&a.asText(), &c.asText());  // one block for all three
  a = Variant(2.5);                     // a number over a text releases one reference
  EXPECT_EQ(a.kind(), K::Double);
  b = Variant(int16_t(7));
  EXPECT_EQ(c.asText(), u"shared text that does not fit a short buffer");
  c = a;  // the last reference goes: the block is freed here
  EXPECT_EQ(c.asDouble(), 2.5);
}

TEST(VariantCopies, AssigningAValueToItselfKeepsIt) {
  Variant t(u"only reference to this text");
  Variant& same = t;
  t = same;
  EXPECT_EQ(t.asText(), u"only reference to this text");
  t = std::move(same);
  EXPECT_EQ(t.asText(), u"only reference to this text");
  Variant n(int32_t(70000));
  n = static_cast<const Variant&>(n);
  EXPECT_EQ(n.asWhole(), 70000);
}

TEST(VariantCopies, MovesEmptyTheSourceAndNumbersReadInline) {
  Variant t(u"moved text");
  Variant u = std::move(t);
  EXPECT_TRUE(t.isEmpty());
  Variant w;
  w = std::move(u);
  EXPECT_TRUE(u.isEmpty());
  EXPECT_EQ(w.asText(), u"moved text");
  double x = 0;
  EXPECT_TRUE(Variant(-0.5).toNumber(x));
  EXPECT_EQ(x, -0.5);
  EXPECT_TRUE(Variant(int16_t(-3)).toNumber(x));
  EXPECT_EQ(x, -3);
  EXPECT_TRUE(Variant().toNumber(x));
  EXPECT_EQ(x, 0);
  EXPECT_TRUE(Variant(u" 12.5 ").toNumber(x));
  EXPECT_EQ(x, 12.5);
  EXPECT_FALSE(Variant(u"x").toNumber(x));
}

// A number assigned directly takes the kind its type gives, as the constructors do, and releases
// a text it replaces.
TEST(VariantCopies, NumbersAssignedDirectlyKeepTheirTypesKind) {
  Variant v(u"a text to be replaced by a number");
  v = 2.5;
  EXPECT_EQ(v.kind(), K::Double);
  EXPECT_EQ(v.asDouble(), 2.5);
  v = 5;
  EXPECT_EQ(v.kind(), K::Int32);
  EXPECT_EQ(v.asWhole(), 5);
  v = int16_t(-7);
  EXPECT_EQ(v.kind(), K::Int16);
  EXPECT_EQ(v.asWhole(), -7);
  v = u'A';  // a character is promoted to int, as Variant(u'A') would be
  EXPECT_EQ(v.kind(), K::Int32);
  v = Variant(u"text again");
  v = 1.0f;
  EXPECT_EQ(v.kind(), K::Double);
}
