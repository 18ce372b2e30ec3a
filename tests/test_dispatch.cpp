// Dispatch by identifier: the member table, look-up by name and the late-bound Invoke with its
// conversions, write-back of by-reference arguments and its failures.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "control/Dispatch.h"

namespace {

int32_t FailureOf(qvCalc& control, int32_t id, InvokeKind kind, std::vector<Variant> args) {
  try {
    Invoke(control, id, kind, args);
  } catch (const qvRuntimeError& failure) {
    return failure.Number;
  }
  return 0;
}

TEST(DispatchTable, IdentifiersAndLookUpByName) {
  EXPECT_EQ(DispatchIdOfName(u"All_Math_Functions"), 0x60030001);
  EXPECT_EQ(DispatchIdOfName(u"definEuserfunc"), 0x60030006);
  EXPECT_EQ(DispatchIdOfName(u"VALUE"), 0x6003000A);
  EXPECT_EQ(DispatchIdOfName(u"variable"), 0x68030000);
  EXPECT_EQ(DispatchIdOfName(u"ClearError"), 0x60030018);
  EXPECT_EQ(DispatchIdOfName(u"ErrorMsg"), 0);  // the event is no member
  EXPECT_EQ(DispatchIdOfName(u"Nothing"), 0);
  EXPECT_EQ(DispatchIdOfName(u""), 0);

  // Every row is found by its own identifier and kind; only Variable shares an identifier.
  std::set<int32_t> ids;
  for (const MemberInfo& member : DispatchMembers()) {
    EXPECT_EQ(FindMember(member.DispId, member.Kind), &member) << qv::ToNarrow(member.Name);
    EXPECT_EQ(DispatchIdOfName(member.Name), member.DispId);
    ids.insert(member.DispId);
  }
  EXPECT_EQ(DispatchMembers().size(), 18u);
  EXPECT_EQ(ids.size(), 17u);
  EXPECT_NE(FindMember(kDispIdVariable, InvokeKind::PropertyGet),
            FindMember(kDispIdVariable, InvokeKind::PropertyPut));
}

TEST(DispatchInvoke, CompileAndValueWithByReferenceArguments) {
  qvCalc control;
  const int32_t compile = DispatchIdOfName(u"Compile"), value = DispatchIdOfName(u"Value");
  std::vector<Variant> text{Variant(u"6 * 7 ' answer")};
  EXPECT_TRUE(Invoke(control, compile, InvokeKind::Method, text).isEmpty());
  EXPECT_EQ(text[0].asText(), u"6 * 7");  // the comment removal came back

  std::vector<Variant> none;
  Variant result = Invoke(control, value, InvokeKind::Method, none);
  EXPECT_EQ(result.kind(), Variant::Kind::Double);
  EXPECT_EQ(result.asDouble(), 42);

  std::vector<Variant> index{Variant(int32_t(-1))};
  EXPECT_EQ(Invoke(control, value, InvokeKind::Method, index).asDouble(), 42);
  EXPECT_EQ(index[0].kind(), Variant::Kind::Int32);
  EXPECT_EQ(index[0].asWhole(), 1);  // a negative index is overwritten

  std::vector<Variant> textIndex{Variant(u"1")};  // converted like a late-bound host would
  EXPECT_EQ(Invoke(control, value, InvokeKind::PropertyGet, textIndex).asDouble(), 42);
}

TEST(DispatchInvoke, VariableGetAndPutShareOneIdentifier) {
  qvCalc control;
  std::vector<Variant> put{Variant(u"Rate"), Variant(u"0.25")};
  Invoke(control, kDispIdVariable, InvokeKind::PropertyPut, put);
  EXPECT_EQ(put[1].kind(), Variant::Kind::Double);
  std::vector<Variant> get{Variant(u"RATE")};
  EXPECT_EQ(Invoke(control, kDispIdVariable, InvokeKind::PropertyGet, get).asDouble(), 0.25);

  std::vector<Variant> numeric{Variant(u"7"), Variant(3.0)};
  Invoke(control, kDispIdVariable, InvokeKind::PropertyPut, numeric);
  EXPECT_EQ(numeric[1].asDouble(), 7);  // a numeric name writes its number back
}

TEST(DispatchInvoke, ResultKindsFollowTheTable) {
  qvCalc control;
  std::vector<Variant> def{Variant(u"F(X) = X + 1")};
  Invoke(control, DispatchIdOfName(u"DefineUserFunc"), InvokeKind::Method, def);
  std::vector<Variant> none;
  EXPECT_EQ(Invoke(control, DispatchIdOfName(u"NumUserFuncs"), InvokeKind::Method, none).kind(),
            Variant::Kind::Int16);
  std::vector<Variant> one{Variant(int32_t(1))};
  EXPECT_EQ(Invoke(control, DispatchIdOfName(u"UserFunc"), InvokeKind::Method, one).asText(),
            u"F(X) = X + 1");
  EXPECT_EQ(Invoke(control, DispatchIdOfName(u"ErrorCode"), InvokeKind::Method, none).kind(),
            Variant::Kind::Int16);
  EXPECT_EQ(Invoke(control, DispatchIdOfName(u"ErrorDescription"), InvokeKind::Method, none).kind(),
            Variant::Kind::Text);
  EXPECT_EQ(Invoke(control, DispatchIdOfName(u"NumVariables"), InvokeKind::Method, none).kind(),
            Variant::Kind::Int32);
  EXPECT_TRUE(Invoke(control, DispatchIdOfName(u"All_Math_Functions"), InvokeKind::Method, none)
                  .isEmpty());
}

TEST(DispatchInvoke, ClearFailuresInsteadOfCrashes) {
  qvCalc control;
  const int32_t compile = DispatchIdOfName(u"Compile"), value = DispatchIdOfName(u"Value");
  EXPECT_EQ(FailureOf(control, 0x12345678, InvokeKind::Method, {}), kErrUnknownMember);
  EXPECT_EQ(FailureOf(control, 0, InvokeKind::Method, {}), kErrUnknownMember);
  EXPECT_EQ(FailureOf(control, compile, InvokeKind::PropertyPut, {Variant(u"1")}), kErrUnknownMember);
  EXPECT_EQ(FailureOf(control, kDispIdVariable, InvokeKind::Method, {Variant(u"X")}), kErrUnknownMember);

  EXPECT_EQ(FailureOf(control, compile, InvokeKind::Method, {}), kErrWrongArguments);
  EXPECT_EQ(FailureOf(control, value, InvokeKind::Method, {Variant(int32_t(1)), Variant(int32_t(2))}),
            kErrWrongArguments);
  EXPECT_EQ(FailureOf(control, DispatchIdOfName(u"Reset"), InvokeKind::Method, {Variant(1.0)}),
            kErrWrongArguments);
  EXPECT_EQ(FailureOf(control, kDispIdVariable, InvokeKind::PropertyPut, {Variant(u"X")}),
            kErrWrongArguments);

  EXPECT_EQ(FailureOf(control, value, InvokeKind::Method, {Variant(u"abc")}), kErrTypeMismatch);
  EXPECT_EQ(FailureOf(control, value, InvokeKind::Method, {Variant(1e10)}), kErrOverflow);
  EXPECT_EQ(FailureOf(control, kDispIdVariable, InvokeKind::PropertyPut, {Variant(u"X"), Variant(u"x")}),
            kErrTypeMismatch);
  // A number where text is expected converts to its text form.
  EXPECT_EQ(FailureOf(control, compile, InvokeKind::Method, {Variant(2.5)}), 0);
}

}  // namespace
