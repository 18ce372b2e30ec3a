// User-defined functions: definitions, reserved names, failures, calls and resets.
#include <gtest/gtest.h>

#include <string>

#include "engine/qvExpression.h"

namespace {
void Define(qvExpression& e, std::u16string text) { e.UserFunc(text); }

Variant Eval(qvExpression& e, std::u16string text) {
  int16_t index = 0;
  e.Compile(text, index);
  int32_t at = index;
  return e.Value(at);
}
}  // namespace

TEST(UserFunctions, DefineCallAndReadBack) {
  qvExpression e;
  Define(e, u"Area(W, H) = W * H");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.ErrorSource(), -1);  // the slot being defined, also on success
  EXPECT_EQ(e.NumUserFuncs(), 1);
  EXPECT_EQ(e.UserFuncText(Variant(int32_t(1))), u"Area(W, H) = W * H");
  EXPECT_EQ(e.UserFuncText(Variant(int32_t(2))), u"");
  EXPECT_EQ(e.OpcodeName(56), u"Area");
  EXPECT_EQ(e.OpcodeArgs(56), 2);
  EXPECT_EQ(Eval(e, u"Area(3, 4)").asDouble(), 12);
  EXPECT_EQ(Eval(e, u"1 + AREA(2, 2 + 1) * 2").asDouble(), 13);  // arguments by position
}

TEST(UserFunctions, CommentsAreCutFromTheCallersTextToo) {
  qvExpression e;
  std::u16string text = u"Half(X) = X / 2 ' halves";
  e.UserFunc(text);
  EXPECT_EQ(text, u"Half(X) = X / 2");
  EXPECT_EQ(e.UserFuncText(Variant(int32_t(1))), u"Half(X) = X / 2");
  std::u16string onlyComment = u"' nothing here";
  e.UserFunc(onlyComment);
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.NumUserFuncs(), 1);
}

TEST(UserFunctions, ReservedNamesAreRefusedWithTheirMessages) {
  qvExpression e;
  Define(e, u"Area(W, H) = W * H");
  Define(e, u"area(X) = X");
  EXPECT_EQ(e.ErrorCode(), 10);
  EXPECT_EQ(e.ErrorDescription(),
            u"(User-defined Functions)  area(...) has already been reserved as a User Function.");
  EXPECT_EQ(e.NumUserFuncs(), 1);
  Define(e, u"Sin(X) = X");
  EXPECT_EQ(e.ErrorDescription(), u"(User-defined Functions)  Sin(...) is a Reserved Name.");
  Define(e, u"F(X, PI) = X");
  EXPECT_EQ(e.ErrorDescription(), u"(User-defined Functions)  PI(...) is a Reserved Name.");
  Define(e, u"Not(X) = X");
  EXPECT_EQ(e.ErrorCode(), 10);
  EXPECT_EQ(e.NumUserFuncs(), 1);
  // operator words are not reserved
  e.ClearError();
  Define(e, u"Mod(X) = X");
  EXPECT_EQ(e.ErrorCode(), 0);
}

TEST(UserFunctions, MalformedDefinitionsAreRefused) {
  struct Case { const char16_t* text; const char16_t* description; };
  const Case cases[] = {
      {u" F(X) = X", u"Invalid User Function Definition: "},
      {u"F(X)", u"Invalid User Function Definition: F"},
      {u"F X = 1", u"Invalid User Function Definition: F"},
      {u"F(X Y) = 1", u"Invalid User Function Definition: F"},
      {u"G(A,B,C,D,E,F,G1,H,I,J,K,L,M,N,O,P,Q,R,S,T,U) = 1", u"Invalid User Function Definition: G"},
  };
  for (const Case& c : cases) {
    qvExpression e;
    Define(e, c.text);
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str());
    EXPECT_EQ(e.ErrorCode(), 9);
    EXPECT_EQ(e.ErrorDescription(), c.description);
    EXPECT_EQ(e.NumUserFuncs(), 0);
  }
}

TEST(UserFunctions, TwentyParametersAreTheMost) {
  qvExpression e;
  Define(e, u"G(A,B,C,D,E,F,G1,H,I,J,K,L,M,N,O,P,Q,R,S,T) = A + T");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.OpcodeArgs(56), 20);
  EXPECT_EQ(Eval(e, u"G(1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,20)").asDouble(), 21);
}

TEST(UserFunctions, TheTwentyFirstDefinitionIsRefused) {
  qvExpression e;
  for (int k = 1; k <= 20; ++k) {
    std::string def = "F" + std::to_string(k) + "(X) = X + " + std::to_string(k);
    Define(e, std::u16string(def.begin(), def.end()));
    ASSERT_EQ(e.ErrorCode(), 0) << k;
  }
  EXPECT_EQ(e.OpcodeName(75), u"F20");
  Define(e, u"F21(X) = X");
  EXPECT_EQ(e.ErrorCode(), 8);
  EXPECT_EQ(e.ErrorDescription(), u"Too Many User Functions");
  EXPECT_EQ(e.ErrorSource(), -21);
  EXPECT_EQ(e.NumUserFuncs(), 20);
  EXPECT_EQ(Eval(e, u"F20(1) + F1(1)").asDouble(), 23);
}

TEST(UserFunctions, ABodyThatFailsIsNamedAndStaysDefined) {
  qvExpression e;
  Define(e, u"F(X) = FOO(X)");
  EXPECT_EQ(e.ErrorCode(), 2);
  EXPECT_EQ(e.ErrorDescription(), u"Unknown function: FOO in User Function 'F'");
  EXPECT_EQ(e.ErrorPos(), 1);
  EXPECT_EQ(e.ErrorSource(), -1);
  EXPECT_EQ(e.NumUserFuncs(), 1);
  e.ClearError();
  // a call yields the refused (empty) value, counted as 0, and records nothing here
  Variant v = Eval(e, u"F(2) + 5");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(v.asDouble(), 5);
}

TEST(UserFunctions, NamesInTheBodyThatAreNoParametersReadZero) {
  qvExpression e;
  Define(e, u"F(X) = X + K");
  EXPECT_EQ(e.ErrorCode(), 0);
  double k = 100;
  e.Variable(Variant(u"K"), k);  // the engine's K is not the function's K
  EXPECT_EQ(Eval(e, u"F(1)").asDouble(), 1);
}

TEST(UserFunctions, ABodyFailingAtRunTimeFailsThatCallOnly) {
  qvExpression e;
  Define(e, u"L(X) = LN(X)");
  EXPECT_NEAR(Eval(e, u"L(1)").asDouble(), 0, 1e-15);
  // the failing call itself returns what its accumulator held (the argument)
  EXPECT_EQ(Eval(e, u"L(-1) + 1").asDouble(), 0);
  EXPECT_EQ(e.ErrorCode(), 0);  // the failure stays in the function's own engine
  EXPECT_EQ(Eval(e, u"L(EXP(2)) + 1").asDouble(), 3);
}

TEST(UserFunctions, DuplicateAndNumericParametersNeverWriteOutsideTheStore) {
  qvExpression e;
  Define(e, u"D(X, X) = X");
  Define(e, u"N(1, Y) = Y");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.OpcodeArgs(56), 2);
  // only one parameter variable exists in each; the second argument finds no place
  EXPECT_EQ(Eval(e, u"D(3, 4)").asDouble(), 3);
  EXPECT_EQ(Eval(e, u"N(3, 4)").asDouble(), 3);
}

TEST(UserFunctions, ResetFreesTheNamesAndReusesTheSlots) {
  qvExpression e;
  Define(e, u"Area(W, H) = W * H");
  e.ResetUserFuncs();
  EXPECT_EQ(e.NumUserFuncs(), 0);
  EXPECT_EQ(e.UserFuncText(Variant(int32_t(1))), u"");
  EXPECT_EQ(e.OpcodeName(56), u"USER1");
  Define(e, u"Area(S) = S * S");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(Eval(e, u"Area(5)").asDouble(), 25);
}

TEST(UserFunctions, DefinitionsEndingEarlyNeverReadPastTheText) {
  for (const char16_t* text : {u"F", u"F(", u"F(X", u"F(X,", u"F(X)=", u"F(X) =   ", u"("}) {
    qvExpression e;
    Define(e, text);
    SCOPED_TRACE(std::string(text, text + std::char_traits<char16_t>::length(text)).c_str());
    EXPECT_NE(e.ErrorCode(), 0);
  }
}

// A body runs on an engine of its own, which takes the engine's settings whenever they change,
// whether it was defined before or after: the trap and the tier cap as they are, and variable
// creation by the profile (a compatible body creates the names it reads, whatever the host's
// switch; a strict one refuses them).
TEST(UserFunctions, BodiesFollowTheSettingsMadeBeforeOrAfterTheirDefinition) {
  struct Case {
    bool strict, create, trap;
    int32_t unknownNameCode;  // defining G(X) = X * V
    bool failureRecorded;     // calling L(-1)
  };
  const Case cases[] = {{false, true, true, 0, false},
                        {false, false, false, 0, true},
                        {true, false, false, 3, true},
                        {true, true, true, 3, false}};
  for (const Case& c : cases)
    for (bool definedFirst : {false, true})
      for (qvTier tier : {qvTier::General, qvTier::Native}) {
        SCOPED_TRACE(testing::Message() << c.strict << c.create << c.trap << definedFirst << int(tier));
        qvExpression e;
        if (definedFirst) Define(e, u"L(X) = LN(X) + 1");
        e.SetStrict(c.strict);
        e.SetCreateVariables(c.create);
        e.SetEvaluationTrap(c.trap);
        e.SetHighestTier(tier);
        e.SetNativeAfter(0);
        if (!definedFirst) Define(e, u"L(X) = LN(X) + 1");
        ASSERT_EQ(e.ErrorCode(), 0);
        Define(e, u"G(X) = X * V");
        EXPECT_EQ(e.ErrorCode(), c.unknownNameCode);
        e.ClearError();
        EXPECT_EQ(Eval(e, u"L(1) * 2").asDouble(), 2);
        Eval(e, u"L(-1)");
        EXPECT_EQ(e.ErrorCode() != 0, c.failureRecorded) << e.ErrorCode();
        if (c.failureRecorded) {
          EXPECT_TRUE(e.ErrorDescription().ends_with(u" in User Function 'L'"));
        }
      }
}
