// The control qvCalc: result kinds, conversions, ErrorTrap and its event, the container
// notifications and the edge cases of its interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/qvCalc.h"

namespace {

struct Event {
  std::u16string Source;
  std::u16string Description;
};

// A control with one sink that records every ErrorMsg.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control.Advise([this](std::u16string& source, std::u16string& description) {
      events.push_back({source, description});
    });
  }
  double Evaluate(std::u16string text) {
    control.Compile(text);
    return control.Value();
  }

  qvCalc control;
  std::vector<Event> events;
};

TEST_F(ControlTest, ValueBeforeAnyCompileIsZeroWithoutEventOrError) {
  EXPECT_EQ(control.Value(), 0);
  int32_t index = 3;
  EXPECT_EQ(control.Value(index), 0);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(control.ErrorCode(), 0);
}

TEST_F(ControlTest, CompileStoresEachTextUnderANewNumber) {
  std::u16string a = u"1 + 1", b = u"2 * 3 ' six", c = u"10 - 3";
  control.Compile(a);
  control.Compile(b);
  control.Compile(c);
  EXPECT_EQ(b, u"2 * 3");  // the caller's text loses its comment
  EXPECT_EQ(control.Value(), 7);  // the third
  Variant one(int32_t(1)), two(int32_t(2)), four(int32_t(4));
  EXPECT_EQ(control.Expression(one).asText(), u"1 + 1");
  EXPECT_EQ(control.Expression(two).asText(), u"2 * 3");
  EXPECT_EQ(control.Expression(four).asText(), u"");
  EXPECT_EQ(control.NumExpressions().asWhole(), 4);  // slots 0 to 3

  int32_t index = 2;
  EXPECT_EQ(control.Value(index), 6);
  index = 99;  // out of range: the last expression
  EXPECT_EQ(control.Value(index), 7);
  index = -4;  // negative: overwritten with the last expression's number
  EXPECT_EQ(control.Value(index), 7);
  EXPECT_EQ(index, 3);
}

TEST_F(ControlTest, ValueConvertsTheEngineResult) {
  EXPECT_EQ(Evaluate(u"\"12.5\""), 12.5);           // text that reads as a number
  EXPECT_EQ(Evaluate(u"\"1\" & \"E3\""), 1000);     // built by concatenation
  EXPECT_EQ(Evaluate(u"3 = 3"), 1);                 // a whole-number result
  EXPECT_TRUE(events.empty());

  EXPECT_EQ(Evaluate(u"\"abc\""), 0);               // any other text: failure 13
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Source, u"Error 13 has occured in QvCalc.ocx, Value");
  EXPECT_EQ(events[0].Description, u"Type mismatch");
  EXPECT_EQ(control.ErrorCode(), 0);  // the engine's error state is not involved
}

TEST_F(ControlTest, EngineFailuresStayInTheErrorStateWithoutEvents) {
  EXPECT_EQ(Evaluate(u"2 * 21"), 42);
  std::u16string bad = u"1 + * 2";
  control.Compile(bad);
  EXPECT_EQ(control.ErrorCode(), 1);
  EXPECT_EQ(control.ErrorDescription(), u"Syntax Error: Unknown symbol");
  EXPECT_EQ(control.ErrorPos(), 5);
  EXPECT_EQ(control.ErrorSource(), 2);
  int32_t first = 1;
  EXPECT_EQ(control.Value(first), 0);  // refused while the code is set, even for a good one
  EXPECT_EQ(control.Value(), 0);
  EXPECT_TRUE(events.empty());

  control.ClearError();
  EXPECT_EQ(control.ErrorCode(), 0);
  EXPECT_EQ(control.ErrorDescription(), u"");
  EXPECT_EQ(control.ErrorPos(), 0);
  EXPECT_EQ(control.ErrorSource(), 0);
  first = 1;
  EXPECT_EQ(control.Value(first), 42);
}

TEST_F(ControlTest, ErrorFieldsBeyondSixteenBitsReportOverflow) {
  // A compile error at a position beyond 32767: the unknown operator at the end.
  std::u16string text = u"1" + std::u16string(40000, u' ') + u"$";
  control.Compile(text);
  EXPECT_EQ(control.ErrorCode(), 4);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(control.ErrorPos(), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Source, u"Error 6 has occured in QvCalc.ocx, ErrorPos");
  EXPECT_EQ(events[0].Description, u"Overflow");
}

TEST_F(ControlTest, ResultKindsOfTheCounts) {
  std::u16string def = u"Twice(X) = 2 * X";
  control.DefineUserFunc(def);
  double value = 1.5;
  std::u16string name = u"Speed";
  control.Variable(name, value);
  Evaluate(u"Twice(Speed)");
  Variant one(int32_t(1));

  EXPECT_EQ(control.NumUserFuncs().kind(), Variant::Kind::Int16);
  EXPECT_EQ(control.NumUserFuncs().asWhole(), 1);
  EXPECT_EQ(control.NumExpressions().kind(), Variant::Kind::Int32);
  EXPECT_EQ(control.NumVariables().kind(), Variant::Kind::Int32);
  EXPECT_EQ(control.NumVariables().asWhole(), 1);
  EXPECT_EQ(control.VariableName(one).kind(), Variant::Kind::Text);
  EXPECT_EQ(control.VariableName(one).asText(), u"Speed");
  EXPECT_EQ(control.Expression(one).kind(), Variant::Kind::Text);
  EXPECT_EQ(control.UserFunc(one), u"Twice(X) = 2 * X");
  EXPECT_EQ(control.Value(), 3);
  EXPECT_TRUE(control.All_Math_Functions().isEmpty());
}

TEST_F(ControlTest, VariablePropertyWithoutHandler) {
  std::u16string name = u"Rate";
  double value = 0.5;
  control.Variable(name, value);
  std::u16string upper = u"RATE";
  EXPECT_EQ(control.Variable(upper), 0.5);

  // A numeric name is never stored; the put writes its number back into the value.
  std::u16string seven = u"7";
  double three = 3;
  control.Variable(seven, three);
  EXPECT_EQ(three, 7);
  EXPECT_EQ(control.NumVariables().asWhole(), 1);

  // An unknown name: the engine records error 11 and gives 0; the call itself does not fail.
  std::u16string unknown = u"Nowhere";
  EXPECT_NO_THROW(EXPECT_EQ(control.Variable(unknown), 0));
  EXPECT_EQ(control.ErrorCode(), 11);
  EXPECT_EQ(control.NumVariables().asWhole(), 1);
  EXPECT_TRUE(events.empty());
}

TEST_F(ControlTest, EverySinkGetsTheEventAndDisconnectedOnesDoNot) {
  int second = 0;
  const int cookie = control.Advise([&](std::u16string&, std::u16string&) { ++second; });
  EXPECT_GT(cookie, 0);
  EXPECT_EQ(control.Advise(nullptr), 0);
  Evaluate(u"\"x\"");
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(second, 1);
  control.Unadvise(cookie);
  Evaluate(u"\"y\"");
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(second, 1);
}

TEST_F(ControlTest, FailingSinksAreReportedThroughErrorTrapAndBounded) {
  int calls = 0;
  control.Advise([&](std::u16string&, std::u16string&) {
    ++calls;
    throw qvRuntimeError(kErrInvalidArgument);
  });
  EXPECT_NO_THROW(EXPECT_EQ(Evaluate(u"\"x\""), 0));
  // The first report, then reports of ErrorTrap's own failure, until the bound.
  ASSERT_GE(events.size(), 2u);
  EXPECT_LE(events.size(), 5u);
  EXPECT_EQ(calls, int(events.size()));  // the well-behaved sink saw every report too
  EXPECT_EQ(events[0].Source, u"Error 13 has occured in QvCalc.ocx, Value");
  EXPECT_EQ(events[1].Source, u"Error 5 has occured in QvCalc.ocx, ErrorTrap");
  EXPECT_EQ(events[1].Description, u"Invalid procedure call or argument");
}

TEST_F(ControlTest, FailureNinetyFourIsIgnored) {
  control.Advise([](std::u16string&, std::u16string&) { throw qvRuntimeError(kErrNull); });
  Evaluate(u"\"x\"");
  EXPECT_EQ(events.size(), 1u);  // the report itself, but nothing for the null failure
}

TEST(ControlLifecycle, SizeStaysFixed) {
  qvCalc control;
  EXPECT_EQ(control.Width(), 600);
  EXPECT_EQ(control.Height(), 330);
  for (auto [w, h] : {std::pair{0, 0}, {-5, 100000}, {1200, 660}}) {
    control.SetSize(w, h);
    EXPECT_EQ(control.Width(), 600);
    EXPECT_EQ(control.Height(), 330);
  }
}

TEST(ControlLifecycle, ANewControlStartsWithAnEmptyEngineAndResetKeepsWorking) {
  {
    qvCalc first;
    std::u16string name = u"A";
    double value = 1;
    first.Variable(name, value);
    std::u16string def = u"F(X) = X";
    first.DefineUserFunc(def);
    EXPECT_EQ(first.NumVariables().asWhole(), 1);
  }
  qvCalc second;
  EXPECT_EQ(second.NumVariables().asWhole(), 0);
  EXPECT_EQ(second.NumUserFuncs().asWhole(), 0);
  EXPECT_EQ(second.NumExpressions().asWhole(), 0);

  std::u16string text = u"Q + 1";
  second.Compile(text);
  second.Reset();
  EXPECT_EQ(second.NumExpressions().asWhole(), 0);
  EXPECT_EQ(second.NumVariables().asWhole(), 0);
  std::u16string again = u"5";
  second.Compile(again);
  Variant one(int32_t(1));
  EXPECT_EQ(second.Expression(one).asText(), u"5");  // numbering starts at 1 again
}

TEST(ControlLifecycle, SeedRandomRepeatsTheSequence) {
  qvCalc control;
  std::u16string text = u"RND(1000000)";
  control.Compile(text);
  control.SeedRandom(7);
  const double a = control.Value(), b = control.Value();
  control.SeedRandom(7);
  EXPECT_EQ(control.Value(), a);
  EXPECT_EQ(control.Value(), b);
  EXPECT_NE(a, b);
}

}  // namespace
